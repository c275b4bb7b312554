#include <gtest/gtest.h>

#include "host/windows_path.h"
#include "tests/plugin_fixture.h"

std::string LibraryName(
    const ::testing::TestParamInfo<const LibraryCase *> &p) {
  std::string name = p.param->File;
  return name.substr(0, name.find('.'));
}

// Usage: plugin_tests [gtest flags] FOLDER_WITH_THE_LIBRARIES
int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Absolute, since a file dialog may change the current folder.
  char folder[MAX_PATH];
  if (argc > 1 &&
      GetFullPathNameA(WindowsPath(argv[1]).c_str(), MAX_PATH, folder, nullptr))
    PluginDirectory = folder;
  return RUN_ALL_TESTS();
}
