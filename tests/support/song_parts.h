// Sample packs and songs put together field by field with our own ZSP and ZSF
// writers and loaded back from memory, for tests of the readers and the rebuild at
// any version; and synthesised modules cut into such songs.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "container/song.h"
#include "container/zsf_format.h"
#include "container/zsf_writer.h"
#include "samples/sample_store.h"
#include "samples/zsp_reader.h"
#include "samples/zsp_writer.h"
#include "tools/synth/module_synth.h"

namespace zsftest {

// Bytes START, START+1, ... (mod 251), so that misplaced bytes show.
inline std::vector<uint8_t> Ramp(size_t n, uint8_t start = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((start + i) % 251);
  return v;
}

inline std::vector<uint8_t> Bytes(const SampleRecord& r) {
  return r.data ? std::vector<uint8_t>(r.data, r.data + r.size) : std::vector<uint8_t>();
}

inline ZspEntry Pcm(std::vector<uint8_t> bytes, uint8_t bits = 16, const std::string& name = "", uint8_t attribute = 0,
                    uint32_t value = 0) {
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

inline std::vector<uint8_t> MakePack(const std::vector<ZspEntry>& entries, const ZspWriteOptions& options = {}) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(WriteZsp(entries, options, &out, &error)) << error;
  return out;
}

// PACK loaded into a fresh store with PASSWORD_KEY; RESULT receives the load's code.
inline SampleStoreOwner LoadPack(const std::vector<uint8_t>& pack, const std::vector<uint32_t>* wanted = nullptr,
                         uint32_t passwordKey = 0, uint32_t* result = nullptr) {
  SampleStoreOwner store(SampleStoreCreate());
  SampleStoreSetKey(store.get(), passwordKey);
  StreamOwner stream(StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 0));
  uint32_t rc = SampleStoreLoad(store.get(), stream.get(), wanted ? wanted->data() : nullptr,
                                wanted ? static_cast<uint16_t>(wanted->size()) : 0);
  if (result) *result = rc;
  return store;
}

// Signed sine PCM of BITS, CHANNELS interleaved (each channel at another pitch).
inline std::vector<uint8_t> SinePcm(size_t frames, uint8_t bits, uint8_t channels, double amplitude = 0.5) {
  std::vector<uint8_t> out;
  for (size_t j = 0; j < frames * channels; ++j) {
    const double s = amplitude * std::sin(2.0 * M_PI * (440.0 + 220.0 * double(j % channels)) * double(j / channels) / 44100.0);
    const int v = static_cast<int>(std::lround(s * (bits == 8 ? 127 : 32767)));
    out.push_back(static_cast<uint8_t>(v));
    if (bits == 16) out.push_back(static_cast<uint8_t>(v >> 8));
  }
  return out;
}

struct TestSample {
  std::vector<uint8_t> pcm;
  uint8_t bits = 8;
  uint32_t offset = 0;
};

inline std::vector<uint8_t> MakePack(const std::vector<TestSample>& samples) {
  std::vector<ZspEntry> entries;
  for (const TestSample& s : samples) entries.push_back(Pcm(s.pcm, s.bits));
  return MakePack(entries);
}

// A song of version MAJOR.MINOR whose sample i is pack entry i, copied unchanged.
inline ZsfSong MakeZsf(uint8_t major, uint8_t minor, const std::string& extension, const std::vector<uint8_t>& structure,
                       const std::vector<TestSample>& samples, const std::string& packName = "shared.zsp") {
  ZsfSong song;
  song.major = major;
  song.minor = minor;
  song.packName = packName;
  song.moduleExtension = extension;
  song.structure = structure;
  for (uint32_t i = 0; i < samples.size(); ++i) {
    const auto size = static_cast<uint32_t>(samples[i].pcm.size());
    if (VersionAtLeast(major, minor, kZsfV2BodyFrom)) {
      song.sources.push_back(ZsfV2Source{i});
      song.v2Samples.push_back(ZsfV2Sample{i, size, samples[i].offset});
    } else {
      song.samples.emplace_back();
      song.samples.back().entry = i;
      song.samples.back().size = size;
      song.samples.back().offset = samples[i].offset;
    }
  }
  return song;
}

inline std::vector<uint8_t> SongBytes(const ZsfSong& song) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(WriteZsf(song, &bytes, &error)) << error;
  return bytes;
}

// A synthesised module cut into its structure and its samples (with their offsets).
struct CutModule {
  std::vector<uint8_t> module, structure;
  std::vector<TestSample> samples;
};

inline CutModule Cut(const zsfsynth::ModuleSpec& spec, uint32_t kind) {
  CutModule out;
  zsfsynth::ModuleFile module;
  std::string error;
  EXPECT_TRUE(zsfsynth::WriteModule(spec, kind, &module, &error)) << error;
  out.module = module.bytes;
  std::vector<SampleSpan> spans;
  for (const zsfsynth::WrittenSample& s : module.samples) spans.push_back(SampleSpan{s.offset, s.bytes});
  std::vector<uint32_t> offsets;
  EXPECT_TRUE(CutModuleImage(module.bytes, spans, &out.structure, &offsets, &error)) << error;
  for (size_t i = 0; i < offsets.size(); ++i) out.samples.push_back(TestSample{module.samples[i].pcm, module.samples[i].bits, offsets[i]});
  return out;
}

// Loads SONG_BYTES from memory with PACK as the supplied pack stream.
inline uint32_t LoadFromMemory(Song* song, const std::vector<uint8_t>& songBytes, const std::vector<uint8_t>& pack,
                               uint32_t* count = nullptr, uint32_t kind = 4) {
  StreamOwner packStream(StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 1));
  StreamOwner songStream(StreamOpenMemory(songBytes.data(), static_cast<uint32_t>(songBytes.size()), 1));
  song->SetPackStream(packStream.get());
  const uint32_t result = song->LoadStream(songStream.get(), count, kind);
  song->SetPackStream(nullptr);
  return result;
}

inline std::vector<uint8_t> Rebuild(Song* song, uint32_t* result = nullptr) {
  ModuleImage image{};
  const uint32_t r = song->BuildModuleImage(&image);
  if (result) *result = r;
  std::vector<uint8_t> bytes(image.data, image.data + image.size);
  std::free(image.data);
  return bytes;
}

}  // namespace zsftest
