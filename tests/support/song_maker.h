// Makes a song and its pack from a module description, in a test's folder, through
// the module packer (the same road as `zsftool pack`), and keeps the module image the
// song gives back so a test can render it with the engine directly.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/files.h"
#include "tools/synth/module_synth.h"

namespace zsftest {

struct SongOptions {
  uint32_t kind = 0;                 // 0 IT, 1 XM, 2 S3M, 3 MOD
  std::string password;              // non-empty: the pack is scrambled with it
  std::string packName;              // empty: <base>.zsp
  bool compress = false;             // LZO entry bodies
  bool vorbis = false;               // Vorbis-coded entries
  std::vector<std::pair<std::string, std::string>> tags;
};

struct MadeSong {
  bool ok = false;
  std::string error;
  std::string path;                  // the song file
  std::string packPath;              // the pack beside it
  uint32_t moduleKind = 0;
  std::vector<uint8_t> module;       // the module image the song rebuilds to
};

// Writes DIR/<BASE>.zsf and its pack. Failures are reported in the result.
MadeSong MakeSongFromSpec(const TempDir& dir, const std::string& base,
                          const zsfsynth::ModuleSpec& spec, const SongOptions& options = {});

// A song of ORDERS orders of 3.84 s each (IT unless OPTIONS say otherwise); a failure
// fails the test.
MadeSong MakeTestSong(const TempDir& dir, const std::string& base, int orders, const SongOptions& options = {});

// A one-order IT song with exactly the given tags, in that order.
MadeSong MakeTaggedSong(const TempDir& dir, const std::string& base,
                        const std::vector<std::pair<std::string, std::string>>& tags);

inline SongOptions Titled(const std::string& title) {
  SongOptions options;
  options.tags = {{"title", title}};
  return options;
}

}  // namespace zsftest
