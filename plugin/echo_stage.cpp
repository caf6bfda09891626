#include "plugin/echo_stage.h"

#include <cstdlib>
#include <cstring>

#include "container/byte_stream.h"
#include "ui/tags.h"

namespace {
constexpr int32_t kSampleMax = 8388607;   // the mixer's 24-bit full scale
constexpr int32_t kSampleMin = -8388608;
constexpr int kEchoDelayBlocks = 4;
}  // namespace

EchoStage& SEcho() {
  static EchoStage stage;  // built empty at load, released at process exit
  return stage;
}

void EchoStage::Release() {
  std::free(work_);
  work_ = nullptr;
  workSamples_ = 0;
  for (auto& h : history_) {
    std::free(h);
    h = nullptr;
  }
}

uint32_t EchoStage::TakeSettingsFromStream(ByteStream* stream) {
  if (!stream) return 1;
  TagList tags;
  ReadTags(stream, &tags);
  EchoLevel = 0.0;  // no tag influences the stage
  FreeTagList(&tags);
  return 0;
}

uint32_t EchoStage::TakeSettingsFromFile(const char* name) {
  StreamOwner stream(StreamOpenFile(name));
  return TakeSettingsFromStream(stream.get());
}

void EchoStage::Prepare(int width, int channels, int rate) {
  if (width != 32) return;
  if (EchoLevel != 0.0) {
    Release();
    workSamples_ = static_cast<long>(rate) * 2 * channels;
    work_ = static_cast<int32_t*>(std::malloc(static_cast<size_t>(workSamples_) * 4));
    bool ok = work_ != nullptr;
    for (auto& h : history_) {
      h = static_cast<int32_t*>(std::calloc(1, kHistoryBytes));
      ok = ok && h != nullptr;
    }
    // Without every buffer the stage stays a pass-through.
    if (!ok) Release();
    dryGain_ = 1.0;
    outputGain_ = 0.7;
    echoGain_ = EchoLevel;
  }
  blockCounter_ = 0;
}

void EchoStage::Hook(void* /*data*/, int32_t** samples, int channels, long frames) {
  // The engine already hands the channels interleaved in the first array.
  if (!samples || !samples[0]) return;
  SEcho().Process(samples[0], channels, frames, 32, 44100);
}

void EchoStage::Process(int32_t* interleaved, int channels, long frames, int width, int rate) {
  if (width != 32 || !work_ || frames <= 0 || channels <= 0) return;
  long count = frames * channels;
  const long historySamples = kHistoryBytes / 4;
  if (count > workSamples_ || count > historySamples) return;
  std::memcpy(work_, interleaved, static_cast<size_t>(count) * 4);
  if (EchoLevel != 0.0) {
    // Rotate: history_[0] holds the block just processed, history_[4] the one four
    // blocks earlier, whose samples feed the echo.
    if (blockCounter_ > 0) {
      int32_t* oldest = history_[kHistoryBlocks - 1];
      std::memmove(&history_[1], &history_[0], sizeof(history_[0]) * (kHistoryBlocks - 1));
      history_[0] = oldest;
    }
    const int32_t* delayed = history_[kEchoDelayBlocks];
    for (long i = 0; i < count; ++i) {
      double v = (dryGain_ * work_[i] + echoGain_ * delayed[i]) * outputGain_;
      history_[0][i] = work_[i];
      work_[i] = v > kSampleMax ? kSampleMax : v < kSampleMin ? kSampleMin : static_cast<int32_t>(v);
    }
    ++blockCounter_;
  }
  for (long i = 0; i < count; ++i) {
    int32_t v = work_[i];
    interleaved[i] = v > kSampleMax ? kSampleMax : v < kSampleMin ? kSampleMin : v;
  }
  (void)rate;
}
