// The engine driven directly: modules that unload themselves, renders of whole songs
// or stretches of them, how alike two renders sound, and the reference PCM the
// plug-in must reproduce for a song.
#pragma once
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

#include "engine/engine.h"
#include "support/song_maker.h"

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

// Renders as the decode thread does: blocks of up to 1024 frames, configured likewise.
struct SongRenderer {
  DUH_SIGRENDERER* sr = nullptr;
  const int outChannels;
  SongRenderer(DUH* duh, int channels, int64_t position)
      : sr(EngineStartRenderer(duh, channels, position)), outChannels(channels) {
    ConfigureRenderer(sr);
  }
  ~SongRenderer() { EngineEndRenderer(sr); }
  SongRenderer(const SongRenderer&) = delete;
  SongRenderer& operator=(const SongRenderer&) = delete;
  // Up to FRAMES frames of BITS (fewer at the end), and the frame count of each block.
  std::vector<uint8_t> Render(long frames, int bits = 16, std::vector<long>* blocks = nullptr) {
    const size_t frameBytes = static_cast<size_t>(outChannels * bits / 8);
    std::vector<uint8_t> out, block(1024 * frameBytes);
    while (frames > 0) {
      long got = EngineRender(sr, bits, bits == 8 ? 1 : 0, 0.8f, kDelta, frames < 1024 ? frames : 1024, block.data());
      if (got <= 0) break;
      out.insert(out.end(), block.begin(), block.begin() + got * frameBytes);
      if (blocks) blocks->push_back(got);
      frames -= got;
    }
    return out;
  }
  // 16-bit samples, interleaved.
  std::vector<int16_t> Frames(long frames) {
    std::vector<uint8_t> pcm = Render(frames);
    std::vector<int16_t> out(pcm.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
    return out;
  }
  // Frames until the song ends, stopping at LIMIT.
  long FramesToEnd(long limit) { return static_cast<long>(Render(limit).size()) / (2 * outChannels); }
};

// Speed 255 at tempo 32: a row lasts 19.92 s, three 200-row patterns 3.3 hours, too
// long to measure.
inline zsfsynth::ModuleSpec EndlessSpec() {
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 1, 3);
  spec.speed = 255;
  spec.tempo = 32;
  for (auto& pattern : spec.patterns) {
    pattern.Resize(200, spec.channels);
    pattern.At(0, 0, spec.channels).note = zsfsynth::NoteOf(5, 0);
    pattern.At(0, 0, spec.channels).instrument = 1;
  }
  spec.samples[0].loop = true;
  return spec;
}

// Seconds of engine time to frames at 44100 Hz.
inline long FramesOf(double seconds) { return static_cast<long>(std::lround(seconds * 44100.0)); }

// How far apart two renders of the same music are, by their loudness over time: the
// RMS of 10 ms windows, A shifted by up to 10 ms against B, compared at the best
// shift. A seek lands a few frames from straight playback (the engine steps in
// 1/65536 s, not frames), so the waveforms drift apart slightly; the loudness does not.
inline double LoudnessDifference(const std::vector<int16_t>& a, size_t aFrame, const std::vector<int16_t>& b) {
  const size_t window = 441 * 2, windows = b.size() / window;
  auto loudness = [&](const std::vector<int16_t>& pcm, size_t from) {
    std::vector<double> out;
    for (size_t w = 0; w < windows; ++w) {
      double sum = 0;
      for (size_t i = from + w * window; i < from + (w + 1) * window; ++i)
        sum += i < pcm.size() ? double(pcm[i]) * pcm[i] : 0;
      out.push_back(std::sqrt(sum / window));
    }
    return out;
  };
  const std::vector<double> lb = loudness(b, 0);
  double best = 1e9;
  for (long shift = -441; shift <= 441; shift += 21) {
    if (long(aFrame) + shift < 0) continue;
    const std::vector<double> la = loudness(a, static_cast<size_t>(long(aFrame) + shift) * 2);
    double diff = 0, energy = 0;
    for (size_t i = 0; i < windows; ++i) {
      diff += (la[i] - lb[i]) * (la[i] - lb[i]);
      energy += la[i] * la[i];
    }
    best = std::min(best, energy > 0 ? diff / energy : 1.0);
  }
  return best;
}

// The engine rendered as the decode thread drives it, from whole second START_S on.
struct Reference {
  std::vector<uint8_t> pcm;
  std::vector<long> blockFrames;
};

inline Reference RenderModule(uint32_t kind, const std::vector<uint8_t>& image, int channels = 2, int bits = 16,
                              int startSeconds = 0) {
  EngineSetDefaultIgnoreJump(1);  // the plug-in's Init turns ignore-jump on for the process
  LoadedModule module(kind, image);
  EXPECT_NE(nullptr, module.duh);
  Reference ref;
  if (module.duh)
    ref.pcm = SongRenderer(module.duh, channels, int64_t{startSeconds} << 16).Render(1L << 30, bits, &ref.blockFrames);
  return ref;
}

inline Reference RenderReference(const MadeSong& song, int channels = 2, int bits = 16, int startSeconds = 0) {
  return RenderModule(song.moduleKind, song.module, channels, bits, startSeconds);
}

}  // namespace zsftest
