// An output to the sound device through libao's default live driver. Written audio
// goes into a ring buffer of about half a second; a thread of its own hands it to
// the device, so CanWrite, IsPlaying and GetOutputTime describe what is really
// buffered and played.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/output_device.h"

struct ao_device;

class AudioOutput : public OutputDevice {
 public:
  // DRIVER names a libao live driver; empty means the default driver. The "null"
  // driver takes audio at once; this output then plays it in real time itself, so
  // it behaves as a silent sound card (for tests and machines without sound).
  explicit AudioOutput(std::string driver = {});
  ~AudioOutput() override;

  // Whether the driver can be opened at all; WHY says why not.
  static bool Probe(std::string* why, const std::string& driver = {});
  // Why the last Open failed, until ClearError.
  std::string error() const;
  void ClearError();
  bool IsOpen() const;

  int Open(int sampleRate, int channels, int bits, int bufferMs, int prebufferMs) override;
  void Close() override;
  int Write(const char* buf, int len) override;
  int CanWrite() override;
  int IsPlaying() override;
  int Pause(int pause) override;
  void Flush(int ms) override;
  int GetOutputTime() override;
  int GetWrittenTime() override;

 private:
  void Run();
  size_t TakeLocked(char* out, size_t max);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  std::string driver_;
  ao_device* device_ = nullptr;
  PcmFormat format_;
  std::string error_;

  // Ring buffer: the nominal size is what CanWrite offers; the slack beyond it takes
  // a block an effect hook lengthened without refusing it.
  std::vector<char> ring_;
  size_t nominal_ = 0;
  size_t readPos_ = 0;
  size_t used_ = 0;

  bool stop_ = false;
  bool paused_ = false;
  bool inDevice_ = false;     // the thread is handing a chunk to the device
  uint64_t generation_ = 0;   // bumped by Flush: a chunk in flight no longer counts
  int flushBaseMs_ = 0;
  int64_t playedBytes_ = 0;   // since the last Flush
  int64_t writtenBytes_ = 0;  // since the last Flush
};
