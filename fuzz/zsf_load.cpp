// Fuzz target: a song and its sample pack, both from the input, through
// Song::LoadStream (ZsfFormat::Load with a supplied pack stream) and, when the song
// loads, the module image rebuild, twice (the results must agree). The first 4
// bytes give the song's length; the rest after the song is the pack.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "container/song.h"
#include "container/zsf_writer.h"
#include "samples/zsp_writer.h"
#include "tools/synth/module_synth.h"

namespace {

void WriteSeed(const std::string& dir, const std::string& name, const std::vector<uint8_t>& song,
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
void WriteModuleSeed(const std::string& dir, uint32_t kind, uint8_t major, uint8_t minor,
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  WriteModuleSeed(dir, 0, 2, 2, false);
  WriteModuleSeed(dir, 1, 2, 0, true);
  WriteModuleSeed(dir, 2, 1, 19, false);
  WriteModuleSeed(dir, 3, 1, 15, true);
  WriteModuleSeed(dir, 0, 1, 12, false);
  WriteModuleSeed(dir, 0, 0, 5, false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t songLength = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
  const size_t rest = size - 4;
  if (songLength > rest) songLength = static_cast<uint32_t>(rest);
  ByteStream* songStream = StreamOpenMemory(data + 4, songLength, 1);
  ByteStream* packStream = StreamOpenMemory(data + 4 + songLength, static_cast<uint32_t>(rest - songLength), 1);

  Song song;
  song.SetPackStream(packStream);
  uint32_t count = 0;
  if (song.LoadStream(songStream, &count, 4) == 0) {
    if (count != song.Body().sampleCount) std::abort();
    ModuleImage first{}, second{};
    uint32_t a = song.BuildModuleImage(&first);
    uint32_t b = song.BuildModuleImage(&second);
    if (a != b || first.size != second.size) std::abort();
    if (a == 0 && std::memcmp(first.data, second.data, first.size) != 0) std::abort();
    if (a != 0 && (first.data || first.size)) std::abort();
    std::free(first.data);
    std::free(second.data);
  } else if (song.Loaded() || song.Body().structure || song.Body().records) {
    std::abort();
  }
  StreamClose(songStream);
  StreamClose(packStream);
  return 0;
}
