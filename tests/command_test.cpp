// One command from the editor's point of view: the dialog the user gets,
// what reaches the history service, and what comes back.
#include <climits>
#include <cstring>

#include "tests/plugin_fixture.h"

namespace {

const std::wstring FilterList(
    L"INI files (*.ini)\0*.ini\0All Files (*.*)\0*.*\0\0", 46);

// Fills the stack below the caller with a non-zero pattern, so a byte the
// library forgets to write shows instead of passing as the zero a fresh
// stack happens to hold there.
__attribute__((noinline)) void DirtyTheStack() {
  volatile unsigned char below[16 * 1024];
  for (size_t i = 0; i < sizeof below; ++i) below[i] = 0xA5;
}

// Runs the command in the frame DirtyTheStack just left.
__attribute__((noinline)) int CallFromDirtyStack(OnCallFn onCall) {
  DirtyTheStack();
  const int result = onCall();
  asm volatile("" ::: "memory");  // a call, not a jump, from this frame
  return result;
}

class Command : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    if (!HasFatalFailure()) ASSERT_EQ(Install(Host), 0);
  }
  void Confirm(const char *path) {
    Fakes.DialogResult = TRUE;
    Fakes.DialogWrites = Wide(path);
  }
  void Cancel() {
    Fakes.DialogResult = FALSE;
    Fakes.DialogWrites.clear();
  }
};

