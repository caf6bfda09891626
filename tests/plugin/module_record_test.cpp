// The built plug-in as the player sees it: its one export and the record it returns,
// IsOurFile, and the library's exported symbols. (Init and Quit load and save the
// settings store: tests/settings for the store, tests/host for zsfplay's --config.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "support/build_paths.h"
#include "support/files.h"
#include "support/test_host.h"

using namespace zsftest;

TEST(ModuleRecord, TheExportReturnsTheFilledRecord) {
  TestHost host;
  ASSERT_TRUE(host.ok()) << host.error();
  In_Module* m = host.record();
  EXPECT_EQ(0x100, m->version);
  EXPECT_STREQ("Quorvath ZSF Player v1.666 (b 1073)", m->description);
  const char kTypes[] = "ZSF;ZTF;ZGM\0ZSF Music File (*.ZSF,*.ZTF,*.ZGM)\0";  // + final NUL
  EXPECT_EQ(0, std::memcmp(m->FileExtensions, kTypes, sizeof kTypes));
  EXPECT_EQ(1, m->is_seekable);
  EXPECT_EQ(1, m->UsesOutputPlug);
  char eq[10] = {};
  m->EQSet(1, eq, 5);  // ignored
  // Only lower-case collection names are ours (the scheme alone suffices).
  for (const char* name : {"zgm://x", "a.zgm", "dir/set.zgm,3", "zgm://C:\\Music\\set.ZGM,2"}) EXPECT_NE(0, m->IsOurFile(name)) << name;
  for (const char* name : {"A.ZGM", "Zgm://x", "ZGM://x.ZGM,1", "song.zsf", "zgm:/", ""}) EXPECT_EQ(0, m->IsOurFile(name)) << name;
}

TEST(PluginLibrary, ExportsOnlyTheEntryPoint) {
  FILE* pipe = popen(("nm -D --defined-only '" + std::string(ZSF_PLUGIN_PATH) + "' 2>&1").c_str(), "r");
  ASSERT_NE(nullptr, pipe);
  std::set<std::string> names;
  for (char line[512]; std::fgets(line, sizeof line, pipe);) {
    std::string text(line, strcspn(line, "\r\n"));
    names.insert(text.substr(text.find_last_of(' ') + 1));
  }
  ASSERT_EQ(0, pclose(pipe));
  ASSERT_EQ(1u, names.erase("winampGetInModule2"));
  for (const char* toolchain : {"_init", "_fini", "__bss_start", "_edata", "_end"}) names.erase(toolchain);
  // A fuzzing build's coverage counters bring the bounds of their sections.
  for (auto n = names.begin(); n != names.end();)
    n = n->find("___sancov_") != std::string::npos ? names.erase(n) : std::next(n);
  EXPECT_EQ(std::set<std::string>{}, names) << "unexpected exports";
}
