// The built plug-in as the player sees it: loaded with dlopen, its one export called,
// the record checked field by field, IsOurFile, Init and Quit against a store file in
// a temporary folder, and the library's exported symbols.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "plugin/host_api.h"
#include "settings/env_guard.h"
#include "support/files.h"

namespace {

const std::string kOurKey = "HKEY_LOCAL_MACHINE\\Software\\Quorvath Entertainment\\ZSFPlay";

class LoadedPlugin {
 public:
  explicit LoadedPlugin(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) get_ = reinterpret_cast<GetInModuleFn>(dlsym(handle_, kInModuleExport));
  }
  ~LoadedPlugin() {
    if (handle_) dlclose(handle_);
  }
  bool ok() const { return handle_ && get_; }
  In_Module* record() const { return get_(); }
  const char* error() const { return dlerror(); }

 private:
  void* handle_ = nullptr;
  GetInModuleFn get_ = nullptr;
};

TEST(ModuleRecord, ExportReturnsTheFilledRecord) {
  LoadedPlugin plugin(ZSF_PLUGIN_PATH);
  ASSERT_TRUE(plugin.ok()) << plugin.error();
  In_Module* m = plugin.record();
  ASSERT_NE(m, nullptr);

  EXPECT_EQ(m->version, 0x100);
  ASSERT_NE(m->description, nullptr);
  EXPECT_STREQ(m->description, "Quorvath ZSF Player v1.666 (b 1073)");
  ASSERT_NE(m->FileExtensions, nullptr);
  const char kTypes[] = "ZSF;ZTF;ZGM\0ZSF Music File (*.ZSF,*.ZTF,*.ZGM)\0";  // + final NUL
  EXPECT_EQ(std::memcmp(m->FileExtensions, kTypes, sizeof kTypes), 0);
  EXPECT_EQ(m->is_seekable, 1);
  EXPECT_EQ(m->UsesOutputPlug, 1);

  // The same record on a second call.
  In_Module* second = plugin.record();
  EXPECT_EQ(second, m);
  EXPECT_EQ(second->description, m->description);

  char eq[10] = {};
  m->EQSet(1, eq, 5);  // ignored
}

TEST(ModuleRecord, IsOurFileTakesLowerCaseCollectionNamesOnly) {
  LoadedPlugin plugin(ZSF_PLUGIN_PATH);
  ASSERT_TRUE(plugin.ok()) << plugin.error();
  In_Module* m = plugin.record();
  EXPECT_NE(m->IsOurFile("zgm://x"), 0);
  EXPECT_NE(m->IsOurFile("a.zgm"), 0);
  EXPECT_NE(m->IsOurFile("dir/set.zgm,3"), 0);
  EXPECT_NE(m->IsOurFile("zgm://C:\\Music\\set.ZGM,2"), 0);  // the scheme alone suffices
  EXPECT_EQ(m->IsOurFile("A.ZGM"), 0);
  EXPECT_EQ(m->IsOurFile("Zgm://x"), 0);
  EXPECT_EQ(m->IsOurFile("ZGM://x.ZGM,1"), 0);
  EXPECT_EQ(m->IsOurFile("song.zsf"), 0);
  EXPECT_EQ(m->IsOurFile("zgm:/"), 0);
  EXPECT_EQ(m->IsOurFile(""), 0);
}

RegistryDocument ReadStore(const std::string& path) {
  std::vector<uint8_t> bytes = zsftest::ReadFile(path);
  RegistryDocument doc;
  EXPECT_TRUE(ParseRegistryText(bytes.data(), bytes.size(), &doc)) << path;
  return doc;
}

void ExpectDefaultStore(const std::string& path, uint32_t mono = 0) {
  RegistryDocument doc = ReadStore(path);
  const RegistryKey* key = nullptr;
  for (const RegistryKey& k : doc.keys)
    if (k.path == kOurKey) key = &k;
  ASSERT_NE(key, nullptr);
  uint32_t v = 12345;
  EXPECT_TRUE(key->ReadDword(nullptr, &v));
  EXPECT_EQ(v, 666u);
  for (const char* name : {"DisableSEcho", "LoBit", "LoadLen"}) {
    v = 12345;
    EXPECT_TRUE(key->ReadDword(name, &v)) << name;
    EXPECT_EQ(v, 0u) << name;
  }
  EXPECT_TRUE(key->ReadDword("Mono", &v));
  EXPECT_EQ(v, mono);
  std::string title;
  EXPECT_TRUE(key->ReadString("TitleOutput", &title));
  EXPECT_EQ(title, "%title% (%artist%)");
}

TEST(ModuleRecord, InitAndQuitOnACleanMachineLeaveTheDefaultsAndTheMarker) {
  zsftest::TempDir dir;
  std::string store = dir.file("registry.reg");
  EnvGuard env("ZSF_REGISTRY", store.c_str());
  LoadedPlugin plugin(ZSF_PLUGIN_PATH);
  ASSERT_TRUE(plugin.ok()) << plugin.error();
  In_Module* m = plugin.record();

  m->Init();
  ASSERT_TRUE(zsftest::FileExists(store));  // the first start wrote the defaults
  ExpectDefaultStore(store);

  // Quit without playback still saves.
  std::remove(store.c_str());
  m->Quit();
  ASSERT_TRUE(zsftest::FileExists(store));
  ExpectDefaultStore(store);
}

TEST(ModuleRecord, InitLoadsStoredSettingsAndQuitWritesThemBack) {
  zsftest::TempDir dir;
  std::string store = dir.file("registry.reg");
  zsftest::WriteFile(store, "Windows Registry Editor Version 5.00\n\n[" + kOurKey +
                                "]\n@=dword:0000029a\n\"Mono\"=dword:00000001\n");
  EnvGuard env("ZSF_REGISTRY", store.c_str());
  LoadedPlugin plugin(ZSF_PLUGIN_PATH);
  ASSERT_TRUE(plugin.ok()) << plugin.error();
  In_Module* m = plugin.record();
  m->Init();
  m->Quit();
  ExpectDefaultStore(store, /*mono=*/1);
  // A second start-up after a shut-down works the same.
  m->Init();
  m->Quit();
  ExpectDefaultStore(store, /*mono=*/1);
}

TEST(PluginLibrary, ExportsOnlyTheEntryPoint) {
  std::string command = std::string("nm -D --defined-only '") + ZSF_PLUGIN_PATH + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    size_t space = text.find_last_of(' ');
    names.insert(space == std::string::npos ? text : text.substr(space + 1));
  }
  ASSERT_EQ(pclose(pipe), 0);
  ASSERT_EQ(names.count("winampGetInModule2"), 1u);
  // What the toolchain puts into every shared object is tolerated.
  const std::set<std::string> toolchain = {"_init", "_fini", "__bss_start", "_edata", "_end"};
  for (const std::string& name : names) {
    if (name == "winampGetInModule2") continue;
    EXPECT_TRUE(toolchain.count(name)) << "unexpected export: " << name;
  }
}

}  // namespace
