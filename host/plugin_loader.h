// Loads the plug-in library and fills the player's side of its module record, the
// way the media player does: a main window that receives the end-of-song message,
// the library handle, visualisation functions that take what they are given, effect
// hooks that change nothing, and the output module.
#pragma once
#include <condition_variable>
#include <mutex>
#include <string>

#include "plugin/host_api.h"

// The player's main window. The plug-in posts to it from its decode thread, and tells
// it why a Play failed.
struct PlayerWindow : PlatformWindow {
  PlayerWindow();
  // End-of-song messages received so far.
  int EndCount();
  // The reason the plug-in gave for the last failed Play, or empty; then forgets it.
  std::string TakeRefusal();
  // Waits until more than SEEN end messages arrived or TIMEOUT_MS passed; returns
  // whether they did.
  bool WaitForEnd(int seen, int timeoutMs);

 private:
  static void Post(void* window, unsigned message, uintptr_t wparam, intptr_t lparam);
  std::mutex mutex_;
  std::condition_variable arrived_;
  int ends_ = 0;
  std::string refusal_;
};

class LoadedPlugin {
 public:
  LoadedPlugin() = default;
  ~LoadedPlugin();
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  // Opens the library at PATH and takes its record; ERROR says what failed.
  bool Load(const std::string& path, std::string* error);
  In_Module* record() const { return record_; }
  PlayerWindow& window() { return window_; }
  void SetOutput(Out_Module* output);

 private:
  void* library_ = nullptr;
  In_Module* record_ = nullptr;
  PlayerWindow window_;
};

// Where a program finds in_zsf.so without being told: beside the running executable
// (a build folder), then in INSTALLED_DIR relative to that folder (an installed or
// staged prefix). The first that exists, or empty with LOOKED naming both places.
std::string FindPlugin(const std::string& installedDir, std::string* looked);
