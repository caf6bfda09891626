// Fuzz target: a song and its sample pack, both from the input, through
// Song::LoadStream (ZsfFormat::Load with a supplied pack stream) and, when the song
// loads, the module image rebuild, twice (the results must agree). The first 4
// bytes give the song's length; the rest after the song is the pack.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "container/song.h"
#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"
#include "fuzz/song_seeds.h"
#include "tools/synth/module_synth.h"

namespace {

using fuzzseeds::WriteModuleSeed;
using fuzzseeds::WriteSeed;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  WriteModuleSeed(dir, 0, 2, 2, false);
  WriteModuleSeed(dir, 1, 2, 0, true);
  WriteModuleSeed(dir, 2, 1, 19, false);
  WriteModuleSeed(dir, 3, 1, 15, true);
  WriteModuleSeed(dir, 0, 1, 12, false);
  WriteModuleSeed(dir, 0, 0, 5, false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t songLength = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
  const size_t rest = size - 4;
  if (songLength > rest) songLength = static_cast<uint32_t>(rest);
  ByteStream* songStream = StreamOpenMemory(data + 4, songLength, 1);
  ByteStream* packStream = StreamOpenMemory(data + 4 + songLength, static_cast<uint32_t>(rest - songLength), 1);

  Song song;
  song.SetPackStream(packStream);
  uint32_t count = 0;
  if (song.LoadStream(songStream, &count, 4) == 0) {
    if (count != song.Body().sampleCount) std::abort();
    ModuleImage first{}, second{};
    uint32_t a = song.BuildModuleImage(&first);
    uint32_t b = song.BuildModuleImage(&second);
    if (a != b || first.size != second.size) std::abort();
    if (a == 0 && std::memcmp(first.data, second.data, first.size) != 0) std::abort();
    if (a != 0 && (first.data || first.size)) std::abort();
    std::free(first.data);
    std::free(second.data);
  } else if (song.Loaded() || song.Body().structure || song.Body().records) {
    std::abort();
  }
  StreamClose(songStream);
  StreamClose(packStream);
  return 0;
}
