// Shared helpers of the sample tests: load packs made by our writer from memory.
#pragma once
#include <gtest/gtest.h>

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

inline std::vector<uint8_t> Bytes(const SampleRecord& r) {
  return r.data ? std::vector<uint8_t>(r.data, r.data + r.size) : std::vector<uint8_t>();
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

inline std::vector<uint8_t> MakePack(const std::vector<ZspEntry>& entries,
                                     const ZspWriteOptions& options) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(WriteZsp(entries, options, &out, &error)) << error;
  return out;
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

// A ramp of N bytes that is not all one value, so misplaced bytes show.
inline std::vector<uint8_t> Ramp(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return v;
}

// Signed 16-bit sine PCM, CHANNELS interleaved (right channel at a different pitch).
std::vector<uint8_t> SinePcm(size_t frames, uint8_t bits, uint8_t channels, double amplitude = 0.5);

}  // namespace zsftest
