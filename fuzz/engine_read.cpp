// The engine's readers and renderer on arbitrary bytes: the first byte picks the
// module kind (0 IT, 1 XM, 2 S3M, 3 MOD), the rest is the module image. A module
// that loads is rendered around through the decode thread's setup and hook.
#include "fuzz/fuzz_support.h"
#include "tests/support/jump_songs.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using fuzzsupport::Synth;
  using fuzzsupport::WriteSeed;
  EngineSetDefaultIgnoreJump(1);
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  const char* names[] = {"basic.it", "basic.xm", "basic.s3m", "basic.mod"};
  for (uint8_t kind = 0; kind < 4; ++kind)
    WriteSeed(dir, names[kind], Synth(zsfsynth::BasicSpec(kind, 3, 3), kind), {kind});
  zsfsynth::ModuleSpec it215 = zsfsynth::ItInstrumentSpec();
  WriteSeed(dir, "instruments.it", Synth(it215, 0), {0});
  for (auto& s : it215.samples)
    if (s.itStorage == zsfsynth::ItStorage::kCompressed214) s.itStorage = zsfsynth::ItStorage::kCompressed215;
  WriteSeed(dir, "compressed215.it", Synth(it215, 0), {0});
  WriteSeed(dir, "multisample.xm", Synth(zsfsynth::XmMultiSampleSpec(), 1), {1});
  WriteSeed(dir, "loopjump.it", zsftest::MakeItWithLoopJump(3), {0});
  WriteSeed(dir, "forwardjump.it", zsftest::MakeItWithForwardJump(4), {0});
  WriteSeed(dir, "speedzero.xm", zsftest::MakeXmWithSpeedZero(8), {1});
  zsfsynth::ModuleSpec flt8 = zsfsynth::BasicSpec(3, 2, 2);
  flt8.channels = 8;
  flt8.modVariant = zsfsynth::ModVariant::kFlt8;
  WriteSeed(dir, "flt8.mod", Synth(flt8, 3), {3});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 20)) return 0;
  DUH* module = EngineReadModule(data[0] & 3, data + 1, static_cast<uint32_t>(size - 1));
  if (module) fuzzsupport::RenderAround(module, (data[size - 1] % 4) << 16);
  EngineUnload(module);
  return 0;
}
