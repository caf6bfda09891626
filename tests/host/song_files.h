// Songs made by our own writers for the player's tests, and the WAV files it writes.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/byte_cursor.h"
#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"
#include "support/files.h"
#include "tools/synth/module_synth.h"

// The IT module of SPEC as song NAME titled TITLE in DIR, with its samples in a
// pack named PACK beside it.
inline void MakeSong(const zsftest::TempDir& dir, const std::string& name, const std::string& pack,
                     const zsfsynth::ModuleSpec& spec, const std::string& title) {
  zsfsynth::ModuleFile module;
  std::string error;
  ASSERT_TRUE(zsfsynth::WriteModule(spec, 0, &module, &error)) << error;
  std::vector<SampleSpan> spans;
  std::vector<ZspEntry> entries;
  for (const zsfsynth::WrittenSample& s : module.samples) {
    spans.push_back(SampleSpan{s.offset, s.bytes});
    ZspEntry e;
    e.kind = ZspEntry::Kind::Pcm;
    e.pcm = s.pcm;
    e.bits = s.bits;
    entries.push_back(e);
  }
  ZsfSong song;
  song.packName = pack;
  std::vector<uint32_t> offsets;
  ASSERT_TRUE(CutModuleImage(module.bytes, spans, &song.structure, &offsets, &error)) << error;
  for (size_t i = 0; i < spans.size(); ++i) {
    song.sources.push_back(ZsfV2Source{uint32_t(i)});
    song.v2Samples.push_back(ZsfV2Sample{uint32_t(i), uint32_t(entries[i].pcm.size()), offsets[i]});
  }
  song.tagText = "title=" + title + "\n";
  std::vector<uint8_t> bytes, packBytes;
  ASSERT_TRUE(WriteZsf(song, &bytes, &error)) << error;
  ASSERT_TRUE(WriteZsp(entries, ZspWriteOptions{}, &packBytes, &error)) << error;
  zsftest::WriteFile(dir.file(name), bytes);
  zsftest::WriteFile(dir.file(pack), packBytes);
}

struct Wav {
  uint16_t format = 0, channels = 0, bits = 0;
  uint32_t rate = 0, dataSize = 0;
  std::vector<uint8_t> pcm;
  bool ok = false;
};

inline Wav ReadWav(const std::string& path) {
  std::vector<uint8_t> bytes = zsftest::ReadFile(path);
  Wav w;
  ByteCursor c(bytes.data(), bytes.size());
  bool tags = c.u32() == 0x46464952 /* RIFF */ && (c.u32(), c.u32() == 0x45564157 /* WAVE */) &&
              c.u32() == 0x20746d66 /* fmt  */ && c.u32() == 16;
  w.format = c.u16();
  w.channels = c.u16();
  w.rate = c.u32();
  c.u32();
  c.u16();
  w.bits = c.u16();
  tags = tags && c.u32() == 0x61746164 /* data */;
  w.dataSize = c.u32();
  const uint8_t* data = c.span(w.dataSize);
  w.ok = tags && c.ok() && data;
  if (w.ok) w.pcm.assign(data, data + w.dataSize);
  return w;
}

