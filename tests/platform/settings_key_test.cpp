// SettingsKey over the registry-shaped text file: what is written reaches the file
// only at Commit, reads check types, and an unreadable store is loaded from by no one.
#include "platform/settings_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "settings/env_guard.h"
#include "support/files.h"

namespace {

using zsftest::TempDir;

const char* const kPath = "Software\\Quorvath Entertainment\\ZSFPlay";

class SettingsKeyFile : public ::testing::Test {
 protected:
  TempDir dir;
  std::string store = dir.file("registry.reg");
  EnvGuard env{"ZSF_REGISTRY", store.c_str()};
};

TEST_F(SettingsKeyFile, WritesReachTheStoreAtCommitAndReadBackWithTheirTypes) {
  {
    SettingsKey key(kPath, SettingsKey::Use::Save);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_TRUE(key.WriteDword("", 666));
    EXPECT_TRUE(key.WriteDword("Mono", 1));
    EXPECT_TRUE(key.WriteString("TitleOutput", "%title%"));
    EXPECT_FALSE(zsftest::FileExists(store));  // nothing until the commit
    EXPECT_TRUE(key.Commit());
  }
  ASSERT_TRUE(zsftest::FileExists(store));

  SettingsKey key(kPath, SettingsKey::Use::Load);
  ASSERT_TRUE(key.IsOpen());
  uint32_t marker = 0, mono = 0;
  std::string title;
  EXPECT_TRUE(key.ReadDword("", &marker));
  EXPECT_EQ(marker, 666u);
  EXPECT_TRUE(key.ReadDword("Mono", &mono));
  EXPECT_EQ(mono, 1u);
  EXPECT_TRUE(key.ReadString("TitleOutput", &title));
  EXPECT_EQ(title, "%title%");

  // Another type or a missing value leaves the caller's variable alone.
  uint32_t untouched = 7;
  std::string text = "kept";
  EXPECT_FALSE(key.ReadDword("TitleOutput", &untouched));
  EXPECT_FALSE(key.ReadDword("LoBit", &untouched));
  EXPECT_FALSE(key.ReadString("Mono", &text));
  EXPECT_EQ(untouched, 7u);
  EXPECT_EQ(text, "kept");
}

TEST_F(SettingsKeyFile, KeyWithoutCommitLeavesTheStoreAsItWas) {
  {
    SettingsKey key(kPath, SettingsKey::Use::Save);
    ASSERT_TRUE(key.IsOpen());
    key.WriteDword("Mono", 1);
  }
  EXPECT_FALSE(zsftest::FileExists(store));
}

TEST_F(SettingsKeyFile, UnreadableStoreIsNotLoadedFromButASaveMayReplaceIt) {
  const std::string garbage = "not a registry export\n";
  zsftest::WriteFile(store, garbage);
  {
    SettingsKey key(kPath, SettingsKey::Use::Load);
    EXPECT_FALSE(key.IsOpen());
    uint32_t value = 5;
    EXPECT_FALSE(key.ReadDword("Mono", &value));
    EXPECT_FALSE(key.WriteDword("Mono", 1));
    EXPECT_FALSE(key.Commit());
  }
  std::vector<uint8_t> after = zsftest::ReadFile(store);
  EXPECT_EQ(std::string(after.begin(), after.end()), garbage);

  SettingsKey key(kPath, SettingsKey::Use::Save);
  ASSERT_TRUE(key.IsOpen());
  EXPECT_TRUE(key.WriteDword("Mono", 1));
  EXPECT_TRUE(key.Commit());
  std::vector<uint8_t> aside = zsftest::ReadFile(store + ".bad");
  EXPECT_EQ(std::string(aside.begin(), aside.end()), garbage);
}

TEST(SettingsKeyPlace, StoreThatCannotBeWrittenFailsTheCommit) {
  TempDir dir;
  zsftest::WriteFile(dir.file("plain"), "x");
  EnvGuard env("ZSF_REGISTRY", dir.file("plain/registry.reg").c_str());
  SettingsKey key(kPath, SettingsKey::Use::Save);
  ASSERT_TRUE(key.IsOpen());
  EXPECT_TRUE(key.WriteDword("Mono", 1));
  EXPECT_FALSE(key.Commit());
}

}  // namespace
