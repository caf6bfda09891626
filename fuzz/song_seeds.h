// Seed inputs for the fuzz targets that take a song and its pack in one input (the
// first 4 bytes give the song's length, the rest after the song is the pack), made
// with our own writers from small synthesised modules.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"
#include "tools/synth/module_synth.h"

namespace fuzzseeds {

inline void WriteSeed(const std::string& dir, const std::string& name,
                      const std::vector<uint8_t>& song,
                      const std::vector<uint8_t>& pack) {
  FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
  if (!f) return;
  uint8_t length[4];
  for (int i = 0; i < 4; ++i) length[i] = static_cast<uint8_t>(song.size() >> (8 * i));
  std::fwrite(length, 1, 4, f);
  std::fwrite(song.data(), 1, song.size(), f);
  std::fwrite(pack.data(), 1, pack.size(), f);
  std::fclose(f);
}

// A small synthesised module of KIND cut into a song of MAJOR.MINOR and its pack.
inline void WriteModuleSeed(const std::string& dir, uint32_t kind, uint8_t major, uint8_t minor,
                     bool compressPack) {
  static const char* const kExtensions[] = {".IT", ".XM", ".S3M", ".MOD"};
  zsfsynth::ModuleSpec spec = zsfsynth::BasicSpec(kind, 2, 1);
  for (zsfsynth::SampleSpec& s : spec.samples) s.frames = 64;
  zsfsynth::ModuleFile module;
  std::string error;
  if (!zsfsynth::WriteModule(spec, kind, &module, &error)) return;
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
  song.major = major;
  song.minor = minor;
  song.packName = "fuzz.zsp";
  song.moduleExtension = kExtensions[kind];
  std::vector<uint32_t> offsets;
  if (!CutModuleImage(module.bytes, spans, &song.structure, &offsets, &error)) return;
  for (size_t i = 0; i < spans.size(); ++i) {
    if (major >= 2) {
      ZsfV2Source source;
      source.entry = static_cast<uint32_t>(i);
      source.code = i % 2 ? 1 : 0;
      song.sources.push_back(source);
      song.v2Samples.push_back(ZsfV2Sample{static_cast<uint32_t>(i), spans[i].length, offsets[i]});
    } else {
      ZsfV1Sample sample;
      sample.entry = static_cast<uint32_t>(i);
      sample.size = spans[i].length;
      sample.offset = major == 1 && minor >= 12 ? offsets[i] : 0;  // stored from 1.12
      if (major == 1 && minor >= 15) sample.volume = i % 2 ? 50 : 100;
      song.samples.push_back(sample);
    }
  }
  if (major == 1 && minor >= 19) song.extraEntries = {0};
  song.tagText = "title=fuzz\n";
  std::vector<uint8_t> songBytes, pack;
  ZspWriteOptions options;
  options.compress = compressPack;
  if (!WriteZsf(song, &songBytes, &error) || !WriteZsp(entries, options, &pack, &error)) return;
  WriteSeed(dir, "song_" + std::to_string(kind) + "_" + std::to_string(major) + "_" + std::to_string(minor), songBytes,
            pack);
}

}  // namespace fuzzseeds
