// One command from the editor's point of view: the dialog the user gets,
// what reaches the history service, and what comes back.
#include <climits>
#include <cstring>

#include "tests/plugin_fixture.h"

namespace {

const std::string FilterList(
    "INI files (*.ini)\0*.ini\0All Files (*.*)\0*.*\0\0", 46);

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
    Fakes.DialogWrites = path;
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
  const OPENFILENAMEA &r = d.Record;
  EXPECT_STREQ(d.Import, Library->DialogImport);
  EXPECT_EQ(r.lStructSize, 76u) << "the short layout every version accepts";
  EXPECT_EQ(r.hwndOwner, Host.Owner());
  EXPECT_EQ(r.hInstance, Plugin.Module);
  EXPECT_EQ(d.FilterBytes, FilterList);
  EXPECT_EQ(r.lpstrCustomFilter, nullptr);
  EXPECT_EQ(r.nMaxCustFilter, 0u);
  EXPECT_EQ(r.nFilterIndex, 1u) << "INI files first";
  EXPECT_TRUE(IsInsideImage(Plugin.Module, r.lpstrFile))
      << "the path buffer belongs to the library";
  EXPECT_EQ(r.nMaxFile, 260u);
  EXPECT_EQ(r.lpstrFileTitle, nullptr);
  EXPECT_EQ(r.nMaxFileTitle, 0u);
  EXPECT_EQ(r.lpstrInitialDir, nullptr);
  EXPECT_STREQ(r.lpstrTitle, Library->DialogTitle);
  EXPECT_EQ(r.Flags,
            static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
  EXPECT_EQ(r.Flags, 6u);
  EXPECT_EQ(r.nFileOffset, 0);
  EXPECT_EQ(r.nFileExtension, 0);
  EXPECT_STREQ(r.lpstrDefExt, "ini");
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
  const OPENFILENAMEA &r = Fakes.Dialogs[1].Record;
  EXPECT_EQ(r.nFilterIndex, 1u) << "INI files selected again";
  EXPECT_EQ(r.Flags, 6u);
  EXPECT_EQ(Fakes.Dialogs[1].FilterBytes, FilterList);
  EXPECT_STREQ(r.lpstrTitle, Library->DialogTitle);
  EXPECT_STREQ(r.lpstrDefExt, "ini");
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
    EXPECT_EQ(s.Path, Fakes.Dialogs[0].Record.lpstrFile)
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