TEST_P(Command, DialogRecordHoldsEveryFieldAsSpecified) {
  Cancel();
  ASSERT_EQ(CallFromDirtyStack(Plugin.OnCall), 0);
  ASSERT_EQ(Fakes.Dialogs.size(), 1u);
  const DialogCall &d = Fakes.Dialogs[0];
  const OPENFILENAMEW &r = d.Record;
  EXPECT_STREQ(d.Import, Library->DialogImport);
  EXPECT_EQ(r.lStructSize, 76u) << "the short layout every version accepts";
  EXPECT_EQ(r.hwndOwner, Host.Owner());
  EXPECT_EQ(r.hInstance, Plugin.Module);
  EXPECT_EQ(d.FilterText, FilterList);
  EXPECT_EQ(r.lpstrCustomFilter, nullptr);
  EXPECT_EQ(r.nMaxCustFilter, 0u);
  EXPECT_EQ(r.nFilterIndex, 1u) << "INI files first";
  EXPECT_TRUE(IsInsideImage(Plugin.Module, r.lpstrFile))
      << "the path buffer belongs to the library";
  EXPECT_EQ(r.nMaxFile, 260u);
  EXPECT_EQ(r.lpstrFileTitle, nullptr);
  EXPECT_EQ(r.nMaxFileTitle, 0u);
  EXPECT_EQ(r.lpstrInitialDir, nullptr);
  EXPECT_EQ(Utf8(r.lpstrTitle), Library->DialogTitle);
  EXPECT_EQ(r.Flags,
            static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
  EXPECT_EQ(r.Flags, 6u);
  EXPECT_EQ(r.nFileOffset, 0);
  EXPECT_EQ(r.nFileExtension, 0);
  EXPECT_STREQ(r.lpstrDefExt, L"ini");
  EXPECT_EQ(r.lCustData, 0);
  EXPECT_EQ(r.lpfnHook, nullptr);
  EXPECT_EQ(r.lpTemplateName, nullptr);
  EXPECT_EQ(d.FileAtEntry, "") << "first dialog opens with an empty name";
}

TEST_P(Command, RecordIsRefilledAfterTheUserChangedTheFilter) {
  Fakes.DialogSpoilsRecord = true;
  CallFromDirtyStack(Plugin.OnCall);
  CallFromDirtyStack(Plugin.OnCall);
  ASSERT_EQ(Fakes.Dialogs.size(), 2u);
  const OPENFILENAMEW &r = Fakes.Dialogs[1].Record;
  EXPECT_EQ(r.nFilterIndex, 1u) << "INI files selected again";
  EXPECT_EQ(r.Flags, 6u);
  EXPECT_EQ(Fakes.Dialogs[1].FilterText, FilterList);
  EXPECT_EQ(Utf8(r.lpstrTitle), Library->DialogTitle);
  EXPECT_STREQ(r.lpstrDefExt, L"ini");
}

TEST_P(Command, CancelReturnsZeroAndCallsNoService) {
  Cancel();
  EXPECT_EQ(Plugin.OnCall(), 0);
  EXPECT_TRUE(Fakes.Services.empty());
  EXPECT_TRUE(Fakes.Boxes.empty()) << "a cancelled dialog is silent";
}

TEST_P(Command, ConfirmedPathGoesOnceToTheVariantServiceAndItsResultBack) {
  for (int result : {1, 0, -1, 2, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(testing::Message() << "service result " << result);
    Fakes.Services.clear();
    Fakes.Dialogs.clear();
    Fakes.ServiceResult = result;
    Confirm("C:\\Users\\me\\history.ini");

    EXPECT_EQ(Plugin.OnCall(), result) << "passed back unchanged";
    ASSERT_EQ(Fakes.Services.size(), 1u) << "exactly one service, once";
    const ServiceCall &s = Fakes.Services[0];
    EXPECT_EQ(s.Entry, Library->ServiceEntry);
    EXPECT_TRUE(IsInsideImage(Plugin.Module, s.Path))
        << "the service gets the address of the library's own buffer";
    EXPECT_EQ(s.PathText, "C:\\Users\\me\\history.ini");
    EXPECT_TRUE(Fakes.Boxes.empty());
  }
}

TEST_P(Command, PathIsKeptAcrossCommandsAndThroughACancel) {
  Confirm("C:\\one.ini");
  Plugin.OnCall();
  Cancel();
  Plugin.OnCall();
  Plugin.OnCall();
  ASSERT_EQ(Fakes.Dialogs.size(), 3u);
  EXPECT_EQ(Fakes.Dialogs[1].FileAtEntry, "C:\\one.ini");
  EXPECT_EQ(Fakes.Dialogs[2].FileAtEntry, "C:\\one.ini");
  Confirm("D:\\two.ini");
  Plugin.OnCall();
  Plugin.OnCall();
  EXPECT_EQ(Fakes.Dialogs[4].FileAtEntry, "D:\\two.ini");
}

TEST_P(Command, OwnerWindowIsReadAtEachCommand) {
  Cancel();
  for (UINT_PTR owner : {0x10010u, 0x20020u, 0u, 0x30030u}) {
    Host.SetOwner(reinterpret_cast<HWND>(owner));
    Plugin.OnCall();
    EXPECT_EQ(Fakes.Dialogs.back().Record.hwndOwner,
              reinterpret_cast<HWND>(owner));
  }
}

TEST_P(Command, ServiceTableIsTheOneCapturedAtInstall) {
  FakeHost other;
  MakeHost(other, 1, 51, 22);
  SetOwnEntry(other, nullptr);  // calling through this table would crash
  Host.SetServices(other.Table);
  Confirm("C:\\h.ini");
  EXPECT_SURVIVES({
    EXPECT_EQ(Plugin.OnCall(), 1);
    EXPECT_EQ(Fakes.Services.size(), 1u);
  });
}

TEST_P(Command, OnExitChangesNothing) {
  Confirm("C:\\before.ini");
  Plugin.OnCall();
  Plugin.OnExit();
  Plugin.OnExit();
  Confirm("C:\\after.ini");
  EXPECT_EQ(Plugin.OnCall(), 1);
  EXPECT_EQ(Fakes.Dialogs[1].FileAtEntry, "C:\\before.ini");
  EXPECT_EQ(Fakes.Services.size(), 2u);
}

TEST_P(Command, FailedDialogLeavingNoNulIsTerminatedBeforeTheNextDialog) {
  Fakes.DialogSpoilsBuffer = true;  // as a failing dialog might
  Cancel();
  EXPECT_EQ(Plugin.OnCall(), 0);
  EXPECT_TRUE(Fakes.Services.empty()) << "a failed dialog's buffer was used";
  Fakes.DialogSpoilsBuffer = false;
  Plugin.OnCall();
  ASSERT_EQ(Fakes.Dialogs.size(), 2u);
  EXPECT_TRUE(Fakes.Dialogs[1].FileTerminated)
      << "the dialog would read past the 260-byte buffer";
  EXPECT_EQ(Fakes.Dialogs[1].FileAtEntry.size(), 259u);
}

TEST_P(Command, NullServiceEntryOrTableMeansNoDialogAndZero) {
  EXPECT_SURVIVES({
    Confirm("C:\\h.ini");
    SetOwnEntry(Host, nullptr);
    EXPECT_EQ(Plugin.OnCall(), 0);
    EXPECT_TRUE(Fakes.Dialogs.empty()) << "asked for a file nobody takes";

    FakeHost empty;
    MakeHost(empty, 1, 51, 22);
    empty.SetServices(nullptr);
    ASSERT_EQ(Plugin.OnInstall(Info.Info(), empty.Info()), 0);
    EXPECT_EQ(Plugin.OnCall(), 0);
    EXPECT_TRUE(Fakes.Dialogs.empty());
  });
}

TEST_P(Command, EntryClearedWhileTheDialogIsUpMeansZero) {
  Confirm("C:\\h.ini");
  Fakes.DuringDialog = [this] { SetOwnEntry(Host, nullptr); };
  EXPECT_SURVIVES({
    EXPECT_EQ(Plugin.OnCall(), 0);
    EXPECT_TRUE(Fakes.Services.empty());
  });
}

TEST_P(Command, OnlyTheVariantEntryIsNeeded) {
  SetOtherEntry(Host, nullptr);
  Confirm("C:\\h.ini");
  EXPECT_EQ(Plugin.OnCall(), 1);
  EXPECT_EQ(Fakes.Services.size(), 1u);
}

// The file the person chose is the file the editor gets, whatever its
// path holds: as it is where the code page holds it, else in a short form
// naming the same file; with neither, a box names the letter and the
// dialog opens again (cancelled here), and no service is called.
struct ChosenPathCase {
  const char *What;
  UINT CodePage;
  std::wstring Chosen;
  std::vector<std::pair<std::wstring, std::wstring>> ShortForms;
  const char *Handed;  // the service's path; null when a box comes instead
  const char *Letter;  // what the box names, in UTF-8 ("": too long)
};
const std::wstring Han = L"\u4e2d";  // 3 bytes in UTF-8
// clang-format off
const ChosenPathCase ChosenPaths[] = {
  {"held: exactly today's bytes", 1252, L"C:\\Zo\u00eb\\caf\u00e9.ini", {}, "C:\\Zo\xeb\\caf\xe9.ini", nullptr},
  {"held by 1250", 1250, L"C:\\p\\\u0141od\u017a.ini", {}, "C:\\p\\\xa3od\x9f.ini", nullptr},
  {"the file's short form", 1252, L"C:\\p\\\u0141\u00f3d\u017a\\h.ini",
   {{L"C:\\p\\\u0141\u00f3d\u017a\\h.ini", L"C:\\p\\ODZ~1\\h.ini"}}, "C:\\p\\ODZ~1\\h.ini", nullptr},
  {"the folder's short form and the name", 1252, L"C:\\p\\\u0141\u00f3d\u017a\\n.ini",
   {{L"C:\\p\\\u0141\u00f3d\u017a", L"C:\\p\\ODZ~1"}}, "C:\\p\\ODZ~1\\n.ini", nullptr},
  {"UTF-8 holds every letter", 65001, L"C:\\\u0141\\" + Han, {}, "C:\\\xc5\x81\\\xe4\xb8\xad", nullptr},
  {"no short form: no look-alike", 1252, L"C:\\p\\\u0141odz.ini", {{L"C:\\p", L"C:\\p"}}, nullptr, "\xc5\x81 (U+0141)"},
  {"a short form holding the letter", 1252, L"C:\\\u0141\\h", {{L"C:\\\u0141\\h", L"C:\\\u0141\\h"}}, nullptr, "\xc5\x81 (U+0141)"},
  {"past the basic plane", 1252, L"C:\\\U0001F600.ini", {}, nullptr, "\xf0\x9f\x98\x80 (U+1F600)"},
  {"a lone surrogate, even in UTF-8", 65001, L"C:\\\xd800.ini", {}, nullptr, "\xef\xbf\xbd (U+D800)"},
  {"too long once in UTF-8", 65001, L"C:\\" + std::wstring(90, Han[0]), {}, nullptr, ""},
};
// clang-format on

TEST_P(Command, ChosenFileIsTheFileTheServiceGets) {
  for (const ChosenPathCase &c : ChosenPaths) {
    SCOPED_TRACE(c.What);
    Fakes = Platform{};
    Fakes.CodePage = c.CodePage;
    Fakes.ShortForms = c.ShortForms;
    Fakes.DialogResult = TRUE;
    Fakes.DialogWrites = c.Chosen;
    Fakes.DuringDialog = [] { Fakes.DialogResult = Fakes.Dialogs.size() < 2; };
    const int result = Plugin.OnCall();
    if (c.Handed) {
      EXPECT_EQ(result, 1);
      ASSERT_EQ(Fakes.Services.size(), 1u);
      EXPECT_EQ(Fakes.Services[0].PathText, c.Handed);
      EXPECT_TRUE(Fakes.Boxes.empty());
      continue;
    }
    EXPECT_EQ(result, 0) << "the dialog, opened again, was cancelled";
    EXPECT_TRUE(Fakes.Services.empty()) << "a path naming another file";
    ASSERT_EQ(Fakes.Boxes.size(), 1u);
    const MessageBoxCall &box = Fakes.Boxes[0];
    EXPECT_TRUE(box.Wide && box.Owner == Host.Owner() &&
                box.Caption == Library->ErrorCaption &&
                box.Type == (MB_OK | MB_ICONERROR))
        << "the error box, owned by the editor, can show any letter";
    const std::string why =
        *c.Letter
            ? "The name or folder holds a letter the editor cannot use: " +
                  std::string(c.Letter) + "."
            : "The path is too long for the editor.";
    EXPECT_EQ(box.Text, why + "\n\nChoose another name or folder.");
    ASSERT_EQ(Fakes.Dialogs.size(), 2u) << "the dialog did not open again";
    EXPECT_EQ(Fakes.Dialogs[1].FileAtEntry, Utf8(c.Chosen.c_str()));
  }
}

FOR_BOTH_LIBRARIES(Command);

// Commands that reach a library the editor never installed.
class Uninstalled : public PluginTest {};

TEST_P(Uninstalled, CommandBeforeAnyInstallReturnsZeroWithoutDialog) {
  EXPECT_SURVIVES({
    EXPECT_EQ(Plugin.OnCall(), 0);
    EXPECT_TRUE(Fakes.Dialogs.empty());
  });
}

TEST_P(Uninstalled, CommandAfterOnlyRefusedInstallsReturnsZeroWithoutDialog) {
  EXPECT_SURVIVES({
    FakeHost old;
    MakeHost(old, 1, 51, 21);
    ASSERT_EQ(Install(old), 1);
    ASSERT_EQ(Install(old), 1);
    EXPECT_EQ(Plugin.OnCall(), 0);
    EXPECT_TRUE(Fakes.Dialogs.empty());
  });
}

FOR_BOTH_LIBRARIES(Uninstalled);

}  // namespace
