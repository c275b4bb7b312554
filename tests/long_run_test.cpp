// A whole working day and more: many commands through one library, and
// many load, install, command, unload cycles. What the process holds
// afterwards must be what it held before, and each reload starts afresh.
#include <gtest/gtest-spi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"
#include "tests/process_memory.h"
#include "tests/report.h"

namespace {

constexpr int Commands = 10000;
// A cycle takes some 30 ms in the emulated guest, where a quarter of them
// are run.
const int Cycles =
    GetEnvironmentVariableA("HISTORY_GUEST", nullptr, 0) ? 250 : 1000;
constexpr int WarmUp = 20;  // the runtime's own first-use allocations
// Heap pages the runtime may take for itself now and then: a leak must pass
// it to be seen, about 6 bytes a command over 10,000 or 65 a cycle over
// 1,000 (262 over 250).
constexpr DWORD PrivateSlack = 64 * 1024;

struct Usage {
  DWORD Handles = 0, Windows = 0, UserObjects = 0, GdiObjects = 0, Private = 0;
};

// Counted by asking for each handle value in turn: Wine's own handle count
// of the process is always 0.
DWORD CountHandles() {
  DWORD count = 0, flags;
  for (UINT_PTR value = 4; value < 0x10000; value += 4) {
    count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags);
  }
  return count;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<DWORD *>(count);
  return TRUE;
}

Usage Measure() {
  Usage u;
  u.Handles = CountHandles();
  EnumThreadWindows(GetCurrentThreadId(), CountWindow,
                    reinterpret_cast<LPARAM>(&u.Windows));
  // 0 under Wine, which does not count them.
  u.UserObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  u.GdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  u.Private = MeasureMemory().Private;
  return u;
}

// What the process holds more of afterwards, in words; empty when nothing.
std::vector<std::string> Growth(const Usage &before, const Usage &after) {
  std::vector<std::string> grown;
  if (after.Handles != before.Handles) grown.push_back("handles leaked");
  if (after.Windows != before.Windows) grown.push_back("windows left behind");
  if (after.UserObjects != before.UserObjects)
    grown.push_back("USER objects leaked");
  if (after.GdiObjects != before.GdiObjects)
    grown.push_back("GDI objects leaked");
  if (after.Private > before.Private + PrivateSlack) {
    grown.push_back("private memory grew by " +
                    std::to_string(after.Private - before.Private) + " bytes");
  }
  return grown;
}

// Fails the test on any growth or wrong result, and prints the report row,
// which says FAILED whenever the test does.
void ExpectNoGrowth(const std::string &what, int runs, const Usage &before,
                    const Usage &after, int wrong) {
  const std::vector<std::string> grown = Growth(before, after);
  for (const std::string &g : grown) ADD_FAILURE() << g;
  char figures[256];
  std::snprintf(
      figures, sizeof figures,
      "handles %lu -> %lu, windows %lu -> %lu, "
      "USER objects %lu -> %lu, GDI objects %lu -> %lu%s, private memory %lu "
      "-> %lu KiB, %d wrong results\n",
      before.Handles, after.Handles, before.Windows, after.Windows,
      before.UserObjects, after.UserObjects, before.GdiObjects,
      after.GdiObjects,
      before.UserObjects + before.GdiObjects == 0 ? " (not counted here)" : "",
      before.Private / 1024, after.Private / 1024, wrong);
  Report("long run", what.c_str(), runs, !grown.empty() || wrong != 0, figures);
}

// The row a reader of the table sees for a long run that went wrong.
TEST(LongRunReport, LeakOrWrongResultMakesTheRowSayFailed) {
  const Usage flat{73, 0, 0, 0, 26876 * 1024};
  Usage leaked = flat;
  ++leaked.Handles;
  const struct {
    const char *Why;
    Usage After;
    int Wrong;
    bool Failed;
  } cases[] = {
      {"flat", flat, 0, false},
      {"a handle leaked", leaked, 0, true},
      {"one wrong result", flat, 1, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Why);
    ::testing::TestPartResultArray failures;
    ::testing::internal::CaptureStdout();
    {
      ::testing::ScopedFakeTestPartResultReporter intercept(
          ::testing::ScopedFakeTestPartResultReporter::
              INTERCEPT_ONLY_CURRENT_THREAD,
          &failures);
      ExpectNoGrowth("a run", 1, flat, c.After, c.Wrong);
    }
    const std::string row = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(row.find("| FAILED") != std::string::npos, c.Failed) << row;
    EXPECT_EQ(failures.size() > 0, c.After.Handles != flat.Handles);
  }
}

class LongRun : public PluginTest {
 protected:
  // One command, confirmed or cancelled; returns whether it went as the
  // editor expects.
  bool Command(bool confirm) {
    Fakes.Dialogs.clear();
    Fakes.Services.clear();
    Fakes.DialogResult = confirm;
    Fakes.DialogWrites = L"C:\\history\\day.ini";
    const int result = Plugin.OnCall();
    return result == (confirm ? 1 : 0) && Fakes.Dialogs.size() == 1 &&
           Fakes.Services.size() == (confirm ? 1u : 0u);
  }
};

TEST_P(LongRun, TenThousandCommandsLeaveHandlesObjectsAndMemoryFlat) {
  ASSERT_EQ(Install(Host), 0);
  for (int i = 0; i < WarmUp; ++i) Command(i % 2 == 0);
  const Usage before = Measure();
  int wrong = 0;
  for (int i = 0; i < Commands; ++i) wrong += !Command(i % 3 != 0);
  const Usage after = Measure();
  EXPECT_EQ(wrong, 0) << "commands that did not do their job";
  ExpectNoGrowth(std::string(Library->File) +
                     ": commands through the stand-in dialog, 2 in 3 confirmed",
                 Commands, before, after, wrong);
}

TEST_P(LongRun, ThousandLoadInstallCommandUnloadCyclesStartFromZero) {
  // Kept loaded, as by an editor with file dialogs of its own: each time the
  // dialog library is loaded afresh, Wine's print spooler library, which it
  // brings along, creates a named mutex it never closes.
  const HMODULE dialogs = LoadLibraryA("comdlg32.dll");
  UnloadPlugin(Plugin);
  auto cycle = [&]() {
    Plugin = LoadPlugin(*Library);
    Fakes = Platform{};
    // A fresh library knows no editor and no earlier path.
    bool right = Plugin.OnCall() == 0 && Fakes.Dialogs.empty();
    right = right && Install(Host) == 0 && Command(true) &&
            Fakes.Dialogs[0].FileAtEntry.empty();
    Plugin.OnExit();
    UnloadPlugin(Plugin);
    return right && GetModuleHandleA(Library->File) == nullptr;
  };
  for (int i = 0; i < WarmUp; ++i) cycle();
  const Usage before = Measure();
  int wrong = 0;
  for (int i = 0; i < Cycles; ++i) wrong += !cycle();
  const Usage after = Measure();
  EXPECT_EQ(wrong, 0) << "cycles that did not start from zero state";
  ExpectNoGrowth(
      std::string(Library->File) + ": load, install, command, unload cycles",
      Cycles, before, after, wrong);
  Plugin = LoadPlugin(*Library);  // for TearDown
}

FOR_BOTH_LIBRARIES(LongRun);

}  // namespace
