// PlayerSettings against a real store file in a temporary folder: first start,
// round trips, foreign markers, other programs' keys, unreadable stores, long templates.
#include "ui/player_settings.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "settings/env_guard.h"
#include "support/files.h"

namespace {

using zsftest::TempDir;

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> b = zsftest::ReadFile(path);
  return std::string(b.begin(), b.end());
}

RegistryDocument ParseFile(const std::string& path) {
  std::vector<uint8_t> b = zsftest::ReadFile(path);
  RegistryDocument doc;
  EXPECT_TRUE(ParseRegistryText(b.data(), b.size(), &doc)) << path;
  return doc;
}

const RegistryKey* FindKey(const RegistryDocument& doc, const std::string& path) {
  for (const RegistryKey& k : doc.keys)
    if (k.path == path) return &k;
  return nullptr;
}

const std::string kOurKey = "HKEY_LOCAL_MACHINE\\Software\\Quorvath Entertainment\\ZSFPlay";

void ExpectDefaults(const PlayerSettings& s) {
  EXPECT_EQ(s.DisableSEcho, 0u);
  EXPECT_EQ(s.KeepSamples, 0u);
  EXPECT_EQ(s.Mono, 0u);
  EXPECT_EQ(s.LoBit, 0u);
  EXPECT_EQ(s.LoadLen, 0u);
  EXPECT_STREQ(s.TitleOutput, "%title% (%artist%)");
}

class SettingsStore : public ::testing::Test {
 protected:
  TempDir dir;
  std::string store = dir.file("registry.reg");
  EnvGuard env{"ZSF_REGISTRY", store.c_str()};
};

TEST_F(SettingsStore, RecordHoldsDefaultsBeforeAnyLoad) {
  PlayerSettings s;
  ExpectDefaults(s);
  s.Mono = 1;
  std::strcpy(s.TitleOutput, "x");
  s.Reset();
  ExpectDefaults(s);
  ExpectDefaults(TheSettings);  // the process-wide record, untouched by these tests
}

TEST_F(SettingsStore, FirstStartWritesFiveValuesAndTheMarker) {
  PlayerSettings s;
  s.Mono = 1;  // whatever the record held, a load starts from the defaults
  ASSERT_EQ(s.Load(), 0u);
  ExpectDefaults(s);
  EXPECT_EQ(ReadText(store),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Quorvath Entertainment\\ZSFPlay]\n"
            "@=dword:0000029a\n"
            "\"DisableSEcho\"=dword:00000000\n"
            "\"LoBit\"=dword:00000000\n"
            "\"Mono\"=dword:00000000\n"
            "\"LoadLen\"=dword:00000000\n"
            "\"TitleOutput\"=\"%title% (%artist%)\"\n");
}

TEST_F(SettingsStore, ChangedValuesSurviveSaveAndLoad) {
  PlayerSettings s;
  ASSERT_EQ(s.Load(), 0u);
  s.DisableSEcho = 1;
  s.Mono = 1;
  s.LoBit = 1;
  s.LoadLen = 1;
  s.KeepSamples = 1;  // never stored
  std::strcpy(s.TitleOutput, "%artist% \\ \"%title%\" [%game%]");
  ASSERT_EQ(s.Save(), 0u);
  EXPECT_NE(ReadText(store).find("\"TitleOutput\"=\"%artist% \\\\ \\\"%title%\\\" [%game%]\""),
            std::string::npos)
      << ReadText(store);

  PlayerSettings t;
  ASSERT_EQ(t.Load(), 0u);
  EXPECT_EQ(t.DisableSEcho, 1u);
  EXPECT_EQ(t.Mono, 1u);
  EXPECT_EQ(t.LoBit, 1u);
  EXPECT_EQ(t.LoadLen, 1u);
  EXPECT_EQ(t.KeepSamples, 0u);
  EXPECT_STREQ(t.TitleOutput, "%artist% \\ \"%title%\" [%game%]");
}

