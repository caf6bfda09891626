// Fuzz target: the whole playing path on one input. A song and its sample pack (the
// first 4 bytes give the song's length, the rest after the song is the pack) go
// through Song::LoadStream and the module image rebuild; an image the engine reads
// is rendered a few blocks with renderers started at several positions in between
// (seeks interleaved with rendering catch state bugs loading alone does not), set up
// as the decode thread sets them up, then unloaded.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "container/song.h"
#include "container/zsf_writer.h"
#include "engine/engine.h"
#include "samples/zsp_writer.h"
#include "fuzz/song_seeds.h"
#include "tools/synth/module_synth.h"

namespace {

using fuzzseeds::WriteModuleSeed;
using fuzzseeds::WriteSeed;



constexpr float kDelta = 65536.0f / 44100.0f;

volatile int32_t g_sink = 0;
void Hook(void*, int32_t** samples, int channels, long frames) {
  if (frames < 0 || frames > 1024 || channels < 1 || channels > 2) std::abort();
  int32_t sum = 0;
  for (long i = 0; i < frames * channels; ++i) sum ^= samples[0][i];
  g_sink = sum;
}

void RenderBlocks(DUH* module, int channels, int32_t position, int blocks, int bits) {
  DUH_SIGRENDERER* renderer = EngineStartRenderer(module, channels, position);
  ConfigureRenderer(renderer);
  EngineSetRenderHook(renderer, Hook, nullptr);
  static uint8_t buffer[1024 * 2 * 2];
  for (int i = 0; i < blocks; ++i) {
    long frames = EngineRender(renderer, bits, bits == 8, 0.8f, kDelta, 1024, buffer);
    if (frames < 0 || frames > 1024) std::abort();
    if (frames == 0) break;
  }
  EngineEndRenderer(renderer);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EngineSetDefaultIgnoreJump(1);
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  WriteModuleSeed(dir, 0, 2, 2, false);
  WriteModuleSeed(dir, 1, 2, 0, true);
  WriteModuleSeed(dir, 2, 1, 19, false);
  WriteModuleSeed(dir, 3, 1, 15, true);
  WriteModuleSeed(dir, 0, 1, 12, false);
  WriteModuleSeed(dir, 1, 0, 5, false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  uint32_t songLength = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
  const size_t rest = size - 4;
  if (songLength > rest) songLength = static_cast<uint32_t>(rest);
  ByteStream* songStream = StreamOpenMemory(data + 4, songLength, 1);
  ByteStream* packStream = StreamOpenMemory(data + 4 + songLength, static_cast<uint32_t>(rest - songLength), 1);

  Song song;
  song.SetPackStream(packStream);
  uint32_t count = 0;
  if (song.LoadStream(songStream, &count, 4) == 0) {
    ModuleImage image{};
    if (song.BuildModuleImage(&image) == 0) {
      DUH* module = song.GetModuleKind() <= 3
                        ? EngineReadModule(song.GetModuleKind(), image.data, image.size)
                        : nullptr;
      std::free(image.data);  // the engine keeps nothing of the image
      if (module) {
        const int32_t length = EngineGetLength(module);
        if (length < 0 && length != kEngineLengthUnknown) std::abort();
        RenderBlocks(module, 2, 0, 3, 16);
        RenderBlocks(module, 1, length / 2, 2, 8);
        RenderBlocks(module, 2, length, 1, 16);
        RenderBlocks(module, 2, 65536, 2, 16);
        EngineUnload(module);
      }
    }
  }
  StreamClose(songStream);
  StreamClose(packStream);
  return 0;
}
