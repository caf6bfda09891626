// Songs whose end the engine must find from their jumps and speeds: a pass that loops
// back, a jump forward that skips orders, and speed zero stopping a song mid-pattern.
// The engine's length tests and the engine fuzz target's seeds start from them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/synth/module_synth.h"

namespace zsftest {

inline std::vector<uint8_t> WriteSynthModule(const zsfsynth::ModuleSpec& spec, uint32_t kind) {
  zsfsynth::ModuleFile file;
  std::string error;
  if (!zsfsynth::WriteModule(spec, kind, &file, &error)) return {};
  return std::move(file.bytes);
}

// An IT (sample mode, BasicSpec) of ORDER_COUNT orders of 3.84 s whose last
// order's pattern ends with B00 (row 63, channel 1), so the song loops back to the
// start instead of ending: one pass lasts ORDER_COUNT x 3.84 s.
inline std::vector<uint8_t> MakeItWithLoopJump(int orderCount = 3) {
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 2, orderCount < 1 ? 1 : orderCount);
  zsfsynth::Cell& c = spec.patterns.back().At(63, 1, spec.channels);
  c.effect = zsfsynth::kFxItJump;
  c.param = 0;
  return WriteSynthModule(spec, 0);
}

// An IT (BasicSpec) of ORDER_COUNT (>= 3) orders of 3.84 s whose first order ends
// with a B (row 63, channel 1) jumping forward to the last order: 7.68 s when the
// jump is taken, ORDER_COUNT x 3.84 s when it is ignored.
inline std::vector<uint8_t> MakeItWithForwardJump(int orderCount = 4) {
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(0, 2, orderCount < 3 ? 3 : orderCount);
  zsfsynth::Cell& c = spec.patterns.front().At(63, 1, spec.channels);
  c.effect = zsfsynth::kFxItJump;
  c.param = static_cast<uint8_t>(spec.orders.size() - 1);
  return WriteSynthModule(spec, 0);
}

// An XM (BasicSpec, 2 orders) whose first pattern sets speed zero (F00) at row ROW
// of channel 0; the rows before it play at speed 6, tempo 125 (each row 0.12 s),
// so the song stops after ROW x 0.12 s.
inline std::vector<uint8_t> MakeXmWithSpeedZero(int row = 8) {
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(1, 2, 2);
  spec.speed = 6;
  spec.tempo = 125;
  if (row < 0) row = 0;
  if (row > 63) row = 63;
  zsfsynth::Cell& c = spec.patterns.front().At(static_cast<uint16_t>(row), 0, spec.channels);
  c.effect = zsfsynth::kFxXmSpeed;
  c.param = 0;
  return WriteSynthModule(spec, 1);
}

}  // namespace zsftest
