// The settings store: the registry export parser and writer, the registry-shaped key
// operations, SettingsKey and PlayerSettings over real store files in a temporary
// folder. A save replaces the store whole, as a tag rewrite does (FileReplacement):
// tag_storing_test kills that replacement at random moments.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/module_handle.h"
#include "platform/registry_store.h"
#include "platform/settings_key.h"
#include "support/env_guard.h"
#include "support/files.h"
#include "ui/player_settings.h"

using namespace zsftest;

namespace {

bool Parse(const std::string& text, RegistryDocument* doc) {
  return ParseRegistryText(reinterpret_cast<const uint8_t*>(text.data()), text.size(), doc);
}

std::string Text(const std::string& path) {
  std::vector<uint8_t> b = ReadFile(path);
  return std::string(b.begin(), b.end());
}

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";
const std::string kOurKey = "[HKEY_LOCAL_MACHINE\\Software\\Quorvath Entertainment\\ZSFPlay]\n";
const char* const kPath = "Software\\Quorvath Entertainment\\ZSFPlay";

// "echo lobit mono loadlen keep title" of S, for one comparison.
std::string Describe(const PlayerSettings& s) {
  return std::to_string(s.DisableSEcho) + std::to_string(s.LoBit) + std::to_string(s.Mono) + std::to_string(s.LoadLen) +
         std::to_string(s.KeepSamples) + " " + s.TitleOutput;
}
const std::string kDefaults = "00000 %title% (%artist%)";

}  // namespace

TEST(RegistryText, ParsesEveryValueKindAndFormatsItBack) {
  RegistryDocument doc;
  ASSERT_TRUE(Parse(kHeader + "; a comment\n[HKEY_LOCAL_MACHINE\\Software\\A]\n@=\"default text\"\n"
                    "\"Quote\\\"Name\"=\"back\\\\slash and \\\"quote\\\"\"\n\"Count\"=dword:0000002A\n"
                    "\"Bytes\"=hex:00,ff,\\\n  10\n\"Gone\"=-\n\n[-HKEY_LOCAL_MACHINE\\Software\\Removed]\n", &doc));
  ASSERT_EQ(2u, doc.keys.size());
  const RegistryKey& a = doc.keys[0];
  EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\A", a.path);
  std::string s;
  uint32_t v = 0;
  EXPECT_TRUE(a.ReadString(nullptr, &s) && s == "default text");
  EXPECT_TRUE(a.ReadString("Quote\"Name", &s) && s == "back\\slash and \"quote\"") << s;
  EXPECT_TRUE(a.ReadDword("count", &v) && v == 42u) << "names ignore ASCII case";
  EXPECT_FALSE(a.ReadDword("Bytes", &v) || a.ReadString("Count", &s) || a.ReadDword("Missing", &v));
  const std::string again = FormatRegistryText(doc);
  RegistryDocument doc2;
  ASSERT_TRUE(Parse(again, &doc2));
  EXPECT_EQ(again, FormatRegistryText(doc2));
  EXPECT_NE(std::string::npos, again.find("\"Bytes\"=hex:00,ff,\\\n  10\n")) << again;
  EXPECT_NE(std::string::npos, again.find("\"Count\"=dword:0000002a\n")) << again;
  // CR LF, a byte-order mark, the older header, UTF-16LE as Windows writes it, nothing at all.
  ASSERT_TRUE(Parse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"A\"=dword:00000001\r\n", &doc));
  EXPECT_TRUE(doc.keys.size() == 1 && doc.keys[0].ReadDword("A", &v) && v == 1u);
  ASSERT_TRUE(Parse("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\X]\n\"A\"=\"b\"\n", &doc));
  EXPECT_EQ("REGEDIT4", doc.header);
  std::vector<uint8_t> wide = {0xFF, 0xFE};
  for (char c : kHeader + "[HKEY_LOCAL_MACHINE\\X]\r\n\"T\"=\"caf\xE9\"\r\n") wide.insert(wide.end(), {uint8_t(c), 0});
  ASSERT_TRUE(ParseRegistryText(wide.data(), wide.size(), &doc));
  EXPECT_TRUE(doc.keys.size() == 1 && doc.keys[0].ReadString("T", &s) && s == "caf\xE9");
  EXPECT_TRUE(ParseRegistryText(nullptr, 0, &doc));
  EXPECT_TRUE(doc.keys.empty());
  EXPECT_TRUE(Parse("\n \r\n", &doc));
}

