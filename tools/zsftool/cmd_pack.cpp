// zsftool pack: modules in (named, or found in folders by their content), one song
// per module and one shared sample pack out.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "container/zsf_format.h"
#include "tools/zsftool/batch_report.h"
#include "tools/pack/module_folder.h"
#include "tools/pack/module_packer.h"
#include "tools/zsftool/zsftool.h"

namespace {

struct PackCommandOptions {
  std::vector<std::string> modules;
  std::string pack;
  std::string outDir;
  bool tune = false;
  std::string version = "2.2";
  std::string packVersion = "2.3";
  bool compress = false;
  std::string vorbis;
  std::string password;
  std::vector<std::string> tags;
  bool force = false;
  bool quiet = false;
};

int Failed(const std::string& path, const char* step, const std::string& reason) {
  return zsftool::Fail(path + ": " + step + ": " + reason);
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// The folder a path lies in, resolved, or empty when it does not exist yet.
std::string Resolved(const std::string& folder) {
  char buffer[PATH_MAX];
  return realpath(folder.c_str(), buffer) ? std::string(buffer) : std::string();
}

int Pack(const PackCommandOptions& c) {
  zsfpack::PackOptions o;
  if (!zsfpack::ParseVersion(c.version, &o.songMajor, &o.songMinor)) {
    return Failed("--version", "check", "\"" + c.version + "\" is not MAJOR.MINOR");
  }
  if (!zsfpack::ParseVersion(c.packVersion, &o.packMajor, &o.packMinor)) {
    return Failed("--pack-version", "check", "\"" + c.packVersion + "\" is not MAJOR.MINOR");
  }
  o.compress = c.compress;
  if (!c.vorbis.empty()) {
    char* end = nullptr;
    o.vorbisQuality = std::strtof(c.vorbis.c_str(), &end);
    if (!end || *end != '\0') return Failed("--vorbis", "check", "\"" + c.vorbis + "\" is not a number");
    o.vorbis = true;
  }
  o.password = c.password;
  o.tune = c.tune;
  for (const std::string& tag : c.tags) {
    size_t eq = tag.find('=');
    if (eq == std::string::npos) return Failed("--tag", "check", "\"" + tag + "\" is not NAME=VALUE");
    o.tags.emplace_back(tag.substr(0, eq), tag.substr(eq + 1));
  }

  // Songs find their pack beside them, so the pack must go into the output folder.
  std::string packPath = c.pack;
  size_t slash = c.pack.find_last_of('/');
  o.packName = slash == std::string::npos ? c.pack : c.pack.substr(slash + 1);
  if (slash == std::string::npos) {
    packPath = c.outDir + "/" + c.pack;
  } else {
    std::string packFolder = Resolved(slash == 0 ? "/" : c.pack.substr(0, slash));
    std::string outFolder = Resolved(c.outDir);
    if (packFolder.empty() || packFolder != outFolder) {
      return Failed(c.pack, "check", "the pack must lie in the output folder " + c.outDir +
                                         ", where the songs look for it");
    }
  }

  // Songs packed earlier read their samples from the pack by position: a new pack
  // in its place would leave them playing the wrong samples.
  if (!c.force && Exists(packPath)) {
    return Failed(packPath, "check",
                  "exists, and songs packed earlier read their samples from it (--force replaces it)");
  }

  zsftool::BatchReport report(c.quiet);
  zsfpack::ModuleListing listing;
  zsfpack::ListModules(c.modules, &listing);
  report.Listed(listing);
  const char* extension = c.tune ? ".ztf" : ".zsf";
  std::vector<zsfpack::ModuleSource> modules;
  for (const zsfpack::ModuleSource& m : listing.modules) {
    const std::string song = c.outDir + "/" + m.songStem + extension;
    if (!c.force && Exists(song)) {
      report.Skip({m.path, "check", "its song " + song + " exists (--force replaces it)"});
    } else {
      modules.push_back(m);
    }
  }
  if (modules.empty()) {
    report.Finish(0);
    return zsftool::Fail(listing.modules.empty() && listing.unreadable.empty()
                             ? "no modules found in what was named"
                             : "nothing packed");
  }

  o.skipUnpackable = true;
  report.Watch(&o);
  zsfpack::PackResult result;
  zsfpack::PackError error;
  const bool packed = zsfpack::PackModuleFiles(modules, o, &result, &error);
  report.Packed(result);
  if (!packed || !zsfpack::WritePackResult(result, c.outDir, packPath, &error)) {
    report.Finish(0);
    return zsftool::Fail(error.Text() + "; nothing written");
  }
  // Songs before the version that stores sample offsets cannot be rebuilt once they
  // hold samples: say so rather than leave songs behind that quietly do not play.
  if (!VersionAtLeast(o.songMajor, o.songMinor, kZsfSampleOffsetFrom)) {
    for (const zsfpack::PackedSong& song : result.songs) {
      if (song.sampleCount == 0) continue;
      std::fprintf(stderr, "zsftool: note: %s: songs of version %s hold no sample offsets (they came with %s), so "
                   "its %u samples cannot be played or exported\n",
                   (c.outDir + "/" + song.fileName).c_str(), VersionText({o.songMajor, o.songMinor}).c_str(),
                   VersionText(kZsfSampleOffsetFrom).c_str(), song.sampleCount);
    }
  }
  if (!report.quiet()) {
    for (const zsfpack::PackedSong& song : result.songs) {
      std::printf("%s: %u samples, from %s\n", (c.outDir + "/" + song.fileName).c_str(), song.sampleCount,
                  song.source.c_str());
    }
    std::printf("%s: %u entries for %u samples, %llu bytes of samples in %zu bytes\n", packPath.c_str(),
                result.entryCount, result.sampleCount,
                static_cast<unsigned long long>(result.rawSampleBytes), result.pack.size());
  }
  return report.Finish(result.songs.size());
}

}  // namespace

ZSF_TOOL_COMMAND(pack) {
  auto options = std::make_shared<PackCommandOptions>();
  CLI::App* cmd = app.add_subcommand(
      "pack",
      "Make songs of modules (IT, XM, S3M, MOD) sharing one sample pack. A module's kind comes from its "
      "content, whatever its name; a folder gives every module under it, in the order of their paths. "
      "A module that cannot be packed is skipped with its reason, and the rest are packed. Exit status: "
      "0 all packed, 2 some skipped (the rest written), 1 nothing written.");
  cmd->add_option("modules", options->modules, "Modules and folders of modules")->required();
  cmd->add_option("--pack", options->pack, "The sample pack to write (PACK.zsp, in the output folder)")
      ->required();
  cmd->add_option("-o,--output", options->outDir, "Folder for the songs and the pack")->required();
  cmd->add_flag("--tune", options->tune, "Write ZTF tune files instead of ZSF songs");
  cmd->add_option("--version", options->version, "Song version (0.x, 1.x, 2.0 to 2.2; default 2.2)");
  cmd->add_option("--pack-version", options->packVersion, "Pack version (0.x, 1.x, 2.0 to 2.3; default 2.3)");
  cmd->add_flag("--compress", options->compress, "LZO-compress the pack's entries");
  cmd->add_option("--vorbis", options->vorbis, "Code samples with Vorbis at QUALITY (-0.1 .. 1.0)");
  cmd->add_option("--password", options->password, "Scramble the pack with this password");
  cmd->add_option("--tag", options->tags, "Add or replace a tag of every song (NAME=VALUE)");
  cmd->add_flag("--force", options->force,
                "Replace the pack and songs that exist (without it, an existing pack stops the run and a "
                "module whose song exists is skipped)");
  cmd->add_flag("-q,--quiet", options->quiet,
                "Print only skipped modules and the summary (progress shows only on a terminal anyway)");
  cmd->callback([options, &exitCode] { exitCode = Pack(*options); });
}
