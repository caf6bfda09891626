// Helpers for the engine tests: modules that unload themselves, rendering whole
// songs or stretches of them, and the offsets inside an IT file that the malformed-
// input cases change.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tools/synth/module_synth.h"

namespace enginetest {

constexpr float kDelta = 65536.0f / 44100.0f;
constexpr int32_t kSecond = 65536;

struct Module {
  DUH* duh = nullptr;
  Module(uint32_t kind, const std::vector<uint8_t>& bytes)
      : duh(EngineReadModule(kind, bytes.data(), static_cast<uint32_t>(bytes.size()))) {}
  ~Module() { EngineUnload(duh); }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  int32_t length() const { return EngineGetLength(duh); }
};

struct Renderer {
  DUH_SIGRENDERER* sr = nullptr;
  Renderer(DUH* duh, int channels, int32_t position, bool configure = true)
      : sr(EngineStartRenderer(duh, channels, position)) {
    if (configure) ConfigureRenderer(sr);
  }
  ~Renderer() { EngineEndRenderer(sr); }
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

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

inline std::vector<uint8_t> Write(const zsfsynth::ModuleSpec& spec, uint32_t kind) {
  zsfsynth::ModuleFile file;
  std::string error;
  if (!zsfsynth::WriteModule(spec, kind, &file, &error)) return {};
  return file.bytes;
}

// Seconds of engine time to frames at 44100 Hz.
inline long FramesOf(double seconds) { return static_cast<long>(std::lround(seconds * 44100.0)); }

// Energy of A - B relative to the energy of A (0 = identical).
inline double RelativeDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  double diff = 0, energy = 0;
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    double d = static_cast<double>(a[i]) - b[i];
    diff += d * d;
    energy += static_cast<double>(a[i]) * a[i];
  }
  return energy > 0 ? diff / energy : (diff > 0 ? 1.0 : 0.0);
}

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

// ---- IT file layout (little-endian), for changing single fields ----
inline uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return Get16(b, at) | static_cast<uint32_t>(Get16(b, at + 2)) << 16;
}
inline void Put16(std::vector<uint8_t>* b, size_t at, uint16_t v) {
  (*b)[at] = static_cast<uint8_t>(v);
  (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

constexpr size_t kItOrderCount = 0x20;
constexpr size_t kItInstrumentCount = 0x22;
constexpr size_t kItSampleCount = 0x24;
constexpr size_t kItPatternCount = 0x26;
constexpr size_t kItSpeed = 0x32;
constexpr size_t kItTempo = 0x33;
constexpr size_t kItOrders = 0xC0;
constexpr size_t kItSampleLength = 0x30;      // in a sample header
constexpr size_t kItSampleC5Speed = 0x3C;     // in a sample header
constexpr size_t kItVolumeEnvelope = 0x130;   // in an instrument header
constexpr size_t kItPatternDataLength = 0;    // in a pattern header
constexpr size_t kItPatternRows = 2;          // in a pattern header

// Offsets of the instrument, sample and pattern headers, from the header's tables.
inline std::vector<uint32_t> ItTable(const std::vector<uint8_t>& b, int which) {
  size_t orders = Get16(b, kItOrderCount), instruments = Get16(b, kItInstrumentCount);
  size_t samples = Get16(b, kItSampleCount), patterns = Get16(b, kItPatternCount);
  size_t at = kItOrders + orders;
  size_t count = instruments;
  if (which >= 1) { at += 4 * instruments; count = samples; }
  if (which >= 2) { at += 4 * samples; count = patterns; }
  std::vector<uint32_t> out;
  for (size_t i = 0; i < count; ++i) out.push_back(Get32(b, at + 4 * i));
  return out;
}
inline std::vector<uint32_t> ItInstruments(const std::vector<uint8_t>& b) { return ItTable(b, 0); }
inline std::vector<uint32_t> ItSamples(const std::vector<uint8_t>& b) { return ItTable(b, 1); }
inline std::vector<uint32_t> ItPatterns(const std::vector<uint8_t>& b) { return ItTable(b, 2); }

}  // namespace enginetest
