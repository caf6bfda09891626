// Sample generation and the checks every format writer shares.
#include <cmath>

#include "tools/synth/synth_internal.h"

namespace zsfsynth {
namespace {

constexpr double kPi = 3.14159265358979323846;

// xorshift32: small, portable, and the same sequence everywhere.
uint32_t NextNoise(uint32_t* state) {
  uint32_t x = *state;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  *state = x;
  return x;
}

// One channel's waveform in -1..1 before the envelope.
std::vector<double> Waveform(const SampleSpec& s, Wave wave, uint32_t phaseShift, uint32_t seed) {
  std::vector<double> out(s.frames);
  uint32_t period = s.period ? s.period : 1;
  uint32_t noise = seed ? seed : 0x9E3779B9u;
  for (uint32_t i = 0; i < s.frames; ++i) {
    uint32_t pos = (i + phaseShift) % period;
    double v = 0.0;
    switch (wave) {
      case Wave::kSine: v = std::sin(2.0 * kPi * pos / period); break;
      case Wave::kSquare: v = pos < period / 2 ? 1.0 : -1.0; break;
      case Wave::kSaw: v = 2.0 * pos / period - 1.0; break;
      case Wave::kNoise:
        v = static_cast<double>(NextNoise(&noise) >> 8) / 8388608.0 - 1.0;
        break;
      case Wave::kSilence: v = 0.0; break;
    }
    out[i] = v;
  }
  return out;
}

}  // namespace

std::vector<uint8_t> RenderSamplePcm(const SampleSpec& s) {
  const uint32_t width = s.bits == 16 ? 2 : 1;
  const uint32_t channels = s.channels == 2 ? 2 : 1;
  std::vector<uint8_t> pcm;
  pcm.reserve(static_cast<size_t>(s.frames) * width * channels);
  for (uint32_t ch = 0; ch < channels; ++ch) {
    // The right channel differs (a quarter period later, another noise seed, or a
    // waveform of its own), so a reader that mixed up the planar halves would be caught.
    const Wave shape = ch == 1 && s.rightWave ? *s.rightWave : s.wave;
    std::vector<double> wave = Waveform(s, shape, ch * (s.period / 4), s.seed + ch);
    for (uint32_t i = 0; i < s.frames; ++i) {
      double env = s.decay > 0 && s.frames > 0 ? std::exp(-s.decay * i / s.frames) : 1.0;
      double v = wave[i] * s.amplitude * env;
      if (v > 1.0) v = 1.0;
      if (v < -1.0) v = -1.0;
      if (width == 1) {
        pcm.push_back(static_cast<uint8_t>(static_cast<int8_t>(std::lround(v * 127.0))));
      } else {
        auto w = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767.0)));
        pcm.push_back(static_cast<uint8_t>(w));
        pcm.push_back(static_cast<uint8_t>(w >> 8));
      }
    }
  }
  return pcm;
}

namespace detail {

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

Loop LoopOf(const SampleSpec& s) {
  if (!s.loop) return {};
  Loop l;
  l.start = s.loopStart;
  l.end = s.loopEnd ? s.loopEnd : s.frames;
  return l;
}

bool CheckSample(const SampleSpec& s, size_t index, uint8_t maxChannels, std::string* error) {
  std::string where = "sample " + std::to_string(index + 1) + ": ";
  if (s.bits != 8 && s.bits != 16) return Fail(error, where + "bits must be 8 or 16");
  if (s.channels < 1 || s.channels > maxChannels)
    return Fail(error, where + std::to_string(s.channels) + " channels not possible here");
  if (s.frames > (1u << 24)) return Fail(error, where + "too many frames");
  Loop l = LoopOf(s);
  if (s.loop && (l.end > s.frames || l.start >= l.end))
    return Fail(error, where + "loop outside the sample");
  return true;
}

bool CheckSong(const ModuleSpec& spec, uint8_t maxChannels, uint8_t maxNote,
               std::string* error) {
  if (spec.channels < 1 || spec.channels > maxChannels)
    return Fail(error, std::to_string(spec.channels) + " channels not possible here");
  if (spec.orders.empty()) return Fail(error, "no orders");
  for (uint8_t o : spec.orders) {
    if (o < 254 && o >= spec.patterns.size())
      return Fail(error, "order names missing pattern " + std::to_string(o));
  }
  for (size_t p = 0; p < spec.patterns.size(); ++p) {
    const PatternSpec& pat = spec.patterns[p];
    std::string where = "pattern " + std::to_string(p) + ": ";
    if (pat.rows < 1 || pat.rows > 256) return Fail(error, where + "rows must be 1..256");
    if (pat.cells.size() != static_cast<size_t>(pat.rows) * spec.channels)
      return Fail(error, where + "cells must be rows x channels");
    for (const Cell& c : pat.cells) {
      if (c.note != 0 && c.note != kNoteOff && c.note != kNoteCut && c.note > maxNote)
        return Fail(error, where + "note " + std::to_string(c.note) + " out of range");
      if (c.volume != kNoVolume && c.volume > 64)
        return Fail(error, where + "volume above 64");
    }
  }
  return true;
}

PatternSpec PadTo64Rows(const PatternSpec& pattern, uint8_t channels, uint8_t breakEffect) {
  if (pattern.rows >= 64) return pattern;
  PatternSpec out;
  out.Resize(64, channels);
  for (size_t i = 0; i < pattern.cells.size(); ++i) out.cells[i] = pattern.cells[i];
  Cell& last = out.At(static_cast<uint16_t>(pattern.rows - 1), 0, channels);
  if (last.effect == 0 && last.param == 0) last.effect = breakEffect;
  return out;
}

}  // namespace detail
}  // namespace zsfsynth