TEST_F(SettingsStore, ForeignMarkerMakesLoadOverwriteEverythingWithDefaults) {
  zsftest::WriteFile(store,
                     "Windows Registry Editor Version 5.00\n\n[" + kOurKey +
                         "]\n@=dword:00000001\n\"DisableSEcho\"=dword:00000001\n"
                         "\"Mono\"=dword:00000001\n\"TitleOutput\"=\"theirs\"\n");
  PlayerSettings s;
  ASSERT_EQ(s.Load(), 0u);
  ExpectDefaults(s);
  RegistryDocument doc = ParseFile(store);
  const RegistryKey* key = FindKey(doc, kOurKey);
  ASSERT_NE(key, nullptr);
  uint32_t v = 1;
  EXPECT_TRUE(key->ReadDword("", &v));
  EXPECT_EQ(v, 666u);
  EXPECT_TRUE(key->ReadDword("Mono", &v));
  EXPECT_EQ(v, 0u);
  std::string title;
  EXPECT_TRUE(key->ReadString("TitleOutput", &title));
  EXPECT_EQ(title, "%title% (%artist%)");
}

TEST_F(SettingsStore, MissingValueWithMarkerKeepsItsDefault) {
  zsftest::WriteFile(store, "Windows Registry Editor Version 5.00\n\n[" + kOurKey +
                                "]\n@=dword:0000029a\n\"Mono\"=dword:00000001\n");
  PlayerSettings s;
  ASSERT_EQ(s.Load(), 0u);
  EXPECT_EQ(s.Mono, 1u);
  EXPECT_EQ(s.DisableSEcho, 0u);  // not the marker's 666
  EXPECT_EQ(s.LoBit, 0u);
  EXPECT_STREQ(s.TitleOutput, "%title% (%artist%)");
}

TEST_F(SettingsStore, EmptyStoredTemplateStaysEmpty) {
  zsftest::WriteFile(store, "Windows Registry Editor Version 5.00\n\n[" + kOurKey +
                                "]\n@=dword:0000029a\n\"TitleOutput\"=\"\"\n");
  PlayerSettings s;
  ASSERT_EQ(s.Load(), 0u);
  EXPECT_STREQ(s.TitleOutput, "");
}

TEST_F(SettingsStore, StoredTemplateLongerThan99IsCutTo99) {
  std::string longTitle;
  for (int i = 0; i < 15; ++i) longTitle += "%title%-";  // 120 characters
  zsftest::WriteFile(store, "Windows Registry Editor Version 5.00\n\n[" + kOurKey +
                                "]\n@=dword:0000029a\n\"TitleOutput\"=\"" + longTitle + "\"\n");
  PlayerSettings s;
  ASSERT_EQ(s.Load(), 0u);
  EXPECT_EQ(std::strlen(s.TitleOutput), 99u);
  EXPECT_EQ(std::string(s.TitleOutput), longTitle.substr(0, 99));
}

TEST_F(SettingsStore, OtherProgramsKeysAndValuesSurviveASave) {
  const std::string before =
      "Windows Registry Editor Version 5.00\n"
      "; kept by hand\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\n"
      "\"Path\"=\"C:\\\\Music\\\\\"\n"
      "\"Blob\"=hex:01,02,03,\\\n"
      "  04,05\n"
      "\n[" + kOurKey + "]\n"
      "@=dword:0000029a\n"
      "\"Mono\"=dword:00000001\n"
      "\"Volume\"=dword:00000050\n"
      "\"List\"=hex(7):41,00,00,00\n";
  zsftest::WriteFile(store, before);
  PlayerSettings s;
  ASSERT_EQ(s.Load(), 0u);
  s.LoBit = 1;
  ASSERT_EQ(s.Save(), 0u);

  std::string after = ReadText(store);
  EXPECT_NE(after.find("; kept by hand\n"), std::string::npos) << after;
  EXPECT_NE(after.find("[HKEY_CURRENT_USER\\Software\\Other]\n\"Path\"=\"C:\\\\Music\\\\\"\n"
                       "\"Blob\"=hex:01,02,03,\\\n  04,05\n"),
            std::string::npos)
      << after;
  EXPECT_NE(after.find("\"Volume\"=dword:00000050\n"), std::string::npos) << after;
  EXPECT_NE(after.find("\"List\"=hex(7):41,00,00,00\n"), std::string::npos) << after;
  EXPECT_NE(after.find("\"LoBit\"=dword:00000001\n"), std::string::npos) << after;
  EXPECT_NE(after.find("\"Mono\"=dword:00000001\n"), std::string::npos) << after;
}

