#include "support/song_maker.h"

#include <gtest/gtest.h>

#include "tools/pack/module_packer.h"
#include "ui/tags.h"

namespace zsftest {

namespace {

const char* ExtensionOf(uint32_t kind) {
  switch (kind) {
    case 0: return ".it";
    case 1: return ".xm";
    case 2: return ".s3m";
    default: return ".mod";
  }
}

}  // namespace

MadeSong MakeSongFromSpec(const TempDir& dir, const std::string& base,
                          const zsfsynth::ModuleSpec& spec, const SongOptions& options) {
  MadeSong made;
  zsfsynth::ModuleFile module;
  if (!zsfsynth::WriteModule(spec, options.kind, &module, &made.error)) return made;

  zsfpack::PackOptions pack;
  pack.password = options.password;
  pack.compress = options.compress;
  pack.vorbis = options.vorbis;
  pack.packName = options.packName.empty() ? base + ".zsp" : options.packName;
  pack.tags = options.tags;
  zsfpack::PackResult result;
  zsfpack::PackError error;
  std::vector<zsfpack::ModuleInput> inputs{{dir.file(base + ExtensionOf(options.kind)), module.bytes}};
  if (!zsfpack::PackModules(inputs, pack, &result, &error) || result.songs.size() != 1) {
    made.error = error.Text();
    return made;
  }
  const zsfpack::PackedSong& song = result.songs[0];
  made.path = dir.file(song.fileName);
  made.packPath = dir.file(pack.packName);
  made.moduleKind = song.moduleKind;
  made.module = song.module;
  WriteFile(made.path, song.bytes);
  WriteFile(made.packPath, result.pack);
  made.ok = true;
  return made;
}

MadeSong MakeTestSong(const TempDir& dir, const std::string& base, int orders, const SongOptions& options) {
  MadeSong song = MakeSongFromSpec(dir, base, zsfsynth::BasicSpec(options.kind, 2, orders), options);
  EXPECT_TRUE(song.ok) << song.error;
  return song;
}

MadeSong MakeTaggedSong(const TempDir& dir, const std::string& base,
                        const std::vector<std::pair<std::string, std::string>>& tags) {
  MadeSong song = MakeTestSong(dir, base, 1);
  std::string text;
  for (const auto& [name, value] : tags) text += name + "=" + value + "\n";
  EXPECT_EQ(WriteTagText(song.path.c_str(), text.c_str()), 0u);
  return song;
}

}  // namespace zsftest
