#include "host/audio_output.h"

#include <ao/ao.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Buffered audio the plug-in may run ahead of the device.
constexpr int kBufferMs = 500;
// Room beyond the nominal size for a block an effect hook lengthened.
constexpr size_t kSlackBytes = 64 * 1024;
// Audio handed to the device per call: short, so that Flush and Pause act quickly.
constexpr int kChunkMs = 20;

void InitialiseLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { ao_initialize(); });
}

std::string DescribeAoError(int error) {
  switch (error) {
    case AO_ENODRIVER: return "no usable audio driver";
    case AO_ENOTLIVE: return "the default driver is not a live output";
    case AO_EBADOPTION: return "the audio driver refused an option";
    case AO_EOPENDEVICE: return "the sound device cannot be opened";
    case AO_EBADFORMAT: return "the sound device refuses the format";
    default: return "the audio driver failed";
  }
}

// The device always gets signed 16-bit samples: the plug-in's 8-bit samples are
// unsigned, which not every driver understands.
ao_sample_format DeviceFormat(int rate, int channels) {
  ao_sample_format f{};
  f.bits = 16;
  f.rate = rate;
  f.channels = channels;
  f.byte_format = AO_FMT_LITTLE;
  f.matrix = const_cast<char*>(channels == 2 ? "L,R" : "M");
  return f;
}

ao_device* OpenDevice(const std::string& name, int rate, int channels, std::string* why) {
  InitialiseLibrary();
  int driver = name.empty() ? ao_default_driver_id() : ao_driver_id(name.c_str());
  if (driver < 0) {
    *why = name.empty() ? "no default audio driver" : "no audio driver " + name;
    return nullptr;
  }
  ao_sample_format f = DeviceFormat(rate, channels);
  ao_device* device = ao_open_live(driver, &f, nullptr);
  if (!device) *why = DescribeAoError(errno);
  return device;
}

}  // namespace

AudioOutput::AudioOutput(std::string driver) : driver_(std::move(driver)) {}

AudioOutput::~AudioOutput() { Close(); }

bool AudioOutput::Probe(std::string* why, const std::string& driver) {
  // The sound libraries report a missing card at length on standard error; the
  // caller says it in one line, so their report is silenced for the probe.
  std::fflush(stderr);
  int saved = dup(STDERR_FILENO);
  int null = open("/dev/null", O_WRONLY);
  if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
  ao_device* device = OpenDevice(driver, 44100, 2, why);
  if (saved >= 0) {
    dup2(saved, STDERR_FILENO);
    close(saved);
  }
  if (null >= 0) close(null);
  if (!device) return false;
  ao_close(device);
  return true;
}

std::string AudioOutput::error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void AudioOutput::ClearError() {
  std::lock_guard<std::mutex> lock(mutex_);
  error_.clear();
}

bool AudioOutput::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return device_ != nullptr;
}

int AudioOutput::Open(int sampleRate, int channels, int bits, int bufferMs, int prebufferMs) {
  Close();
  std::lock_guard<std::mutex> lock(mutex_);
  error_.clear();
  format_ = PcmFormat{sampleRate, channels, bits};
  if (!format_.Valid()) {
    error_ = "unsupported format";
    return -1;
  }
  device_ = OpenDevice(driver_, sampleRate, channels, &error_);
  if (!device_) return -1;
  size_t frame = size_t(format_.FrameBytes());
  nominal_ = size_t(format_.BytesPerSecond() * kBufferMs / 1000) / frame * frame;
  ring_.assign(nominal_ + kSlackBytes, 0);
  readPos_ = used_ = 0;
  stop_ = paused_ = inDevice_ = false;
  flushBaseMs_ = 0;
  playedBytes_ = writtenBytes_ = 0;
  thread_ = std::thread(&AudioOutput::Run, this);
  return kBufferMs;
}

void AudioOutput::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return;
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  ao_close(device_);
  device_ = nullptr;
  used_ = 0;
}

