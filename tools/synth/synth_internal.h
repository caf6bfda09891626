// Helpers the format writers of the synthesiser share.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/synth/module_synth.h"

namespace zsfsynth {
namespace detail {

// A sample's loop as [start, end) frames, or {0, 0} when it has none.
struct Loop {
  uint32_t start = 0;
  uint32_t end = 0;
  bool on() const { return end > start; }
};
Loop LoopOf(const SampleSpec& sample);

// Checks what every format needs of a sample (bits, channels, frames, loop).
bool CheckSample(const SampleSpec& sample, size_t index, uint8_t maxChannels,
                 std::string* error);

// Checks the orders and patterns against the channel count; notes above MAX_NOTE
// (other than off and cut) are refused.
bool CheckSong(const ModuleSpec& spec, uint8_t maxChannels, uint8_t maxNote,
               std::string* error);

// A pattern padded to 64 rows, with a break on its last given row (channel 0) when
// it was shorter, for the formats whose patterns always hold 64 rows.
PatternSpec PadTo64Rows(const PatternSpec& pattern, uint8_t channels, uint8_t breakEffect);

// IT compressed data (2.14 or 2.15 form) of one channel's signed PCM of FRAMES
// points of BITS bits.
std::vector<uint8_t> CompressItChannel(const uint8_t* pcm, uint32_t frames, uint8_t bits,
                                       bool it215);

bool Fail(std::string* error, const std::string& what);

}  // namespace detail
}  // namespace zsfsynth
