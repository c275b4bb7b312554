// Editors that hand the library odd or dangerous records: every version
// field at its extremes, records that end exactly where readable memory
// ends. Each group runs in a child process, so a crash is one failure.
#include <climits>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "tests/plugin_fixture.h"
#include "tests/report.h"

namespace {

const int MajorValues[] = {INT_MIN, -1, 0, 1, 2, INT_MAX};
const int MinorValues[] = {INT_MIN, -1, 0, 50, 51, 52, INT_MAX};
const int BuildValues[] = {INT_MIN, -1, 0, 21, 22, 23, INT_MAX};
constexpr int VersionCases = 6 * 7 * 7;

// The rule as a comparison of version triples, independent of how the
// library spells it: 1.51.22 or later, and never a major version below 1.
bool MustAccept(int major, int minor, int build) {
  return major >= 1 &&
         std::make_tuple(major, minor, build) >= std::make_tuple(1, 51, 22);
}

// Memory whose last readable byte is the last byte of the record: one
// byte further, in either direction of use, faults.
class GuardedPage {
 public:
  GuardedPage() {
    Base = static_cast<BYTE *>(VirtualAlloc(
        nullptr, 2 * PageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(Base + PageSize, PageSize, PAGE_NOACCESS, &old);
  }
  ~GuardedPage() {
    VirtualFree(Base, 0, MEM_RELEASE);
  }
  BYTE *RecordOfSize(size_t bytes) {
    BYTE *at = Base + PageSize - bytes;
    FillPattern(at, bytes, 0x5A);
    return at;
  }

 private:
  static constexpr size_t PageSize = 4096;
  BYTE *Base;
};

class HostileHost : public PluginTest {};

TEST_P(HostileHost, EveryVersionCombinationIsJudgedByTheRule) {
  EXPECT_SURVIVES({
    for (int major : MajorValues) {
      for (int minor : MinorValues) {
        for (int build : BuildValues) {
          SCOPED_TRACE(testing::Message()
                       << "editor " << major << "." << minor << "." << build);
          Fakes = Platform{};
          FakeHost host;
          MakeHost(host, major, minor, build);
          const bool accept = MustAccept(major, minor, build);
          ASSERT_EQ(Install(host), accept ? 0 : 1);
          ASSERT_EQ(Fakes.Boxes.size(), accept ? 0u : 1u);
        }
      }
    }
  });
  Report("hostile host",
         "version fields at INT_MIN, -1, 0, INT_MAX and around 1.51.22, "
         "all combinations",
         VersionCases, HasFailure(), "each accepted or refused by the rule");
}

TEST_P(HostileHost, RecordsEndingAtAnInaccessiblePageAreEnough) {
  EXPECT_SURVIVES({
    GuardedPage servicesPage;
    GuardedPage hostPage;
    GuardedPage oldHostPage;
    GuardedPage infoPage;
    auto *table = servicesPage.RecordOfSize(Layout::HostServicesBytes);
    Put(table, Layout::ExportHistory, &FakeExportHistory);
    Put(table, Layout::ImportHistory, &FakeImportHistory);
    auto *host = hostPage.RecordOfSize(Layout::HostInfoBytes);
    Put(host, Layout::MajorVersion, 1);
    Put(host, Layout::MinorVersion, 51);
    Put(host, Layout::BuildNumber, 22);
    Put<HWND>(host, Layout::OwnerWindow, nullptr);
    Put(host, Layout::Services, table);
    auto *old = oldHostPage.RecordOfSize(Layout::HostInfoBytes);
    std::memcpy(old, host, Layout::HostInfoBytes);
    Put(old, Layout::BuildNumber, 21);
    // Caption's 13th byte is the page's last.
    auto *info = infoPage.RecordOfSize(Layout::Caption + Layout::CaptionBytes);

    auto *pluginInfo = reinterpret_cast<PluginInfo *>(info);
    EXPECT_EQ(Plugin.OnInstall(pluginInfo, reinterpret_cast<HostInfo *>(old)),
              1);
    ASSERT_EQ(Plugin.OnInstall(pluginInfo, reinterpret_cast<HostInfo *>(host)),
              0);
    EXPECT_STREQ(reinterpret_cast<char *>(info + Layout::Caption),
                 Library->CommandCaption);
    Fakes.DialogResult = TRUE;
    Fakes.DialogWrites = L"C:\\guarded.ini";
    EXPECT_EQ(Plugin.OnCall(), 1);
    ASSERT_EQ(Fakes.Services.size(), 1u);
    EXPECT_EQ(Fakes.Services[0].Entry, Library->ServiceEntry);

    // The editor may still send a command after OnExit.
    Plugin.OnExit();
    EXPECT_EQ(Plugin.OnCall(), 1);
  });
  Report("hostile host",
         "HostInfo, HostServices and Caption ending at a no-access page; "
         "refused and accepted install, command, command after OnExit",
         1, HasFailure(), "no read or write past the records");
}

FOR_BOTH_LIBRARIES(HostileHost);

}  // namespace