int AudioOutput::Write(const char* buf, int len) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!device_ || len < 0 || size_t(len) > ring_.size() - used_) return 1;
  size_t writePos = (readPos_ + used_) % ring_.size();
  size_t first = std::min(size_t(len), ring_.size() - writePos);
  std::memcpy(ring_.data() + writePos, buf, first);
  std::memcpy(ring_.data(), buf + first, size_t(len) - first);
  used_ += size_t(len);
  writtenBytes_ += len;
  wake_.notify_all();
  return 0;
}

int AudioOutput::CanWrite() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!device_ || used_ >= nominal_) return 0;
  return int(nominal_ - used_);
}

int AudioOutput::IsPlaying() {
  std::lock_guard<std::mutex> lock(mutex_);
  // A stray partial frame can never be played, so it does not count.
  return device_ && (used_ >= size_t(format_.FrameBytes()) || inDevice_) ? 1 : 0;
}

int AudioOutput::Pause(int pause) {
  std::lock_guard<std::mutex> lock(mutex_);
  int was = paused_ ? 1 : 0;
  paused_ = pause != 0;
  wake_.notify_all();
  return was;
}

void AudioOutput::Flush(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  readPos_ = used_ = 0;
  ++generation_;
  flushBaseMs_ = ms;
  playedBytes_ = writtenBytes_ = 0;
}

int AudioOutput::GetOutputTime() {
  std::lock_guard<std::mutex> lock(mutex_);
  return flushBaseMs_ + int(format_.MsOf(playedBytes_));
}

int AudioOutput::GetWrittenTime() {
  std::lock_guard<std::mutex> lock(mutex_);
  return flushBaseMs_ + int(format_.MsOf(writtenBytes_));
}

size_t AudioOutput::TakeLocked(char* out, size_t max) {
  size_t n = std::min(used_, max);
  size_t first = std::min(n, ring_.size() - readPos_);
  std::memcpy(out, ring_.data() + readPos_, first);
  std::memcpy(out + first, ring_.data(), n - first);
  readPos_ = (readPos_ + n) % ring_.size();
  used_ -= n;
  return n;
}

void AudioOutput::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  size_t frame = size_t(format_.FrameBytes());
  size_t chunkMax = size_t(format_.BytesPerSecond() * kChunkMs / 1000) / frame * frame;
  std::vector<char> chunk(chunkMax);
  std::vector<char> wide(format_.bits == 8 ? chunkMax * 2 : 0);
  // The null driver does not wait for a card; keep its pace to the clock instead.
  int nullDriver = ao_driver_id("null");
  bool paced = nullDriver >= 0 && ao_driver_info(nullDriver) &&
               (driver_ == "null" || (driver_.empty() && ao_default_driver_id() == nullDriver));
  auto due = std::chrono::steady_clock::now();
  while (true) {
    wake_.wait(lock, [&] { return stop_ || (!paused_ && used_ >= frame); });
    if (stop_) break;
    size_t n = TakeLocked(chunk.data(), std::min(chunkMax, used_ / frame * frame));
    uint64_t generation = generation_;
    inDevice_ = true;
    ao_device* device = device_;
    lock.unlock();
    if (format_.bits == 8) {
      // Unsigned 8-bit to signed 16-bit little-endian: (s - 128) << 8.
      for (size_t i = 0; i < n; ++i) {
        wide[2 * i] = 0;
        wide[2 * i + 1] = char(uint8_t(chunk[i]) ^ 0x80);
      }
      ao_play(device, wide.data(), uint32_t(n * 2));
    } else {
      ao_play(device, chunk.data(), uint32_t(n));
    }
    if (paced) {
      auto now = std::chrono::steady_clock::now();
      if (due < now) due = now;
      due += std::chrono::microseconds(int64_t(n) * 1000000 / format_.BytesPerSecond());
      std::this_thread::sleep_until(due);
    }
    lock.lock();
    inDevice_ = false;
    if (generation == generation_) playedBytes_ += int64_t(n);
  }
}
