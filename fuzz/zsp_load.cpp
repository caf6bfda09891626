// SampleStoreLoad over arbitrary bytes, with and without a wanted list and a key, then
// every derivation of every loaded entry. Seeds: packs of every layout from our writer.
#include "fuzz/fuzz_support.h"
#include "samples/sample_derivation.h"
#include "samples/sample_store.h"
#include "samples/zsp_format.h"
#include "samples/zsp_reader.h"

namespace {

void DeriveAll(const SampleStore* store) {
  SampleSourceTable table;
  const uint32_t count = store->entryCount < 8 ? store->entryCount : 8;
  for (uint32_t i = 0; i < count; ++i) SampleSourceTableAppendSource(&table, {i, 0, static_cast<uint8_t>(i % 5), i, i + 1, 0.5f});
  for (uint32_t i = 0; i < count; ++i) {
    for (uint8_t t = 0; t <= 5; ++t) {
      DerivedSample out;
      DeriveSample(store, &out, i, t, t == 3 ? (i + 1) % count : 2 + i, t == 0 ? 100 : 73);
      std::free(out.data);
      DeriveSampleFromSource(store, &out, i, t, t == 3 ? i : 3, (i + 1) % count, t ? 1.5f : 100.0f, &table);
      std::free(out.data);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* folder = std::getenv("ZSF_FUZZ_SEEDS");
  for (auto [major, minor] : std::vector<std::pair<uint8_t, uint8_t>>{
           {0, 0}, {1, 22}, {1, 26}, {1, 28}, {1, 29}, {1, 36}, {2, 0}, {2, 2}, {2, 3}}) {
    for (int variant = 0; folder && variant < 3; ++variant) {
      ZspWriteOptions o;
      o.major = major;
      o.minor = minor;
      o.compress = variant == 1;
      o.vorbisQuality = 0.0f;
      if (variant == 2 && ZspHasScrambleFlag(major, minor)) o.scrambleKey = -7;
      std::vector<ZspEntry> entries(3);
      entries[0].kind = entries[2].kind = ZspEntry::Kind::Pcm;
      entries[0].pcm = fuzzsupport::Tone(64, 16, 1);
      entries[0].name = "pcm";
      entries[2].pcm = fuzzsupport::Tone(33, 8, 1);
      entries[2].bits = 8;
      if (VersionAtLeast(major, minor, kZspTypeByteFrom)) {
        entries[1].kind = ZspEntry::Kind::Coded;
        entries[1].pcm = fuzzsupport::Tone(600, 16, 2);
        entries[1].channels = 2;
      }
      std::vector<uint8_t> pack;
      std::string error;
      if (WriteZsp(entries, o, &pack, &error))
        fuzzsupport::WriteSeed(folder, "seed_" + std::to_string(major * 100 + minor) + "_" + std::to_string(variant), pack);
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  ByteStream* stream = StreamOpenMemory(data, static_cast<uint32_t>(size), 0);
  SampleStore* store = SampleStoreCreate();
  if (SampleStoreLoad(store, stream, nullptr, 0) == 0) {
    DeriveAll(store);
    SampleStoreRelease(store);
  }
  const uint32_t wanted[] = {2, 0, 70000};
  SampleStoreSetKey(store, static_cast<uint32_t>(-103));
  if (SampleStoreLoad(store, stream, wanted, 3) == 0) {
    DeriveAll(store);
    SampleStoreRelease(store);
  }
  SampleStoreDestroy(store);
  StreamClose(stream);
  return 0;
}
