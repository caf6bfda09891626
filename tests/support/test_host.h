// An in-process stand-in for the media player, for tests that drive the plug-in
// through its module record: it loads the built plug-in with dlopen (a fresh copy,
// so every test starts with the library's state as loaded), fills the player's side
// of the record with the recording output and hooks (HostRecord), and gives it a
// main window that counts the end-of-song message. Settings live in a store file in
// the host's own temporary folder. One TestHost may exist at a time.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "support/env_guard.h"
#include "support/files.h"
#include "support/host_record.h"

namespace zsftest {

class TestHost : public HostRecord {
 public:
  struct Options {
    // The settings store for this test; empty: a file in the host's temporary folder.
    std::string registryPath;
  };

  explicit TestHost(const Options& options = Options{});
  // Stops playback and calls Quit if the test did not, then unloads the library.
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  bool ok() const { return record_ != nullptr; }
  const std::string& error() const { return error_; }
  In_Module* record() const { return record_; }
  const std::string& registryPath() const { return registryPath_; }

  // Record slots, remembered so that the destructor can finish what was begun.
  void Init();
  void Quit();
  int Play(const std::string& name);
  void Stop();

  // What the plug-in writes for NAME from start to end, as a player that asks for
  // SEEK_MS (>= 0) as soon as Play returns: the output offers no room until the seek
  // has been performed. Empty when Play fails.
  std::vector<uint8_t> PlayToEnd(const std::string& name, int seekMs = -1);

 private:
  std::unique_ptr<TempDir> dir_ = std::make_unique<TempDir>();
  std::string registryPath_, error_;
  std::unique_ptr<EnvGuard> registryEnv_;  // restores the caller's store when the host goes
  void* library_ = nullptr;
  In_Module* record_ = nullptr;
  bool owner_ = false, initialised_ = false, playing_ = false;
};

}  // namespace zsftest