TEST(RegistryText, RefusesWhatItCannotReadFaithfully) {
  RegistryDocument doc;
  const std::string k = kHeader + "[HKEY_LOCAL_MACHINE\\X]\n";
  for (const std::string& text : {std::string("just some text\n"), kHeader + "\"A\"=dword:1\n", kHeader + "[HKEY_LOCAL_MACHINE\\X\n",
                                  k + "\"A\"=\"open\n", k + "\"A\"=\"x\"y\n", k + "\"A\"=dword:123456789\n", k + "\"A\"=dword:\n",
                                  k + "\"A\"=dword:12g\n", k + "\"A\"=qword:1\n", k + "\"A\"\n", k + "\"A\"=hex:01,\\"})
    EXPECT_FALSE(Parse(text, &doc)) << text;
  const uint8_t wideHigh[] = {0xFF, 0xFE, 'R', 0x00, 0x3A, 0x04}, wideOdd[] = {0xFF, 0xFE, 'R'};
  EXPECT_FALSE(ParseRegistryText(wideHigh, sizeof wideHigh, &doc)) << "a character above 0xFF";
  EXPECT_FALSE(ParseRegistryText(wideOdd, sizeof wideOdd, &doc));
  // Writes replace types and refuse line breaks; the default value leads.
  RegistryKey key;
  key.path = "HKEY_LOCAL_MACHINE\\X";
  EXPECT_TRUE(key.WriteString("A", "text") && key.WriteDword("A", 7));
  uint32_t v = 0;
  std::string s;
  EXPECT_TRUE(key.ReadDword("a", &v) && v == 7u);
  EXPECT_FALSE(key.ReadString("A", &s));
  EXPECT_TRUE(key.WriteDword(nullptr, 666));
  EXPECT_EQ(2u, key.values.size());
  EXPECT_EQ("", key.values.front().name);
  EXPECT_FALSE(key.WriteString("B", "two\nlines") || key.WriteDword("C\r", 1) || key.ReadString("B", &s));
}

