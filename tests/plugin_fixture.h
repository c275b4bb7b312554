// One freshly loaded library per test, both libraries for every test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/platform_fakes.h"
#include "tests/plugin_library.h"

class PluginTest : public ::testing::TestWithParam<const LibraryCase *> {
 protected:
  void SetUp() override {
    Fakes = Platform{};
    Library = GetParam();
    Plugin = LoadPlugin(*Library);
    ASSERT_NE(Plugin.Module, nullptr);
    MakeHost(Host, 1, 51, 22);
    FillPattern(Info.Bytes, sizeof Info.Bytes);
  }
  void TearDown() override {
    UnloadPlugin(Plugin);
  }

  int Install(FakeHost &host) {
    return Plugin.OnInstall(Info.Info(), host.Info());
  }

  // The service of this library's variant, and the other one, in a table.
  void SetOwnEntry(FakeHost &host, HistoryService service) {
    host.SetEntry(Library->ServiceEntry, service);
  }
  void SetOtherEntry(FakeHost &host, HistoryService service) {
    host.SetEntry(5 - Library->ServiceEntry, service);
  }

  const LibraryCase *Library = nullptr;
  PluginLibrary Plugin;
  FakeHost Host;
  PluginInfoBuffer Info;
};

// Runs a case that would crash the editor if the plug-in misbehaved in a
// child process, so a crash is one failed case and not the end of the run.
#define EXPECT_SURVIVES(statement)                        \
  EXPECT_EXIT(                                            \
      {                                                   \
        statement;                                        \
        std::exit(::testing::Test::HasFailure() ? 3 : 0); \
      },                                                  \
      ::testing::ExitedWithCode(0), "")

std::string LibraryName(const ::testing::TestParamInfo<const LibraryCase *> &);

#define FOR_BOTH_LIBRARIES(fixture)          \
  INSTANTIATE_TEST_SUITE_P(Library, fixture, \
                           ::testing::ValuesIn(AllLibraries), LibraryName)
