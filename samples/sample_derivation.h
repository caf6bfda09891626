// Building a song's samples out of pack entries: copy, reverse, cut, join, gain.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "samples/sample_store.h"

struct DerivedSample {
  uint32_t size;
  uint8_t* data;  // owned (malloc), or the target; null on failure
  uint16_t aux8;
  uint16_t bits;  // 8 = 8-bit, any other value 16-bit
  uint8_t coded;
  uint32_t storedSize;
  uint32_t aux32;
  // Set by the caller before deriving: the sample is written into TARGET (the caller's,
  // never freed here) instead of a new buffer, and the derivation fails unless it makes
  // exactly TARGET_SIZE bytes.
  uint8_t* target = nullptr;
  uint32_t targetSize = 0;
};

// One source entry of a version-2 song body.
struct SampleSource {
  uint32_t entry;     // pack entry index
  uint32_t reserved;  // always 0
  uint8_t code;       // transform code
  uint32_t a;         // first parameter
  uint32_t b;         // second parameter
  float gain;
};

struct SampleSourceTable {
  std::vector<SampleSource> sources;
  std::vector<uint32_t> sampleSources;  // per song sample: its source index
};
uint32_t SampleSourceTableAppendSource(SampleSourceTable* table, const SampleSource& source);
uint32_t SampleSourceTableAppendSample(SampleSourceTable* table, uint32_t sourceIndex);

// 0, or 1 with OUT holding no data and the reason in WHY (may be null).
uint32_t DeriveSample(const SampleStore* store, DerivedSample* out, uint32_t entry,
                      uint8_t transform, uint32_t parameter, uint8_t volumePercent, std::string* why = nullptr);
uint32_t DeriveSampleFromSource(const SampleStore* store, DerivedSample* out, uint32_t entry,
                                uint8_t transform, uint32_t a, uint32_t b, float gain,
                                const SampleSourceTable* table, std::string* why = nullptr);

// The most bytes SOURCE can derive to, found without deriving it: its entry's size for
// a copy, reverse or cut, the measured size of a join; 0 where it cannot be derived.
uint64_t DerivedSizeBound(const SampleStore* store, const SampleSource& source, const SampleSourceTable* table);

int32_t ReadSampleForward(const uint8_t*& cursor, uint32_t width);
int32_t ReadSampleBackward(const uint8_t*& cursor, uint32_t width);
void WriteSampleForward(uint8_t*& cursor, uint32_t width, int32_t value);