TEST(RegistryStore, KeysAndSavesThroughFoldersAndLinks) {
  TempDir dir;
  RegistryStore store(dir.file("sub/dir/r.reg"));
  EXPECT_TRUE(store.Readable());
  EXPECT_EQ(nullptr, store.OpenKey("Software\\A"));
  RegistryKey* a = store.CreateKey("Software\\A");
  ASSERT_NE(nullptr, a);
  a->WriteString("Name", "v");
  EXPECT_EQ(store.OpenKey("Software\\A"), store.CreateKey("SOFTWARE\\a")) << "created once, found ignoring case";
  EXPECT_EQ(nullptr, store.CreateKey("Bad]Key"));
  ASSERT_TRUE(store.Save()) << "folders made on the way";
  RegistryStore reread(dir.file("sub/dir/r.reg"));
  std::string s;
  ASSERT_NE(nullptr, reread.OpenKey("software\\a"));
  EXPECT_TRUE(reread.OpenKey("software\\a")->ReadString("name", &s) && s == "v");
  EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\A", reread.OpenKey("software\\a")->path);
  // A save through a symbolic link keeps the link and what the store held.
  WriteFile(dir.file("real.reg"), kHeader + "[HKEY_LOCAL_MACHINE\\X]\n\"Keep\"=dword:00000007\n");
  ASSERT_EQ(0, symlink(dir.file("real.reg").c_str(), dir.file("link.reg").c_str()));
  RegistryStore linked(dir.file("link.reg"));
  linked.CreateKey("X")->WriteDword("New", 1);
  ASSERT_TRUE(linked.Save());
  struct stat st;
  ASSERT_EQ(0, lstat(dir.file("link.reg").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(std::string::npos, Text(dir.file("real.reg")).find("\"Keep\"=dword:00000007\n\"New\"=dword:00000001\n"));
  // The module handle: here the test program itself, stable, no reference piling up.
  ModuleHandle handle = CurrentModuleHandle();
  void* program = dlopen(nullptr, RTLD_LAZY);
  EXPECT_EQ(program, handle);
  dlclose(program);
  EXPECT_EQ(handle, CurrentModuleHandle());
}

TEST(SettingsKey, WritesReachTheStoreOnlyAtCommitAndReadsCheckTypes) {
  TempDir dir;
  const std::string store = dir.file("registry.reg");
  EnvGuard env("ZSF_REGISTRY", store.c_str());
  for (bool commit : {false, true}) {
    SettingsKey key(kPath, SettingsKey::Use::Save);
    EXPECT_TRUE(key.IsOpen() && key.WriteDword("Mono", 1) && key.WriteString("TitleOutput", "%title%"));
    EXPECT_FALSE(FileExists(store)) << "nothing before the commit";
    EXPECT_TRUE(!commit || key.Commit());
  }
  SettingsKey key(kPath, SettingsKey::Use::Load);
  uint32_t mono = 0, untouched = 7;
  std::string title, text = "kept";
  EXPECT_TRUE(key.IsOpen() && key.ReadDword("Mono", &mono) && key.ReadString("TitleOutput", &title));
  EXPECT_EQ("1 %title%", std::to_string(mono) + " " + title);
  EXPECT_FALSE(key.ReadDword("TitleOutput", &untouched) || key.ReadDword("LoBit", &untouched) || key.ReadString("Mono", &text));
  EXPECT_EQ("7 kept", std::to_string(untouched) + " " + text) << "another type or a missing value changes nothing";
}

TEST(PlayerSettings, FirstStartRoundTripsMarkersAndOtherProgramsKeys) {
  TempDir dir;
  const std::string store = dir.file("registry.reg");
  EnvGuard env("ZSF_REGISTRY", store.c_str());
  PlayerSettings s;
  EXPECT_EQ(kDefaults, Describe(s));
  EXPECT_EQ(kDefaults, Describe(TheSettings)) << "the process-wide record, untouched by these tests";
  s.Mono = 1;  // whatever the record held, a load starts from the defaults
  ASSERT_EQ(0u, s.Load());
  EXPECT_EQ(kDefaults, Describe(s));
  EXPECT_EQ(kHeader + kOurKey + "@=dword:0000029a\n\"DisableSEcho\"=dword:00000000\n\"LoBit\"=dword:00000000\n"
            "\"Mono\"=dword:00000000\n\"LoadLen\"=dword:00000000\n\"TitleOutput\"=\"%title% (%artist%)\"\n", Text(store));
  s.DisableSEcho = s.Mono = s.LoBit = s.KeepSamples = 1;  // KeepSamples is never stored
  std::strcpy(s.TitleOutput, "%artist% \\ \"%title%\" [%game%]");
  ASSERT_EQ(0u, s.Save());
  struct stat before, after, unchanged;
  ASSERT_EQ(0, stat(store.c_str(), &before));
  s.LoadLen = 1;
  ASSERT_EQ(0u, s.Save());
  ASSERT_EQ(0, stat(store.c_str(), &after));
  EXPECT_NE(before.st_ino, after.st_ino) << "a save replaces the store whole, never writes into it";
  ASSERT_EQ(0u, s.Save());
  ASSERT_EQ(0, stat(store.c_str(), &unchanged));
  EXPECT_EQ(after.st_ino, unchanged.st_ino) << "settings saved unchanged leave the store alone";
  EXPECT_NE(std::string::npos, Text(store).find("\"TitleOutput\"=\"%artist% \\\\ \\\"%title%\\\" [%game%]\""));
  EXPECT_EQ(1u, std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()))
      << "no temporary files left";
  PlayerSettings t;
  ASSERT_EQ(0u, t.Load());
  EXPECT_EQ("11110 %artist% \\ \"%title%\" [%game%]", Describe(t));
  s.Reset();
  EXPECT_EQ(kDefaults, Describe(s));
  struct Case {
    std::string values, described;
  };
  std::string longTitle;
  for (int i = 0; i < 15; ++i) longTitle += "%title%-";  // 120 characters, cut to 99
  // A foreign marker: the load overwrites everything with the defaults.
  WriteFile(store, kHeader + kOurKey + "@=dword:00000001\n\"DisableSEcho\"=dword:00000001\n\"TitleOutput\"=\"theirs\"\n");
  ASSERT_EQ(0u, t.Load());
  EXPECT_EQ(kDefaults, Describe(t));
  EXPECT_EQ(kHeader + kOurKey + "@=dword:0000029a\n\"DisableSEcho\"=dword:00000000\n\"TitleOutput\"=\"%title% (%artist%)\"\n"
            "\"LoBit\"=dword:00000000\n\"Mono\"=dword:00000000\n\"LoadLen\"=dword:00000000\n", Text(store));
  // A missing value keeps its default; an empty template stays empty; a long one is cut.
  for (const Case& c : {Case{"@=dword:0000029a\n\"Mono\"=dword:00000001\n", "00100 %title% (%artist%)"},
                        Case{"@=dword:0000029a\n\"TitleOutput\"=\"\"\n", "00000 "},
                        Case{"@=dword:0000029a\n\"TitleOutput\"=\"" + longTitle + "\"\n", "00000 " + longTitle.substr(0, 99)}}) {
    WriteFile(store, kHeader + kOurKey + c.values);
    ASSERT_EQ(0u, t.Load());
    EXPECT_EQ(c.described, Describe(t)) << c.values;
  }
  // Other programs' keys and values, comments and raw values survive a save.
  const std::string other = "; kept by hand\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Path\"=\"C:\\\\Music\\\\\"\n"
                            "\"Blob\"=hex:01,02,03,\\\n  04,05\n\n";
  WriteFile(store, kHeader + other + kOurKey + "@=dword:0000029a\n\"Mono\"=dword:00000001\n\"Volume\"=dword:00000050\n"
                   "\"List\"=hex(7):41,00,00,00\n");
  ASSERT_EQ(0u, t.Load());
  t.LoBit = 1;
  ASSERT_EQ(0u, t.Save());
  for (const std::string& part : {other, std::string("\"Volume\"=dword:00000050\n"), std::string("\"List\"=hex(7):41,00,00,00\n"),
                                  std::string("\"LoBit\"=dword:00000001\n"), std::string("\"Mono\"=dword:00000001\n")})
    EXPECT_NE(std::string::npos, Text(store).find(part)) << part;
}

TEST(PlayerSettings, UnreadableUnwritableAndDefaultPlaces) {
  TempDir dir;
  const std::string store = dir.file("registry.reg");
  {
    EnvGuard env("ZSF_REGISTRY", store.c_str());
    const std::string garbage = "this is not a registry export\n\"x\"=dword:1\n";
    WriteFile(store, garbage);
    PlayerSettings s;
    s.Mono = 1;
    EXPECT_EQ(1u, s.Load());
    EXPECT_EQ(kDefaults, Describe(s));
    EXPECT_EQ(garbage, Text(store)) << "a load never writes over it";
    s.LoadLen = 1;
    ASSERT_EQ(0u, s.Save());
    EXPECT_EQ(garbage, Text(store + ".bad"));
    ASSERT_EQ(0u, s.Load());
    EXPECT_EQ(1u, s.LoadLen);
    WriteFile(store, std::string("[broken"));  // a second one does not replace the first set aside
    EXPECT_EQ(1u, s.Load());
    ASSERT_EQ(0u, s.Save());
    EXPECT_EQ(garbage, Text(store + ".bad"));
    EXPECT_EQ("[broken", Text(store + ".bad.2"));
  }
  WriteFile(dir.file("plain"), std::string("x"));
  {
    EnvGuard env("ZSF_REGISTRY", dir.file("plain/registry.reg").c_str());  // can never be created
    PlayerSettings s;
    EXPECT_EQ(0u, s.Load()) << "nothing stored yet: the defaults are the settings";
    EXPECT_EQ(kDefaults, Describe(s));
    EXPECT_EQ(1u, s.Save());
  }
  EnvGuard noExplicit("ZSF_REGISTRY", nullptr);
  for (bool xdg : {true, false}) {
    EnvGuard config("XDG_CONFIG_HOME", xdg ? dir.file("xdg").c_str() : nullptr);
    EnvGuard home("HOME", dir.file("home").c_str());
    const std::string expected = xdg ? dir.file("xdg/zsfplay/registry.reg") : dir.file("home/.config/zsfplay/registry.reg");
    EXPECT_EQ(expected, RegistryStorePath());
    PlayerSettings s;
    ASSERT_EQ(0u, s.Load());
    EXPECT_TRUE(FileExists(expected)) << "folders created";
  }
}
