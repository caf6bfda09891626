#include "container/module_format.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "container/file_kind.h"

uint32_t ModuleFormat::LocateSamples(const uint8_t*, uint32_t, std::vector<uint32_t>*) {
  return 1;
}

static void FreeSaved(SampleRecord* saved, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) std::free(saved[i].data);
  std::free(saved);
}

ModuleFormat::~ModuleFormat() { FreeSaved(saved_, savedCount_); }

uint32_t ModuleFormat::RestoreSamples(SongBody* body) {
  if (!saved_) return 0;
  for (uint32_t i = 0; i < savedCount_ && i < body->sampleCount; ++i) {
    SampleRecord& record = body->records[i];
    // The saved buffer holds the raw bytes at the record's size: hand it back
    // instead of copying it over the converted one.
    if (saved_[i].data) {
      std::free(record.data);
      record.data = saved_[i].data;
      saved_[i].data = nullptr;
    }
  }
  FreeSaved(saved_, savedCount_);
  saved_ = nullptr;
  savedCount_ = 0;
  return 0;
}

uint32_t ModuleFormat::ConvertSamples(void (*convert)(const uint8_t*, uint8_t*, uint32_t, bool),
                                      SongBody* body) {
  FreeSaved(saved_, savedCount_);
  saved_ = nullptr;
  savedCount_ = 0;
  if (!body->records || body->sampleCount == 0) return 0;
  auto* saved = static_cast<SampleRecord*>(std::calloc(body->sampleCount, sizeof(SampleRecord)));
  if (!saved) return 1;
  saved_ = saved;
  savedCount_ = body->sampleCount;
  for (uint32_t i = 0; i < body->sampleCount; ++i) {
    SampleRecord& record = body->records[i];
    saved[i] = record;
    const bool sixteenBit = record.bits == 16;
    record.frames = sixteenBit ? record.size / 2 : record.size;
    if (!record.data) continue;
    auto* converted = static_cast<uint8_t*>(std::malloc(record.size ? record.size : 1));
    if (!converted) {
      saved[i].data = nullptr;  // still the body's
      RestoreSamples(body);
      return 1;
    }
    convert(saved[i].data, converted, record.size, sixteenBit);
    record.data = converted;
  }
  return 0;
}

uint32_t S3mFormat::EncodeSamples(ModuleImage*, SongBody* body) {
  return ConvertSamples(FlipSampleSign, body);
}

uint32_t XmFormat::EncodeSamples(ModuleImage*, SongBody* body) {
  return ConvertSamples(DeltaEncodeSample, body);
}

uint32_t S3mFormat::EncodeSampleInPlace(uint8_t* sample, uint32_t size, bool sixteenBit) {
  FlipSampleSignInPlace(sample, size, sixteenBit);
  return 0;
}

uint32_t XmFormat::EncodeSampleInPlace(uint8_t* sample, uint32_t size, bool sixteenBit) {
  DeltaEncodeSampleInPlace(sample, size, sixteenBit);
  return 0;
}

ModuleFormat* CreateFormat(uint32_t fileKind) {
  switch (fileKind) {
    case kFileKindIt: return new (std::nothrow) ItFormat;
    case kFileKindXm: return new (std::nothrow) XmFormat;
    case kFileKindS3m: return new (std::nothrow) S3mFormat;
    case kFileKindMod: return new (std::nothrow) ModFormat;
    case kFileKindZsf:
    case kFileKindZtf: return new (std::nothrow) ZsfFormat;
    default: return nullptr;
  }
}
