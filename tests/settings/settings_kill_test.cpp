// No data loss in the settings store: a child process saves the store in a loop,
// alternating between two versions, and is killed (SIGKILL) at random moments. After
// every kill the store file must be one of the two versions byte for byte, and load.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "support/files.h"

namespace {

using zsftest::TempDir;

const char kKey[] = "Software\\Quorvath Entertainment\\ZSFPlay";

// Version V of the store: values big enough that a write spans several blocks, so a
// kill often lands inside one.
void Fill(RegistryStore* store, int v) {
  RegistryKey* key = store->CreateKey(kKey);
  key->WriteDword("Version", static_cast<uint32_t>(v));
  for (int i = 0; i < 64; ++i)
    key->WriteString(("Text" + std::to_string(i)).c_str(), std::string(1024, static_cast<char>('a' + v)));
}

std::vector<uint8_t> VersionBytes(const std::string& path, int v) {
  RegistryStore store(path);
  Fill(&store, v);
  EXPECT_TRUE(store.Save());
  return zsftest::ReadFile(path);
}

TEST(SettingsStoreKill, StoreIsAlwaysTheOldOrTheNewVersion) {
  TempDir dir;
  const std::vector<uint8_t> versions[2] = {VersionBytes(dir.file("v0.reg"), 0),
                                            VersionBytes(dir.file("v1.reg"), 1)};
  ASSERT_NE(versions[0], versions[1]);
  const std::string path = dir.file("registry.reg");
  zsftest::WriteFile(path, versions[0]);

  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> delayUs(0, 30000);
  int killedWhileRunning = 0;
  for (int round = 0; round < 40; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Bounded, so a parent that fails to kill never leaves it running for long.
      for (int i = 0; i < 2000; ++i) {
        RegistryStore store(path);
        store.Load();
        Fill(&store, (round + i + 1) % 2);
        if (!store.Save()) _exit(2);
      }
      _exit(0);
    }
    usleep(static_cast<useconds_t>(delayUs(random)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFSIGNALED(status)) ++killedWhileRunning;
    else
      ASSERT_EQ(WEXITSTATUS(status), 0) << "a save failed in round " << round;

    const std::vector<uint8_t> now = zsftest::ReadFile(path);
    ASSERT_TRUE(now == versions[0] || now == versions[1]) << "torn store after round " << round;
    RegistryStore reread(path);
    reread.Load();
    EXPECT_TRUE(reread.Readable());
  }
  EXPECT_GT(killedWhileRunning, 30);
}

}  // namespace
