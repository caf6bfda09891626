// Makes a song and its pack from a module description, in a test's folder, through
// the module packer (the same road as `zsftool pack`), keeping the module image the
// song gives back so a test can render it with the engine directly.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "container/zsf_format.h"
#include "support/files.h"
#include "tools/pack/module_packer.h"
#include "tools/synth/module_synth.h"
#include "ui/tags.h"

namespace zsftest {

struct SongOptions {
  uint32_t kind = 0;                 // 0 IT, 1 XM, 2 S3M, 3 MOD
  std::string password;              // non-empty: the pack is scrambled with it
  bool vorbis = false;               // Vorbis-coded entries
  std::vector<std::pair<std::string, std::string>> tags;
  FormatVersion version = kZsfHighestAccepted;  // the song's
};

struct MadeSong {
  bool ok = false;
  std::string error, path, packPath;  // the song file and the pack beside it
  uint32_t moduleKind = 0;
  std::vector<uint8_t> module;       // the module image the song rebuilds to
};

// Writes DIR/<BASE>.zsf and DIR/<BASE>.zsp. Failures are reported in the result.
inline MadeSong MakeSongFromSpec(const TempDir& dir, const std::string& base, const zsfsynth::ModuleSpec& spec,
                                 const SongOptions& options = {}) {
  static const char* const kExtensions[] = {".it", ".xm", ".s3m", ".mod"};
  MadeSong made;
  zsfsynth::ModuleFile module;
  if (!zsfsynth::WriteModule(spec, options.kind, &module, &made.error)) return made;
  zsfpack::PackOptions pack;
  pack.password = options.password;
  pack.vorbis = options.vorbis;
  pack.packName = base + ".zsp";
  pack.tags = options.tags;
  pack.songMajor = options.version.major;
  pack.songMinor = options.version.minor;
  zsfpack::PackResult result;
  zsfpack::PackError error;
  if (!zsfpack::PackModules({{dir.file(base + kExtensions[options.kind & 3]), module.bytes}}, pack, &result, &error) ||
      !zsfpack::WritePackResult(result, dir.path(), dir.file(pack.packName), &error)) {
    made.error = error.Text();
    return made;
  }
  made = {true, "", dir.file(result.songs[0].fileName), dir.file(pack.packName), result.songs[0].moduleKind, result.songs[0].module};
  return made;
}

// A song of ORDERS orders of 3.84 s each (IT unless OPTIONS say otherwise); a failure fails the test.
inline MadeSong MakeTestSong(const TempDir& dir, const std::string& base, int orders, const SongOptions& options = {}) {
  MadeSong song = MakeSongFromSpec(dir, base, zsfsynth::BasicSpec(options.kind, 2, orders), options);
  EXPECT_TRUE(song.ok) << song.error;
  return song;
}

// A one-order IT song with exactly the given tags, in that order.
inline MadeSong MakeTaggedSong(const TempDir& dir, const std::string& base,
                               const std::vector<std::pair<std::string, std::string>>& tags) {
  MadeSong song = MakeTestSong(dir, base, 1);
  std::string text;
  for (const auto& [name, value] : tags) text += name + "=" + value + "\n";
  EXPECT_EQ(0u, WriteTagText(song.path.c_str(), text.c_str()));
  return song;
}

inline SongOptions Titled(const std::string& title) {
  SongOptions options;
  options.tags = {{"title", title}};
  return options;
}

}  // namespace zsftest
