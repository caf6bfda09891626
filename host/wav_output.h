// An output that writes the plug-in's PCM to a WAV file as fast as it is rendered.
// The file is written under a temporary name beside the target and renamed over it
// at Close, once the header holds the real format and sizes, so an interrupted run
// never leaves a truncated WAV under the wanted name.
#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "host/output_device.h"
#include "host/wav_header.h"
#include "platform/file_replace.h"

class WavOutput : public OutputDevice {
 public:
  explicit WavOutput(std::string path = {});
  ~WavOutput() override;  // discards a file still open

  // The file the next Open writes; clears the last file's failure.
  void SetPath(std::string path);
  const std::string& path() const { return path_; }
  // Whether the last file was completed; the reason when it was not.
  bool ok() const;
  std::string error() const;
  uint64_t dataBytes() const;
  bool IsOpen() const;
  // With deferred renaming, Close completes the file under its temporary name and
  // only Commit puts it under the wanted name: a player knows only after Close
  // whether the song really played, and a failed one must not replace an older file.
  void SetDeferRename(bool defer);
  // Renames a completed file to the wanted name; false (see error()) if it cannot.
  bool Commit();
  // Removes a file still being written, or completed but not committed.
  void Discard();

  int Open(int sampleRate, int channels, int bits, int bufferMs, int prebufferMs) override;
  void Close() override;
  int Write(const char* buf, int len) override;
  int CanWrite() override;
  int IsPlaying() override { return 0; }
  int Pause(int pause) override;
  void Flush(int ms) override;
  int GetOutputTime() override;
  int GetWrittenTime() override;

 private:
  void FailLocked(const std::string& what);
  void DiscardLocked();
  bool CommitLocked();

  mutable std::mutex mutex_;
  std::string path_;
  FileReplacement replacement_{};
  FILE* file_ = nullptr;  // the replacement's stream while it is written
  PcmFormat format_;
  uint64_t dataBytes_ = 0;
  int64_t bytesSinceFlush_ = 0;
  int64_t bytesSinceWriteback_ = 0;  // written since the disk was last asked to start
  int flushBaseMs_ = 0;
  int paused_ = 0;
  bool ok_ = true;
  bool deferRename_ = false;
  bool pending_ = false;  // completed, waiting for Commit
  std::string error_;
};
