// The module layout readers on arbitrary bytes: the first byte picks the module
// kind (0 IT, 1 XM, 2 S3M, 3 MOD; the same seeds as engine_read), the rest is the
// module. A layout that reads must describe only bytes the file holds, without
// overlaps; decoding must give the promised size and, for the plain encodings,
// encode back to the stored bytes; an IT rewritten to plain PCM must read again,
// all plain, with the same PCM. Recognising the kind from the content gives the same
// answer from the head alone as from the whole file, and a signature-less 15-sample
// MOD it takes reads as a MOD.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tools/modules/module_kind.h"
#include "tools/modules/module_layout.h"

namespace {

bool Compressed(const zsfmod::SampleLayout& s) {
  return s.encoding == zsfmod::SampleLayout::kItCompressed214 ||
         s.encoding == zsfmod::SampleLayout::kItCompressed215;
}

void CheckLayout(const std::vector<uint8_t>& file, const zsfmod::ModuleLayout& layout) {
  for (const zsfmod::SampleLayout& s : layout.samples) {
    if (static_cast<uint64_t>(s.offset) + s.bytes > file.size()) std::abort();
    if (s.bytes == 0 || (s.bits != 8 && s.bits != 16) || s.channels < 1 || s.channels > 2) std::abort();
    for (const zsfmod::SampleLayout& t : layout.samples)
      if (&s != &t && s.offset < t.offset + t.bytes && t.offset < s.offset + s.bytes) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using fuzzsupport::Synth;
  using fuzzsupport::WriteSeed;
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  for (uint8_t kind = 0; kind < 4; ++kind)
    WriteSeed(dir, "layout_basic_" + std::to_string(kind), Synth(zsfsynth::BasicSpec(kind, 3, 2), kind), {kind});
  zsfsynth::ModuleSpec it = zsfsynth::ItInstrumentSpec();
  for (zsfsynth::SampleSpec& s : it.samples) s.frames /= 8;  // small seeds mutate faster
  WriteSeed(dir, "layout_it_instruments", Synth(it, 0), {0});
  for (zsfsynth::SampleSpec& s : it.samples)
    if (s.itStorage == zsfsynth::ItStorage::kCompressed214) s.itStorage = zsfsynth::ItStorage::kCompressed215;
  WriteSeed(dir, "layout_it_215", Synth(it, 0), {0});
  WriteSeed(dir, "layout_xm_multi", Synth(zsfsynth::XmMultiSampleSpec(), 1), {1});
  zsfsynth::ModuleSpec mod = zsfsynth::BasicSpec(3, 2, 1);
  mod.modVariant = zsfsynth::ModVariant::kFifteen;
  WriteSeed(dir, "layout_mod_15", Synth(mod, 3), {3});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint32_t kind = data[0] % 4;
  const std::vector<uint8_t> file(data + 1, data + size);
  zsfmod::ModuleLayout layout;
  std::string error;
  uint32_t whole = 0, head = 0;
  const bool recognised = zsfmod::RecogniseModuleKind(file.data(), file.size(), file.size(), &whole, &error);
  const size_t headSize = std::min(file.size(), zsfmod::kModuleKindHeadBytes);
  if (recognised != zsfmod::RecogniseModuleKind(file.data(), headSize, file.size(), &head, &error)) std::abort();
  if (recognised && whole != head) std::abort();
  if (!recognised && error.find("not a module") == std::string::npos) std::abort();
  if (recognised && whole == zsfmod::kKindMod &&
      !zsfmod::ReadModuleLayout(file, zsfmod::kKindMod, &layout, &error) && layout.variant == "15-sample")
    std::abort();
  if (!zsfmod::ReadModuleLayout(file, kind, &layout, &error)) {
    if (error.empty() || !layout.samples.empty()) std::abort();
    return 0;
  }
  CheckLayout(file, layout);
  std::vector<std::vector<uint8_t>> decoded(layout.samples.size());
  for (size_t i = 0; i < layout.samples.size(); ++i) {
    const zsfmod::SampleLayout& s = layout.samples[i];
    if (!zsfmod::DecodeSample(file, s, &decoded[i], &error)) {
      if (!Compressed(s) || error.empty()) std::abort();  // plain data always decodes
      continue;
    }
    if (decoded[i].size() != (Compressed(s) ? s.pcmBytes() : s.bytes)) std::abort();
    if (!Compressed(s) && s.channels == 1) {
      std::vector<uint8_t> stored;
      if (!zsfmod::EncodeSample(decoded[i], s.bits, s.encoding, &stored)) std::abort();
      if (!std::equal(stored.begin(), stored.end(), file.begin() + s.offset)) std::abort();
    }
  }
  if (kind == zsfmod::kKindIt) {
    std::vector<uint8_t> plain;
    if (zsfmod::StoreItSamplesAsPlainPcm(file, &plain, &error)) {
      zsfmod::ModuleLayout again;
      if (!zsfmod::ReadModuleLayout(plain, kind, &again, &error)) std::abort();
      if (again.samples.size() != layout.samples.size()) std::abort();
      for (size_t i = 0; i < again.samples.size(); ++i) {
        std::vector<uint8_t> pcm;
        if (again.samples[i].encoding != zsfmod::SampleLayout::kSigned) std::abort();
        if (!zsfmod::DecodeSample(plain, again.samples[i], &pcm, &error)) std::abort();
        if (pcm != decoded[i]) std::abort();
      }
    }
  }
  return 0;
}
