// Fuzz target: SampleStoreLoad over arbitrary bytes, with and without a wanted list
// and a key, then every derivation of every loaded entry. Seeds come from our writer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "fuzz/fuzz_support.h"
#include "samples/sample_derivation.h"
#include "samples/sample_store.h"
#include "samples/zsp_writer.h"

namespace {

std::vector<uint8_t> Tone(size_t frames, uint8_t bits, uint8_t channels) {
  std::vector<uint8_t> out;
  for (size_t j = 0; j < frames * channels; ++j) {
    const int v = static_cast<int>((j * 37) % 200) - 100;
    if (bits == 16) {
      out.push_back(static_cast<uint8_t>(v * 64));
      out.push_back(static_cast<uint8_t>((v * 64) >> 8));
    } else {
      out.push_back(static_cast<uint8_t>(v));
    }
  }
  return out;
}

void WriteSeeds(const std::string& folder) {
  const uint8_t versions[][2] = {{0, 0}, {1, 22}, {1, 26}, {1, 28}, {1, 29}, {1, 36}, {2, 0}, {2, 2}, {2, 3}};
  int n = 0;
  for (const auto& v : versions) {
    for (int variant = 0; variant < 3; ++variant) {
      ZspWriteOptions o;
      o.major = v[0];
      o.minor = v[1];
      o.compress = variant == 1;
      o.vorbisQuality = 0.0f;
      if (variant == 2 && (v[0] > 1 || v[1] >= 23)) o.scrambleKey = -7;
      std::vector<ZspEntry> entries(3);
      entries[0].kind = ZspEntry::Kind::Pcm;
      entries[0].pcm = Tone(64, 16, 1);
      entries[0].name = "pcm";
      entries[2].kind = ZspEntry::Kind::Pcm;
      entries[2].pcm = Tone(33, 8, 1);
      entries[2].bits = 8;
      if (v[0] == 2 || v[1] >= 28) {
        entries[1].kind = ZspEntry::Kind::Coded;
        entries[1].pcm = Tone(600, 16, 2);
        entries[1].channels = 2;
      }
      std::vector<uint8_t> pack;
      std::string error;
      if (WriteZsp(entries, o, &pack, &error)) fuzzsupport::WriteSeed(folder, "seed_" + std::to_string(n++), pack);
    }
  }
}

void DeriveAll(const SampleStore* store) {
  SampleSourceTable table;
  const uint32_t count = store->entryCount < 8 ? store->entryCount : 8;
  for (uint32_t i = 0; i < count; ++i) {
    SampleSourceTableAppendSource(&table, {i, 0, static_cast<uint8_t>(i % 5), i, i + 1, 0.5f});
  }
  for (uint32_t i = 0; i < count; ++i) {
    for (uint8_t t = 0; t <= 5; ++t) {
      DerivedSample out;
      DeriveSample(store, &out, i, t, t == 3 ? (i + 1) % count : 2 + i, t == 0 ? 100 : 73);
      std::free(out.data);
      DeriveSampleFromSource(store, &out, i, t, t == 3 ? i : 3, (i + 1) % count, t ? 1.5f : 100.0f,
                             &table);
      std::free(out.data);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* folder = std::getenv("ZSF_FUZZ_SEEDS")) WriteSeeds(folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  ByteStream* stream = StreamOpenMemory(data, static_cast<uint32_t>(size), 0);
  if (!stream) return 0;
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
