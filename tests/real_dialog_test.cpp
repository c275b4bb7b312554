// The platform's real file dialog, answered as a user would by the
// stand-in editor's autopilot: which paths reach the editor intact, which
// make the dialog fail, and an owner window that is not, or no longer, a
// window. Needs a display.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/autopilot.h"
#include "tests/dialog_crash_guard.h"
#include "tests/plugin_fixture.h"
#include "tests/report.h"

namespace {

constexpr size_t MaxPath = 259;  // the library's buffer holds 260 bytes

std::string TempFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  return std::string(temp) + "history-paths\\";
}

// Creates each folder of a path ending in a backslash.
void CreateFolders(const std::string &folder) {
  for (size_t at = folder.find('\\', 3); at != std::string::npos;
       at = folder.find('\\', at + 1)) {
    CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
  }
}

// A path of exactly `length` characters ending in ".ini", whose folders
// exist (a folder path stays within what the platform can create).
std::string PathOfLength(size_t length) {
  std::string folder = TempFolder() + "long\\";
  folder += std::string(200 - folder.size(), 'd') + "\\";
  CreateFolders(folder);
  return folder + std::string(length - folder.size() - 4, 'f') + ".ini";
}

bool RunningUnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
}

class RealDialog : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    if (HasFatalFailure()) return;
    UnloadPlugin(Plugin);
    Plugin = LoadPlugin(*Library, Dialog::Real);
    ASSERT_NE(Plugin.Module, nullptr);
    Host.SetOwner(nullptr);
    ASSERT_EQ(Install(Host), 0);
  }

  // Runs the command with the autopilot typing `name` and confirming.
  int Command(const std::string &name) {
    DeleteFileA(name.c_str());  // no "replace?" question
    DialogPlan plan;
    plan.Title = Library->DialogTitle;
    plan.Name = name;
    ArmFileDialog(plan);
    const int result = Plugin.OnCall();
    Answered = FinishFileDialog();
    return result;
  }

  // The user's confirmed path reached the editor's service, byte for byte.
  void ExpectDelivered(const std::string &path) {
    Fakes.Services.clear();
    EXPECT_EQ(Command(path), 1) << Answered.Failure;
    ASSERT_EQ(Fakes.Services.size(), 1u);
    EXPECT_EQ(Fakes.Services[0].PathText, path);
  }

  // Either the dialog did not come up or it ran normally; nothing else.
  void ExpectZeroOrNormalRun(const std::string &path) {
    Fakes.Services.clear();
    const int result = Command(path);
    if (result == 0) {
      EXPECT_TRUE(Fakes.Services.empty());
    } else {
      EXPECT_EQ(result, 1);
      ASSERT_EQ(Fakes.Services.size(), 1u);
      EXPECT_EQ(Fakes.Services[0].PathText, path);
    }
  }

  DialogReport Answered;
};

TEST_P(RealDialog, PathOf259CharactersReachesTheEditorIntact) {
  const std::string path = PathOfLength(MaxPath);
  ASSERT_EQ(path.size(), MaxPath);
  ExpectDelivered(path);
  Report("real dialog", "path of 259 characters", 1, HasFailure(),
         "reached the editor intact");
}

// Where the platform's dialog cannot hold a longer name it fails, and the
// library then calls no service (proved against the stand-in dialog too).
// Wine 8's own dialog instead crashes inside itself on a typed name over 259
// characters, writing wide characters over its stack; under Wine such a
// crash is recorded, not counted against the library, but only when it
// happened inside the platform's dialog call. A crash in the library, or
// after the dialog returned, fails, as does any crash elsewhere.
TEST_P(RealDialog, LongerPathMakesTheDialogFailAndCallsNoService) {
  static DWORD childEnd;
  const auto survivedOrPlatformCrashed = [](int status) {
    childEnd = static_cast<DWORD>(status);
    return status == 0 ||
           (RunningUnderWine() && status == PlatformDialogCrashed);
  };
  EXPECT_EXIT(
      {
        if (!GuardDialogCalls(Plugin.Module, Library->DialogImport))
          std::exit(4);
        for (size_t length : {MaxPath + 1, MaxPath + 41}) {
          SCOPED_TRACE(testing::Message() << "path of " << length);
          Fakes.Services.clear();
          EXPECT_EQ(Command(PathOfLength(length)), 0);
          EXPECT_TRUE(Fakes.Services.empty())
              << "a cut path reached the editor";
        }
        std::exit(HasFailure() ? 3 : 0);
      },
      survivedOrPlatformCrashed, "");
  Report("real dialog", "paths of 260 and 300 characters", 2, HasFailure(),
         childEnd == 0 ? "OnCall 0, editor not called"
                       : "Wine's own dialog crashed inside its own call "
                         "(access violation); editor not called");
}

TEST_P(RealDialog, PathsWithSpacesAndAnsiCharactersReachTheEditorByteForByte) {
  const std::string folder = TempFolder() + "with spaces\\na\xEFve \xC5r\\";
  CreateFolders(folder);
  for (const char *name :
       {"my history file.ini", "caf\xE9 \xA7 r\xE9sum\xE9 \xF6\xFC\xDF.ini",
        " leading and trailing .ini"}) {
    SCOPED_TRACE(testing::Message() << "file " << name);
    ExpectDelivered(folder + name);
  }
  Report("real dialog", "paths with spaces and ANSI characters above 127", 3,
         HasFailure(), "reached the editor byte for byte");
}

TEST_P(RealDialog, OwnerThatIsNotAWindowGivesZeroOrANormalRun) {
  const std::string path = TempFolder() + "not-a-window.ini";
  CreateFolders(TempFolder());
  EXPECT_SURVIVES({
    Host.SetOwner(reinterpret_cast<HWND>(0x0BADF00D));
    ExpectZeroOrNormalRun(path);
  });
  Report("real dialog", "owner window that is not a window", 1, HasFailure(),
         "no crash; OnCall 0 or a normal run");
}

TEST_P(RealDialog, OwnerDestroyedBetweenCommandsGivesZeroOrANormalRun) {
  const std::string path = TempFolder() + "destroyed-owner.ini";
  CreateFolders(TempFolder());
  EXPECT_SURVIVES({
    HWND owner = CreateWindowA("STATIC", "editor", WS_OVERLAPPEDWINDOW, 0, 0,
                               200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    Host.SetOwner(owner);
    ExpectDelivered(path);
    DestroyWindow(owner);
    ExpectZeroOrNormalRun(path);
  });
  Report("real dialog", "owner window destroyed between commands", 1,
         HasFailure(), "no crash; OnCall 0 or a normal run");
}

FOR_BOTH_LIBRARIES(RealDialog);

}  // namespace
