// The long-path test forgives a crash only when it happened inside the
// platform's own dialog call. Here the guard is fed each kind of crash,
// through the stand-in dialog, and must tell them apart.
#include <cstdlib>

#include "tests/dialog_crash_guard.h"
#include "tests/plugin_fixture.h"

namespace {

BOOL WINAPI CrashingDialog(void *) {
  *static_cast<volatile int *>(nullptr) = 1;
  return FALSE;
}

BOOL WINAPI ConfirmingDialog(void *record) {
  auto r = static_cast<OPENFILENAMEW *>(record);
  lstrcpynW(r->lpstrFile, L"C:\\history.ini", r->nMaxFile);
  return TRUE;
}

// While its dialog is up the library is called again, to install into a
// PluginInfo it cannot write: the fault lies in the library's own code.
const PluginLibrary *Reentered;
HostInfo *ReenteredHost;
BOOL WINAPI DialogThatReentersTheLibrary(void *) {
  auto unwritable = static_cast<PluginInfo *>(
      VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS));
  if (unwritable) Reentered->OnInstall(unwritable, ReenteredHost);
  return FALSE;
}

int __cdecl CrashingService(char *) {
  *static_cast<volatile int *>(nullptr) = 1;
  return 1;
}

class DialogCrashGuard : public PluginTest {
 protected:
  void Guard(DialogFunction dialog) {
    if (!GuardDialogCalls(Plugin.Module, Library->DialogImport, dialog))
      std::exit(4);
  }
};

TEST_P(DialogCrashGuard, CrashInsideTheDialogCallIsThePlatforms) {
  ASSERT_EQ(Install(Host), 0);
  EXPECT_EXIT(
      {
        Guard(CrashingDialog);
        Plugin.OnCall();
        std::exit(0);
      },
      ::testing::ExitedWithCode(PlatformDialogCrashed),
      "inside the platform's dialog call");
}

TEST_P(DialogCrashGuard, CrashAfterTheDialogReturnedIsNotThePlatforms) {
  SetOwnEntry(Host, &CrashingService);
  ASSERT_EQ(Install(Host), 0);
  EXPECT_EXIT(
      {
        Guard(ConfirmingDialog);
        Plugin.OnCall();
        std::exit(0);
      },
      ::testing::ExitedWithCode(static_cast<int>(EXCEPTION_ACCESS_VIOLATION)),
      "");
}

TEST_P(DialogCrashGuard,
       CrashInsideTheLibraryDuringTheDialogIsNotThePlatforms) {
  ASSERT_EQ(Install(Host), 0);
  EXPECT_EXIT(
      {
        Guard(DialogThatReentersTheLibrary);
        Reentered = &Plugin;
        ReenteredHost = Host.Info();
        Plugin.OnCall();
        std::exit(0);
      },
      ::testing::ExitedWithCode(static_cast<int>(EXCEPTION_ACCESS_VIOLATION)),
      "");
}

// The guard is the tests' own; one library shows it.
INSTANTIATE_TEST_SUITE_P(Library, DialogCrashGuard,
                         ::testing::Values(&SaveLibrary), LibraryName);

}  // namespace