TEST_F(SettingsStore, UnreadableStoreIsKeptThenMovedAsideOnSave) {
  const std::string garbage = "this is not a registry export\n\"x\"=dword:1\n";
  zsftest::WriteFile(store, garbage);
  PlayerSettings s;
  s.Mono = 1;
  EXPECT_EQ(s.Load(), 1u);
  ExpectDefaults(s);
  EXPECT_EQ(ReadText(store), garbage);  // load never writes over it

  s.LoadLen = 1;
  ASSERT_EQ(s.Save(), 0u);
  ASSERT_TRUE(zsftest::FileExists(store + ".bad"));
  EXPECT_EQ(ReadText(store + ".bad"), garbage);
  PlayerSettings t;
  ASSERT_EQ(t.Load(), 0u);
  EXPECT_EQ(t.LoadLen, 1u);

  // A second unreadable file does not replace the first one set aside.
  zsftest::WriteFile(store, "[broken");
  EXPECT_EQ(t.Load(), 1u);
  ASSERT_EQ(t.Save(), 0u);
  EXPECT_EQ(ReadText(store + ".bad"), garbage);
  EXPECT_EQ(ReadText(store + ".bad.2"), "[broken");
}

TEST_F(SettingsStore, SaveLeavesNoTemporaryFilesBehind) {
  PlayerSettings s;
  ASSERT_EQ(s.Load(), 0u);
  ASSERT_EQ(s.Save(), 0u);
  ASSERT_EQ(s.Save(), 0u);
  std::vector<std::string> names;
  DIR* d = opendir(dir.path().c_str());
  ASSERT_NE(d, nullptr);
  while (dirent* e = readdir(d))
    if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
  closedir(d);
  EXPECT_EQ(names, std::vector<std::string>{"registry.reg"});
}

TEST(SettingsLocation, XdgConfigHomeThenHomeWithFoldersCreated) {
  TempDir dir;
  EnvGuard noExplicit("ZSF_REGISTRY", nullptr);
  {
    EnvGuard xdg("XDG_CONFIG_HOME", dir.file("xdg").c_str());
    EXPECT_EQ(RegistryStorePath(), dir.file("xdg") + "/zsfplay/registry.reg");
    PlayerSettings s;
    ASSERT_EQ(s.Load(), 0u);
    EXPECT_TRUE(zsftest::FileExists(dir.file("xdg/zsfplay/registry.reg")));
  }
  {
    EnvGuard xdg("XDG_CONFIG_HOME", nullptr);
    EnvGuard home("HOME", dir.file("home").c_str());
    EXPECT_EQ(RegistryStorePath(), dir.file("home") + "/.config/zsfplay/registry.reg");
    PlayerSettings s;
    ASSERT_EQ(s.Load(), 0u);
    EXPECT_TRUE(zsftest::FileExists(dir.file("home/.config/zsfplay/registry.reg")));
  }
}

TEST(SettingsLocation, UnwritableStoreKeepsDefaultsAndReportsFailure) {
  // A store below a regular file can never be created.
  TempDir dir;
  zsftest::WriteFile(dir.file("plain"), "x");
  EnvGuard env("ZSF_REGISTRY", dir.file("plain/registry.reg").c_str());
  PlayerSettings s;
  EXPECT_EQ(s.Load(), 0u);  // nothing stored yet: the defaults are the settings
  ExpectDefaults(s);
  EXPECT_EQ(s.Save(), 1u);
}

}  // namespace
