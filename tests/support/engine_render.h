// The engine driven directly: modules that unload themselves, rendering whole songs
// or stretches of them, how alike two renders sound, and the reference PCM the
// plug-in must reproduce for a song.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "support/song_maker.h"
#include "tools/synth/module_synth.h"

namespace zsftest {

constexpr float kDelta = 65536.0f / 44100.0f;
constexpr int32_t kSecond = 65536;

struct LoadedModule {
  DUH* duh = nullptr;
  LoadedModule(uint32_t kind, const std::vector<uint8_t>& bytes)
      : duh(EngineReadModule(kind, bytes.data(), static_cast<uint32_t>(bytes.size()))) {}
  ~LoadedModule() { EngineUnload(duh); }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  int32_t length() const { return EngineGetLength(duh); }
};

struct SongRenderer {
  DUH_SIGRENDERER* sr = nullptr;
  SongRenderer(DUH* duh, int channels, int32_t position, bool configure = true)
      : sr(EngineStartRenderer(duh, channels, position)) {
    if (configure) ConfigureRenderer(sr);
  }
  ~SongRenderer() { EngineEndRenderer(sr); }
  SongRenderer(const SongRenderer&) = delete;
  SongRenderer& operator=(const SongRenderer&) = delete;

  // Up to FRAMES stereo (or mono) 16-bit frames; fewer at the end of the song.
  std::vector<int16_t> Frames(long frames, int channels = 2) {
    std::vector<int16_t> out;
    std::vector<int16_t> block(1024 * 2);
    while (frames > 0) {
      long want = frames < 1024 ? frames : 1024;
      long got = EngineRender(sr, 16, 0, 0.8f, kDelta, want, block.data());
      out.insert(out.end(), block.begin(), block.begin() + got * channels);
      frames -= got;
      if (got < want) break;
    }
    return out;
  }

  // Frames until the song ends, stopping at LIMIT frames.
  long FramesToEnd(long limit) {
    std::vector<int16_t> block(1024 * 2);
    long total = 0;
    while (total < limit) {
      long got = EngineRender(sr, 16, 0, 0.8f, kDelta, 1024, block.data());
      if (got == 0) break;
      total += got;
    }
    return total;
  }
};

// Seconds of engine time to frames at 44100 Hz.
inline long FramesOf(double seconds) { return static_cast<long>(std::lround(seconds * 44100.0)); }

// How far apart two renders of the same music are, by their loudness over time:
// the RMS of 10 ms windows, A shifted by up to 10 ms against B, compared as
// RelativeDifference at the best shift. The engine reaches a seek position by
// stepping in 1/65536 s instead of output frames, so a seek lands a few frames
// from straight playback and the waveforms drift apart slightly; the loudness
// curve of the music does not.
inline std::vector<double> Loudness(const std::vector<int16_t>& pcm, size_t from, size_t windows) {
  const size_t window = 441 * 2;
  std::vector<double> out;
  for (size_t w = 0; w < windows; ++w) {
    double sum = 0;
    for (size_t i = 0; i < window; ++i) {
      size_t at = from + w * window + i;
      double v = at < pcm.size() ? pcm[at] : 0;
      sum += v * v;
    }
    out.push_back(std::sqrt(sum / window));
  }
  return out;
}
inline double LoudnessDifference(const std::vector<int16_t>& a, size_t aFrame,
                                 const std::vector<int16_t>& b) {
  const size_t windows = b.size() / (441 * 2);
  std::vector<double> lb = Loudness(b, 0, windows);
  double best = 1e9;
  for (long shift = -441; shift <= 441; shift += 21) {
    long start = static_cast<long>(aFrame) + shift;
    if (start < 0) continue;
    std::vector<double> la = Loudness(a, static_cast<size_t>(start) * 2, windows);
    double diff = 0, energy = 0;
    for (size_t i = 0; i < windows; ++i) {
      diff += (la[i] - lb[i]) * (la[i] - lb[i]);
      energy += la[i] * la[i];
    }
    double d = energy > 0 ? diff / energy : 1.0;
    if (d < best) best = d;
  }
  return best;
}

// The engine rendered as the decode thread drives it, from whole second START_S:
// every block of up to 1024 frames in order, until the engine gives no more.
struct Reference {
  std::vector<uint8_t> pcm;
  std::vector<long> blockFrames;
  int32_t length = 0;  // 1/65536 s
};

inline Reference RenderModule(uint32_t kind, const std::vector<uint8_t>& image, int channels = 2, int bits = 16,
                              int startSeconds = 0, size_t maxBlocks = SIZE_MAX) {
  Reference ref;
  // The plug-in's Init turns ignore-jump on for the process; so does the reference.
  EngineSetDefaultIgnoreJump(1);
  DUH* module = EngineReadModule(kind, image.data(), static_cast<uint32_t>(image.size()));
  EXPECT_NE(module, nullptr);
  if (!module) return ref;
  ref.length = EngineGetLength(module);
  DUH_SIGRENDERER* r = EngineStartRenderer(module, channels, startSeconds << 16);
  ConfigureRenderer(r);
  const size_t frameBytes = static_cast<size_t>(channels * bits / 8);
  std::vector<uint8_t> block(1024 * frameBytes);
  for (size_t i = 0; i < maxBlocks; ++i) {
    long frames = EngineRender(r, bits, bits == 8 ? 1 : 0, 0.8f, 65536.0f / 44100, 1024, block.data());
    if (frames <= 0) break;
    ref.blockFrames.push_back(frames);
    ref.pcm.insert(ref.pcm.end(), block.begin(), block.begin() + frames * frameBytes);
  }
  EngineEndRenderer(r);
  EngineUnload(module);
  return ref;
}

inline Reference RenderReference(const MadeSong& song, int channels = 2, int bits = 16, int startSeconds = 0,
                                 size_t maxBlocks = SIZE_MAX) {
  return RenderModule(song.moduleKind, song.module, channels, bits, startSeconds, maxBlocks);
}

}  // namespace zsftest
