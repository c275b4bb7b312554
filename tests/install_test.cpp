// What the editor sees when it installs a library: the version gate, the
// refusal box, and exactly which bytes of its records change.
#include <climits>
#include <cstring>

#include "tests/plugin_fixture.h"

namespace {

constexpr const char *RefusalText =
    "Incompatible Norrix SQL editor version. Required 1.51.22 or higher";

struct VersionCase {
  int Major, Minor, Build;
  bool Accepted;
};

// Written from the rule, not from the code: 1.51.22 or later within major
// version 1, any major version above 1, nothing below 1.
const VersionCase Versions[] = {
    {1, 51, 22, true},       {1, 51, 21, false},
    {1, 50, 99, false},      {1, 52, 0, true},
    {2, 0, 0, true},         {2, 10, 5, true},
    {1, 51, 23, true},       {1, 51, INT_MAX, true},
    {1, 51, -1, false},      {1, 51, INT_MIN, false},
    {1, 52, INT_MIN, true},  {1, INT_MAX, 0, true},
    {1, 0, 0, false},        {1, -1, 99, false},
    {1, INT_MIN, 22, false}, {2, INT_MIN, INT_MIN, true},
    {INT_MAX, 0, 0, true},   {0, 51, 22, false},
    {0, 99, 99, false},      {-1, 51, 22, false},
    {INT_MIN, 52, 0, false},
};

class Installing : public PluginTest {};

TEST_P(Installing, VersionGateAcceptsFrom1_51_22AndRefusesOlderOrBelowMajor1) {
  for (const VersionCase &v : Versions) {
    SCOPED_TRACE(testing::Message()
                 << "editor " << v.Major << "." << v.Minor << "." << v.Build);
    UnloadPlugin(Plugin);
    Plugin = LoadPlugin(*Library);
    Fakes = Platform{};
    FakeHost host;
    MakeHost(host, v.Major, v.Minor, v.Build);
    FillPattern(Info.Bytes, sizeof Info.Bytes);

    EXPECT_EQ(Install(host), v.Accepted ? 0 : 1);
    EXPECT_EQ(Fakes.Boxes.size(), v.Accepted ? 0u : 1u)
        << "the refusal box is the only message and only for a refusal";
  }
}

TEST_P(Installing, RefusalShowsUnownedErrorBoxWithVariantCaption) {
  FakeHost old;
  MakeHost(old, 1, 51, 21);
  ASSERT_EQ(Install(old), 1);
  ASSERT_EQ(Fakes.Boxes.size(), 1u);
  const MessageBoxCall &box = Fakes.Boxes[0];
  EXPECT_EQ(box.Owner, nullptr) << "an owned box would disable the editor";
  EXPECT_EQ(box.Text, RefusalText);
  EXPECT_EQ(box.Caption, Library->ErrorCaption);
  EXPECT_EQ(box.Type, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST_P(Installing, RefusalLeavesPluginInfoAndHostInfoUntouched) {
  FakeHost old, before;
  MakeHost(old, 1, 50, 99);
  std::memcpy(&before, &old, sizeof old);
  ASSERT_EQ(Install(old), 1);
  for (size_t i = 0; i < sizeof Info.Bytes; ++i) {
    ASSERT_EQ(Info.Bytes[i], 0x66) << "PluginInfo byte " << i << " written";
  }
  EXPECT_EQ(std::memcmp(&before, &old, sizeof old), 0) << "HostInfo written";
}

TEST_P(Installing, AcceptanceWritesKindAndCaptionAndNothingElse) {
  FakeHost before;
  std::memcpy(&before, &Host, sizeof Host);
  ASSERT_EQ(Install(Host), 0);
  EXPECT_TRUE(Fakes.Boxes.empty());

  EXPECT_EQ(Info.Kind(), 4);
  EXPECT_STREQ(Info.Caption(), Library->CommandCaption);
  const size_t captionEnd = Layout::Caption + Layout::CaptionBytes;
  for (size_t i = 0; i < sizeof Info.Bytes; ++i) {
    if (i >= Layout::Kind && i < captionEnd) continue;
    EXPECT_EQ(Info.Bytes[i], 0x66) << "PluginInfo byte " << i << " written";
  }
  EXPECT_EQ(std::memcmp(&before, &Host, sizeof Host), 0) << "HostInfo written";
}

TEST_P(Installing, RefusedSecondInstallKeepsEarlierServicesAndReadsNewOwner) {
  ASSERT_EQ(Install(Host), 0);
  PluginInfoBuffer second;
  FillPattern(second.Bytes, sizeof second.Bytes);
  FakeHost old;
  MakeHost(old, 1, 51, 21, reinterpret_cast<HWND>(0x00020020));
  SetOwnEntry(old, nullptr);  // a call through the new table would show

  ASSERT_EQ(Plugin.OnInstall(second.Info(), old.Info()), 1);
  EXPECT_EQ(Info.Kind(), 4) << "first PluginInfo kept";
  for (unsigned char b : second.Bytes) ASSERT_EQ(b, 0x66);

  Fakes.DialogResult = TRUE;
  Fakes.DialogWrites = L"C:\\history\\kept.ini";
  EXPECT_EQ(Plugin.OnCall(), 1);
  ASSERT_EQ(Fakes.Dialogs.size(), 1u);
  EXPECT_EQ(Fakes.Dialogs[0].Record.hwndOwner, old.Owner())
      << "the owner comes from the latest HostInfo";
  ASSERT_EQ(Fakes.Services.size(), 1u) << "the earlier table serves";
  EXPECT_EQ(Fakes.Services[0].Entry, Library->ServiceEntry);
}

TEST_P(Installing, AcceptedSecondInstallSwitchesToTheNewTable) {
  ASSERT_EQ(Install(Host), 0);
  FakeHost newer;
  MakeHost(newer, 2, 0, 0);
  SetOwnEntry(Host, nullptr);  // the old table must no longer be used
  PluginInfoBuffer second;
  FillPattern(second.Bytes, sizeof second.Bytes);
  ASSERT_EQ(Plugin.OnInstall(second.Info(), newer.Info()), 0);
  EXPECT_STREQ(second.Caption(), Library->CommandCaption);

  Fakes.DialogResult = TRUE;
  Fakes.DialogWrites = L"C:\\history\\new.ini";
  EXPECT_EQ(Plugin.OnCall(), 1);
  EXPECT_EQ(Fakes.Services.size(), 1u);
}

TEST_P(Installing, NullRecordsAreRefusedQuietlyAndChangeNothing) {
  EXPECT_SURVIVES({
    ASSERT_EQ(Install(Host), 0);
    FakeHost other;
    MakeHost(other, 1, 51, 22, reinterpret_cast<HWND>(0x00030030));
    EXPECT_EQ(Plugin.OnInstall(nullptr, other.Info()), 1);
    EXPECT_EQ(Plugin.OnInstall(Info.Info(), nullptr), 1);
    EXPECT_EQ(Plugin.OnInstall(nullptr, nullptr), 1);
    EXPECT_TRUE(Fakes.Boxes.empty()) << "no box for a null record";

    // Still the first host's owner and table.
    Fakes.DialogResult = TRUE;
    Fakes.DialogWrites = L"C:\\h.ini";
    EXPECT_EQ(Plugin.OnCall(), 1);
    ASSERT_EQ(Fakes.Dialogs.size(), 1u);
    EXPECT_EQ(Fakes.Dialogs[0].Record.hwndOwner, Host.Owner());
  });
}

TEST_P(Installing, NullRecordsBeforeAnyInstallLeaveNoServiceTable) {
  EXPECT_SURVIVES({
    PluginInfoBuffer untouched;
    FillPattern(untouched.Bytes, sizeof untouched.Bytes);
    EXPECT_EQ(Plugin.OnInstall(untouched.Info(), nullptr), 1);
    for (unsigned char b : untouched.Bytes) ASSERT_EQ(b, 0x66);
    EXPECT_EQ(Plugin.OnCall(), 0);
    EXPECT_TRUE(Fakes.Dialogs.empty());
  });
}

FOR_BOTH_LIBRARIES(Installing);

}  // namespace
