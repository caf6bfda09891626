// What the fuzz targets share: seed inputs written into $ZSF_FUZZ_SEEDS by our own
// writers, the song-and-pack input (4 bytes of song length, the song, then the pack),
// and rendering a loaded module a few blocks as the decode thread sets it up.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "container/byte_stream.h"
#include "container/zsf_format.h"
#include "container/zsf_writer.h"
#include "engine/engine.h"
#include "samples/zsp_writer.h"
#include "tools/synth/module_synth.h"

namespace fuzzsupport {

// DIR/NAME holding PREFIX then BYTES; nothing for an empty BYTES (a writer refused).
inline void WriteSeed(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes,
                      const std::vector<uint8_t>& prefix = {}) {
  if (bytes.empty()) return;
  if (FILE* f = std::fopen((dir + "/" + name).c_str(), "wb")) {
    if (!prefix.empty()) std::fwrite(prefix.data(), 1, prefix.size(), f);  // fwrite wants a buffer, even for 0 bytes
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

inline void WriteSeed(const std::string& dir, const std::string& name, const std::string& text) {
  WriteSeed(dir, name, std::vector<uint8_t>(text.begin(), text.end()));
}

// A file of this process for the readers that take a name: PATH holding DATA, and back.
inline std::string ScratchPath(const std::string& target) {
  return "/tmp/fuzz_" + target + "." + std::to_string(getpid());
}
inline void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) std::abort();
}
inline std::vector<uint8_t> ReadScratch(const std::string& path) {
  std::vector<uint8_t> out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) std::abort();
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return out;
}

inline std::vector<uint8_t> Synth(const zsfsynth::ModuleSpec& spec, uint32_t kind) {
  zsfsynth::ModuleFile file;
  std::string error;
  return zsfsynth::WriteModule(spec, kind, &file, &error) ? file.bytes : std::vector<uint8_t>();
}

// A saw of FRAMES, interleaved CHANNELS, signed PCM of BITS, with a little noise.
inline std::vector<uint8_t> Tone(size_t frames, uint8_t bits, uint8_t channels) {
  std::vector<uint8_t> out;
  uint32_t seed = 99;
  for (size_t j = 0; j < frames * channels; ++j) {
    seed = seed * 1103515245u + 12345u;
    const int v = (static_cast<int>((j * 37) % 200) - 100 + static_cast<int>(seed >> 28)) * (bits == 16 ? 100 : 1);
    out.push_back(static_cast<uint8_t>(v));
    if (bits == 16) out.push_back(static_cast<uint8_t>(v >> 8));
  }
  return out;
}

// A small module of KIND cut into a song of MAJOR.MINOR and its pack, as one input.
inline void WriteSongSeed(const std::string& dir, uint32_t kind, uint8_t major, uint8_t minor, bool compress) {
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
    entries.emplace_back();
    entries.back().kind = ZspEntry::Kind::Pcm;
    entries.back().pcm = s.pcm;
    entries.back().bits = s.bits;
  }
  ZsfSong song;
  song.major = major;
  song.minor = minor;
  song.packName = "fuzz.zsp";
  song.moduleExtension = kExtensions[kind];
  song.tagText = "title=fuzz\n";
  std::vector<uint32_t> offsets;
  if (!CutModuleImage(module.bytes, spans, &song.structure, &offsets, &error)) return;
  for (uint32_t i = 0; i < spans.size(); ++i) {
    if (VersionAtLeast(major, minor, kZsfV2BodyFrom)) {
      ZsfV2Source source;
      source.entry = i;
      source.code = i % 2;
      song.sources.push_back(source);
      song.v2Samples.push_back(ZsfV2Sample{i, spans[i].length, offsets[i]});
    } else {
      ZsfV1Sample sample;
      sample.entry = i;
      sample.size = spans[i].length;
      sample.offset = VersionAtLeast(major, minor, kZsfSampleOffsetFrom) ? offsets[i] : 0;
      if (VersionAtLeast(major, minor, kZsfDerivationFieldsFrom)) sample.volume = i % 2 ? 50 : 100;
      song.samples.push_back(sample);
    }
  }
  if (major == 1 && VersionAtLeast(major, minor, kZsfExtraEntriesFrom)) song.extraEntries = {0};
  std::vector<uint8_t> songBytes, pack;
  ZspWriteOptions options;
  options.compress = compress;
  if (!WriteZsf(song, &songBytes, &error) || !WriteZsp(entries, options, &pack, &error)) return;
  std::vector<uint8_t> length(4);
  for (int i = 0; i < 4; ++i) length[i] = static_cast<uint8_t>(songBytes.size() >> (8 * i));
  songBytes.insert(songBytes.end(), pack.begin(), pack.end());
  WriteSeed(dir, "song_" + std::to_string(kind) + "_" + std::to_string(major) + "_" + std::to_string(minor),
            songBytes, length);
}

inline void WriteSongSeeds(const std::string& dir) {
  WriteSongSeed(dir, 0, 2, 2, false);
  WriteSongSeed(dir, 1, 2, 0, true);
  WriteSongSeed(dir, 2, 1, 19, false);
  WriteSongSeed(dir, 3, 1, 15, true);
  WriteSongSeed(dir, 0, 1, 12, false);
  WriteSongSeed(dir, 1, 0, 5, false);
}

// Splits a song-and-pack input into its two streams.
struct SongInput {
  ByteStream* song = nullptr;
  ByteStream* pack = nullptr;
  SongInput(const uint8_t* data, size_t size) {
    uint32_t length = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    if (length > size - 4) length = static_cast<uint32_t>(size - 4);
    song = StreamOpenMemory(data + 4, length, 1);
    pack = StreamOpenMemory(data + 4 + length, static_cast<uint32_t>(size - 4 - length), 1);
  }
  ~SongInput() {
    StreamClose(song);
    StreamClose(pack);
  }
};

// Touches every mixed sample, so the sanitizers see reads of what the mixer handed over.
inline void TouchMix(void*, int32_t** samples, int channels, long frames) {
  [[maybe_unused]] static volatile int32_t sink;
  if (frames < 0 || frames > 1024 || channels < 1 || channels > 2 || (frames > 0 && !samples)) std::abort();
  int32_t sum = 0;
  for (long i = 0; i < frames * channels; ++i) sum ^= samples[0][i];
  sink = sum;
}

inline void RenderBlocks(DUH* module, int channels, int32_t position, int blocks, int bits) {
  DUH_SIGRENDERER* renderer = EngineStartRenderer(module, channels, position);
  ConfigureRenderer(renderer);
  EngineSetRenderHook(renderer, TouchMix, nullptr);
  static uint8_t buffer[1024 * 2 * 2];
  for (int i = 0; i < blocks; ++i) {
    long frames = EngineRender(renderer, bits, bits == 8, 0.8f, 65536.0f / 44100.0f, 1024, buffer);
    if (frames < 0 || frames > 1024) std::abort();
    if (frames == 0) break;
  }
  EngineEndRenderer(renderer);
}

// From the start, then renderers started into the song, at its end and past it
// (seeks interleaved with rendering catch state bugs loading alone does not).
inline void RenderAround(DUH* module, int32_t extra) {
  const int32_t length = EngineGetLength(module);
  if (length < 0 && length != kEngineLengthUnknown) std::abort();
  RenderBlocks(module, 2, 0, 3, 16);
  RenderBlocks(module, 1, length / 2, 2, 8);
  RenderBlocks(module, 2, length, 1, 16);
  RenderBlocks(module, 2, length + 65536, 1, 16);
  RenderBlocks(module, 1, extra, 2, 8);
}

}  // namespace fuzzsupport
