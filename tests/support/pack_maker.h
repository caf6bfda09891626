// Sample packs made by our own ZSP writer and loaded back into a sample store from
// memory, with the entry data a test needs to tell bytes apart.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "samples/sample_store.h"
#include "samples/zsp_writer.h"

namespace zsftest {

struct StoreDeleter {
  void operator()(SampleStore* s) const { SampleStoreDestroy(s); }
};
using StorePtr = std::unique_ptr<SampleStore, StoreDeleter>;

struct StreamDeleter {
  void operator()(ByteStream* s) const { StreamClose(s); }
};
using StreamPtr = std::unique_ptr<ByteStream, StreamDeleter>;

// Bytes START, START+1, ... (mod 251), so that misplaced bytes show.
inline std::vector<uint8_t> Ramp(size_t n, uint8_t start = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((start + i) % 251);
  return v;
}

inline std::vector<uint8_t> Bytes(const SampleRecord& r) {
  return r.data ? std::vector<uint8_t>(r.data, r.data + r.size) : std::vector<uint8_t>();
}

inline ZspEntry Pcm(std::vector<uint8_t> bytes, uint8_t bits = 16, const std::string& name = "",
                    uint8_t attribute = 0, uint32_t value = 0) {
  ZspEntry e;
  e.kind = ZspEntry::Kind::Pcm;
  e.pcm = std::move(bytes);
  e.bits = bits;
  e.name = name;
  e.attribute = attribute;
  e.value = value;
  return e;
}

inline ZspEntry Empty() { return ZspEntry{}; }

inline std::vector<uint8_t> MakePack(const std::vector<ZspEntry>& entries,
                                     const ZspWriteOptions& options = {}) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(WriteZsp(entries, options, &out, &error)) << error;
  return out;
}

// Loads PACK into a fresh store with PASSWORD_KEY; RESULT receives the load's code.
inline StorePtr LoadPack(const std::vector<uint8_t>& pack, const std::vector<uint32_t>* wanted = nullptr,
                         uint32_t passwordKey = 0, uint32_t* result = nullptr) {
  StorePtr store(SampleStoreCreate());
  SampleStoreSetKey(store.get(), passwordKey);
  StreamPtr stream(StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 0));
  uint32_t rc = SampleStoreLoad(store.get(), stream.get(), wanted ? wanted->data() : nullptr,
                                wanted ? static_cast<uint16_t>(wanted->size()) : 0);
  if (result) *result = rc;
  return store;
}

// Signed sine PCM of BITS, CHANNELS interleaved (each channel at another pitch).
inline std::vector<uint8_t> SinePcm(size_t frames, uint8_t bits, uint8_t channels, double amplitude = 0.5) {
  std::vector<uint8_t> out;
  for (size_t j = 0; j < frames; ++j) {
    for (uint8_t c = 0; c < channels; ++c) {
      const double s = amplitude * std::sin(2.0 * M_PI * (440.0 + 220.0 * c) * j / 44100.0);
      if (bits == 8) {
        out.push_back(static_cast<uint8_t>(static_cast<int8_t>(std::lround(s * 127))));
      } else {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32767)));
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
      }
    }
  }
  return out;
}

}  // namespace zsftest
