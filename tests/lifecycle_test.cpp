// Loading, calling conventions, unloading: what decides whether the
// editor's process survives having the library inside it.
#include "tests/plugin_fixture.h"

namespace {

class Lifecycle : public PluginTest {};

TEST_P(Lifecycle, EntryPointsRemoveTheirOwnArgumentsAsTheEditorExpects) {
  void *module = Plugin.Module;
  EXPECT_EQ(BytesRemovedByCallee(reinterpret_cast<void *>(Plugin.DllMain),
                                 module, reinterpret_cast<void *>(2), nullptr),
            12)
      << "DllMain is callee-cleans with three arguments";

  FakeHost old;
  MakeHost(old, 1, 0, 0);  // refused: nothing but the box happens
  EXPECT_EQ(BytesRemovedByCallee(reinterpret_cast<void *>(Plugin.OnInstall),
                                 Info.Info(), old.Info(), nullptr),
            8)
      << "OnInstall is callee-cleans with two arguments";

  EXPECT_EQ(BytesRemovedByCallee(reinterpret_cast<void *>(Plugin.OnCall),
                                 nullptr, nullptr, nullptr),
            0)
      << "OnCall is cdecl";
  EXPECT_EQ(BytesRemovedByCallee(reinterpret_cast<void *>(Plugin.OnExit),
                                 nullptr, nullptr, nullptr),
            0)
      << "OnExit is cdecl";
}

TEST_P(Lifecycle, DllMainRecordsTheInstanceForEveryReasonAndReturnsOne) {
  ASSERT_EQ(Install(Host), 0);
  const DWORD reasons[] = {DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH,
                           DLL_THREAD_DETACH, DLL_PROCESS_DETACH};
  for (DWORD reason : reasons) {
    auto instance = reinterpret_cast<HINSTANCE>(0x1230000 + reason);
    EXPECT_EQ(Plugin.DllMain(instance, reason, nullptr), TRUE);
    Plugin.OnCall();
    EXPECT_EQ(Fakes.Dialogs.back().Record.hInstance, instance)
        << "reason " << reason;
  }
  EXPECT_TRUE(Fakes.Services.empty()) << "DllMain touches no host";
  Plugin.DllMain(Plugin.Module, DLL_PROCESS_ATTACH, nullptr);
}

TEST_P(Lifecycle, ReloadStartsFromZeroState) {
  ASSERT_EQ(Install(Host), 0);
  Fakes.DialogResult = TRUE;
  Fakes.DialogWrites = L"C:\\left\\over.ini";
  Plugin.OnCall();

  const char *file = Library->File;
  UnloadPlugin(Plugin);
  ASSERT_EQ(GetModuleHandleA(file), nullptr) << "the library stayed mapped";
  Plugin = LoadPlugin(*Library);
  Fakes = Platform{};

  EXPECT_EQ(Plugin.OnCall(), 0) << "no service table survives an unload";
  EXPECT_TRUE(Fakes.Dialogs.empty());
  ASSERT_EQ(Install(Host), 0);
  Plugin.OnCall();
  ASSERT_EQ(Fakes.Dialogs.size(), 1u);
  EXPECT_EQ(Fakes.Dialogs[0].FileAtEntry, "") << "the old path survived";
}

FOR_BOTH_LIBRARIES(Lifecycle);

TEST(BothLibraries, LoadSideBySideWithSeparateState) {
  Fakes = Platform{};
  PluginLibrary save = LoadPlugin(SaveLibrary);
  PluginLibrary load = LoadPlugin(LoadLibrary_);
  ASSERT_TRUE(save.Module && load.Module);
  ASSERT_NE(save.Module, load.Module);

  FakeHost saveHost, loadHost;
  MakeHost(saveHost, 1, 51, 22, reinterpret_cast<HWND>(0x10010));
  MakeHost(loadHost, 2, 0, 0, reinterpret_cast<HWND>(0x20020));
  PluginInfoBuffer saveInfo, loadInfo;
  ASSERT_EQ(save.OnInstall(saveInfo.Info(), saveHost.Info()), 0);
  ASSERT_EQ(load.OnInstall(loadInfo.Info(), loadHost.Info()), 0);
  EXPECT_STREQ(saveInfo.Caption(), "Save history");
  EXPECT_STREQ(loadInfo.Caption(), "Load history");

  Fakes.DialogResult = TRUE;
  Fakes.DialogWrites = L"C:\\saved.ini";
  EXPECT_EQ(save.OnCall(), 1);
  Fakes.DialogWrites = L"C:\\loaded.ini";
  EXPECT_EQ(load.OnCall(), 1);
  Fakes.DialogResult = FALSE;
  save.OnCall();
  load.OnCall();

  ASSERT_EQ(Fakes.Dialogs.size(), 4u);
  EXPECT_STREQ(Fakes.Dialogs[0].Import, "GetSaveFileNameW");
  EXPECT_STREQ(Fakes.Dialogs[1].Import, "GetOpenFileNameW");
  EXPECT_EQ(Fakes.Dialogs[1].FileAtEntry, "") << "paths are not shared";
  EXPECT_EQ(Fakes.Dialogs[1].Record.hwndOwner, loadHost.Owner());
  EXPECT_EQ(Fakes.Dialogs[2].FileAtEntry, "C:\\saved.ini");
  EXPECT_EQ(Fakes.Dialogs[3].FileAtEntry, "C:\\loaded.ini");
  ASSERT_EQ(Fakes.Services.size(), 2u);
  EXPECT_EQ(Fakes.Services[0].Entry, 2);
  EXPECT_EQ(Fakes.Services[1].Entry, 3);
  EXPECT_NE(Fakes.Services[0].Path, Fakes.Services[1].Path);

  UnloadPlugin(save);
  UnloadPlugin(load);
}

}  // namespace
