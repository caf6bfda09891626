// The engine's readers and renderer on arbitrary bytes: the first byte picks the
// module kind (0 IT, 1 XM, 2 S3M, 3 MOD), the rest is the module image. A module
// that loads is rendered a few blocks, with renderers started at different
// positions in between (seeks interleaved with rendering catch state bugs that
// loading alone does not), through the same setup and hook the decode thread uses.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tools/synth/module_synth.h"

namespace {

constexpr float kDelta = 65536.0f / 44100.0f;

// Touches every mixed sample so that the sanitizers see reads of what the mixer
// handed over, and checks the frame count against the request.
volatile int32_t g_sink = 0;
void Hook(void* data, int32_t** samples, int channels, long frames) {
  if (frames < 0 || frames > 1024 || channels < 1 || channels > 2) std::abort();
  if (frames > 0 && samples == nullptr) std::abort();
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

void WriteSeed(const std::string& dir, const std::string& name, uint32_t kind,
               const std::vector<uint8_t>& module) {
  if (module.empty()) return;
  FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
  if (!f) return;
  uint8_t k = static_cast<uint8_t>(kind);
  std::fwrite(&k, 1, 1, f);
  std::fwrite(module.data(), 1, module.size(), f);
  std::fclose(f);
}

std::vector<uint8_t> Written(const zsfsynth::ModuleSpec& spec, uint32_t kind) {
  zsfsynth::ModuleFile file;
  std::string error;
  if (!zsfsynth::WriteModule(spec, kind, &file, &error)) return {};
  return file.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EngineSetDefaultIgnoreJump(1);
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  const char* names[] = {"basic.it", "basic.xm", "basic.s3m", "basic.mod"};
  for (uint32_t kind = 0; kind < 4; ++kind)
    WriteSeed(dir, names[kind], kind, Written(zsfsynth::BasicSpec(kind, 3, 3), kind));
  WriteSeed(dir, "instruments.it", 0, Written(zsfsynth::ItInstrumentSpec(), 0));
  zsfsynth::ModuleSpec it215 = zsfsynth::ItInstrumentSpec();
  for (auto& s : it215.samples)
    if (s.itStorage == zsfsynth::ItStorage::kCompressed214)
      s.itStorage = zsfsynth::ItStorage::kCompressed215;
  WriteSeed(dir, "compressed215.it", 0, Written(it215, 0));
  WriteSeed(dir, "multisample.xm", 1, Written(zsfsynth::XmMultiSampleSpec(), 1));
  WriteSeed(dir, "loopjump.it", 0, zsfsynth::MakeItWithLoopJump(3));
  WriteSeed(dir, "forwardjump.it", 0, zsfsynth::MakeItWithForwardJump(4));
  WriteSeed(dir, "speedzero.xm", 1, zsfsynth::MakeXmWithSpeedZero(8));
  zsfsynth::ModuleSpec flt8 = zsfsynth::BasicSpec(3, 2, 2);
  flt8.channels = 8;
  flt8.modVariant = zsfsynth::ModVariant::kFlt8;
  WriteSeed(dir, "flt8.mod", 3, Written(flt8, 3));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 20)) return 0;
  uint32_t kind = data[0] & 3;
  DUH* module = EngineReadModule(kind, data + 1, static_cast<uint32_t>(size - 1));
  if (module == nullptr) return 0;
  int32_t length = EngineGetLength(module);
  if (length < 0 && length != kEngineLengthUnknown) std::abort();
  // Straight from the start, then seeks: into the song, to its end, past it, and
  // back to a whole second near the start; mono 8-bit and stereo 16-bit.
  RenderBlocks(module, 2, 0, 3, 16);
  RenderBlocks(module, 1, length / 2, 2, 8);
  RenderBlocks(module, 2, length, 1, 16);
  RenderBlocks(module, 2, length + 65536, 1, 16);
  RenderBlocks(module, 1, (data[size - 1] % 4) << 16, 2, 8);
  EngineUnload(module);
  return 0;
}
