#include "host/wav_output.h"

#include <cerrno>
#include <cstring>

#include "container/byte_stream.h"

namespace {

// Free space reported to the plug-in: room for many blocks, so it never waits.
constexpr int kAlwaysRoom = 1 << 20;
constexpr size_t kFileBufferBytes = 256 << 10;
// How much is written before the disk is asked to start on it: a whole song's WAV
// then reaches the disk while the song is still rendering, not all at the finish.
constexpr int64_t kWritebackBytes = 4 << 20;

}  // namespace

WavOutput::WavOutput(std::string path) : path_(std::move(path)) {}

WavOutput::~WavOutput() {
  std::lock_guard<std::mutex> lock(mutex_);
  DiscardLocked();
}

void WavOutput::SetPath(std::string path) {
  std::lock_guard<std::mutex> lock(mutex_);
  path_ = std::move(path);
  // A new file: an earlier one's failure says nothing about it.
  ok_ = true;
  error_.clear();
}

bool WavOutput::ok() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ok_;
}

std::string WavOutput::error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

uint64_t WavOutput::dataBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dataBytes_;
}

bool WavOutput::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_ != nullptr;
}

void WavOutput::Discard() {
  std::lock_guard<std::mutex> lock(mutex_);
  DiscardLocked();
}

void WavOutput::SetDeferRename(bool defer) {
  std::lock_guard<std::mutex> lock(mutex_);
  deferRename_ = defer;
}

bool WavOutput::Commit() {
  std::lock_guard<std::mutex> lock(mutex_);
  return CommitLocked();
}

bool WavOutput::CommitLocked() {
  if (!pending_) return ok_;
  pending_ = false;
  if (CommitFileReplacement(&replacement_) != 0) {
    FailLocked(std::string("cannot rename the finished file: ") + std::strerror(replacement_.error));
    return false;
  }
  return true;
}

void WavOutput::DiscardLocked() {
  AbandonFileReplacement(&replacement_);
  file_ = nullptr;
  pending_ = false;
}

void WavOutput::FailLocked(const std::string& what) {
  if (ok_) error_ = path_ + ": " + what;
  ok_ = false;
}

int WavOutput::Open(int sampleRate, int channels, int bits, int bufferMs, int prebufferMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  DiscardLocked();
  ok_ = true;
  error_.clear();
  dataBytes_ = 0;
  bytesSinceWriteback_ = 0;
  bytesSinceFlush_ = 0;
  flushBaseMs_ = 0;
  paused_ = 0;
  format_ = PcmFormat{sampleRate, channels, bits};
  if (!format_.Valid()) {
    FailLocked("unsupported format (" + std::to_string(sampleRate) + " Hz, " +
               std::to_string(channels) + " channels, " + std::to_string(bits) + " bits)");
    return -1;
  }
  if (path_.empty()) {
    FailLocked("no output file named");
    return -1;
  }
  if (BeginFileReplacement(path_.c_str(), &replacement_, ReplaceMode::kNewOrExisting) != 0) {
    FailLocked(std::string("cannot create: ") + std::strerror(replacement_.error));
    return -1;
  }
  file_ = StreamFile(replacement_.stream);
  // The plug-in writes a block of a few KiB at a time; a larger buffer spares a
  // system call for each.
  std::setvbuf(file_, nullptr, _IOFBF, kFileBufferBytes);
  // A placeholder until Close knows the sizes.
  uint8_t header[wav::kHeaderBytes];
  BuildWavHeader(format_, 0, header);
  if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) {
    FailLocked(std::string("write failed: ") + std::strerror(errno));
    DiscardLocked();
    return -1;
  }
  return 0;
}

int WavOutput::Write(const char* buf, int len) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_ || !ok_ || len < 0) return 1;
  if (dataBytes_ + uint64_t(len) > wav::kMaxDataBytes) {
    FailLocked("the song is too long for a WAV file");
    return 1;
  }
  if (len > 0 && std::fwrite(buf, 1, size_t(len), file_) != size_t(len)) {
    FailLocked(std::string("write failed: ") + std::strerror(errno));
    return 1;
  }
  dataBytes_ += uint64_t(len);
  bytesSinceFlush_ += len;
  bytesSinceWriteback_ += len;
  if (bytesSinceWriteback_ >= kWritebackBytes) {
    StartFileWriteback(&replacement_);
    bytesSinceWriteback_ = 0;
  }
  return 0;
}

void WavOutput::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return;
  if (ok_ && (dataBytes_ & 1) && std::fputc(0, file_) == EOF) {
    FailLocked(std::string("write failed: ") + std::strerror(errno));
  }
  uint8_t header[wav::kHeaderBytes];
  BuildWavHeader(format_, uint32_t(dataBytes_), header);
  if (ok_ && (std::fseek(file_, 0, SEEK_SET) != 0 ||
              std::fwrite(header, 1, sizeof header, file_) != sizeof header ||
              std::fflush(file_) != 0)) {
    FailLocked(std::string("write failed: ") + std::strerror(errno));
  }
  file_ = nullptr;
  if (!ok_) {
    AbandonFileReplacement(&replacement_);
  } else if (FinishFileReplacement(&replacement_) != 0) {
    FailLocked(std::string("write failed: ") + std::strerror(replacement_.error));
  } else {
    pending_ = true;
    if (!deferRename_) CommitLocked();
  }
}

int WavOutput::CanWrite() {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_ ? kAlwaysRoom : 0;
}

int WavOutput::Pause(int pause) {
  std::lock_guard<std::mutex> lock(mutex_);
  int was = paused_;
  paused_ = pause ? 1 : 0;
  return was;
}

void WavOutput::Flush(int ms) {
  // What is in the file has been "played"; only the clock restarts.
  std::lock_guard<std::mutex> lock(mutex_);
  flushBaseMs_ = ms;
  bytesSinceFlush_ = 0;
}

int WavOutput::GetOutputTime() {
  std::lock_guard<std::mutex> lock(mutex_);
  return flushBaseMs_ + int(format_.MsOf(bytesSinceFlush_));
}

int WavOutput::GetWrittenTime() { return GetOutputTime(); }
