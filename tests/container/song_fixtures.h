// Songs for the container tests, made with our own writers: a ZSP pack holding one
// raw PCM entry per sample, and a ZSF song naming those entries.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "container/song.h"
#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"

namespace zsftest {

struct TestSample {
  std::vector<uint8_t> pcm;
  uint8_t bits = 8;
  uint32_t offset = 0;
};

inline std::vector<uint8_t> MakePack(const std::vector<TestSample>& samples) {
  std::vector<ZspEntry> entries;
  for (const TestSample& s : samples) {
    ZspEntry e;
    e.kind = ZspEntry::Kind::Pcm;
    e.pcm = s.pcm;
    e.bits = s.bits;
    entries.push_back(e);
  }
  std::vector<uint8_t> pack;
  std::string error;
  EXPECT_TRUE(WriteZsp(entries, ZspWriteOptions{}, &pack, &error)) << error;
  return pack;
}

// A song of version MAJOR.MINOR whose sample i is pack entry i, copied unchanged.
inline ZsfSong MakeSong(uint8_t major, uint8_t minor, const std::string& extension,
                        const std::vector<uint8_t>& structure,
                        const std::vector<TestSample>& samples,
                        const std::string& packName = "shared.zsp") {
  ZsfSong song;
  song.major = major;
  song.minor = minor;
  song.packName = packName;
  song.moduleExtension = extension;
  song.structure = structure;
  for (size_t i = 0; i < samples.size(); ++i) {
    uint32_t size = static_cast<uint32_t>(samples[i].pcm.size());
    if (major >= 2) {
      song.sources.push_back(ZsfV2Source{static_cast<uint32_t>(i)});
      song.v2Samples.push_back(ZsfV2Sample{static_cast<uint32_t>(i), size, samples[i].offset});
    } else {
      ZsfV1Sample s;
      s.entry = static_cast<uint32_t>(i);
      s.size = size;
      s.offset = samples[i].offset;
      song.samples.push_back(s);
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

// Loads SONG_BYTES from memory with PACK as the supplied pack stream.
inline uint32_t LoadFromMemory(Song* song, const std::vector<uint8_t>& songBytes,
                               const std::vector<uint8_t>& pack, uint32_t* count = nullptr,
                               uint32_t kind = 4) {
  ByteStream* packStream = StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 1);
  ByteStream* songStream =
      StreamOpenMemory(songBytes.data(), static_cast<uint32_t>(songBytes.size()), 1);
  song->SetPackStream(packStream);
  uint32_t result = song->LoadStream(songStream, count, kind);
  song->SetPackStream(nullptr);
  StreamClose(songStream);
  StreamClose(packStream);
  return result;
}

inline std::vector<uint8_t> Rebuild(Song* song, uint32_t* result = nullptr) {
  ModuleImage image{};
  uint32_t r = song->BuildModuleImage(&image);
  if (result) *result = r;
  std::vector<uint8_t> bytes(image.data, image.data + image.size);
  std::free(image.data);
  return bytes;
}

// Bytes 0, 1, 2, ... (mod 251) so that misplaced bytes show.
inline std::vector<uint8_t> Ramp(size_t n, uint8_t start = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((start + i) % 251);
  return v;
}

}  // namespace zsftest
