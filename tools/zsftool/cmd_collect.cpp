// zsftool collect: packs tunes, their shared sample pack and texts into one ZGM
// collection. Entry order is the pack, then the tunes as given, then the texts.
// Modules and folders of modules become tunes on the way, sharing a pack of their
// own; ready tunes come with the pack they read their samples from.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "collection/zgm_writer.h"
#include "tools/zsftool/batch_report.h"
#include "tools/pack/module_folder.h"
#include "tools/zsftool/zsftool.h"

namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>* out, std::string* reason) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *reason = std::strerror(errno);
    return false;
  }
  out->assign(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) {
    *reason = "read error";
    return false;
  }
  return true;
}

// The entry name of a file: its name without folder and extension, cut to 8.
std::string EntryName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base.substr(0, 8);
}

// A cheap guard against swapped arguments: the first three bytes name the format.
bool Begins(const std::vector<uint8_t>& data, const char* magic3) {
  return data.size() >= 4 && std::memcmp(data.data(), magic3, 3) == 0;
}

struct CollectOptions {
  std::string output;
  std::string pack;
  std::string info;
  std::vector<std::string> texts;
  std::vector<std::string> tunes;
  bool compress = false;
  bool quiet = false;
};

// Whether PATH is a file beginning with the ZSF magic (a ready tune).
bool IsTuneFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[3] = {0, 0, 0};
  return in.read(magic, 3) && std::memcmp(magic, "ZSF", 3) == 0;
}

bool AddTexts(const CollectOptions& o, ZgmContents* contents, int* status) {
  std::string reason;
  for (const std::string& spec : o.texts) {
    size_t eq = spec.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == spec.size()) {
      *status = zsftool::Fail(spec + ": --text: expected NAME=FILE");
      return false;
    }
    ZgmEntrySource text;
    text.kind = kEntryText;
    text.name = spec.substr(0, eq).substr(0, 8);
    const std::string path = spec.substr(eq + 1);
    if (!ReadWhole(path, &text.data, &reason)) {
      *status = zsftool::Fail(path + ": read: " + reason);
      return false;
    }
    contents->entries.push_back(std::move(text));
  }
  return true;
}

// Modules and folders packed on the way: tunes and their pack go straight into
// the collection, nothing else is written.
int CollectModules(const CollectOptions& o, ZgmContents contents) {
  zsfpack::PackOptions pack;
  pack.tune = true;
  pack.compress = o.compress;
  pack.skipUnpackable = true;
  const std::string stem = zsfpack::SongStem(o.output);
  pack.packName = (stem.empty() ? std::string("set") : stem.substr(0, 22)) + ".zsp";

  zsftool::BatchReport report(o.quiet);
  zsfpack::ModuleListing listing;
  zsfpack::ListModules(o.tunes, &listing);
  report.Listed(listing);
  if (listing.modules.empty()) {
    report.Finish(0);
    return zsftool::Fail(listing.unreadable.empty() ? "no modules found in what was named" : "nothing packed");
  }
  report.Watch(&pack);
  zsfpack::PackResult result;
  zsfpack::PackError error;
  const bool packed = zsfpack::PackModuleFiles(listing.modules, pack, &result, &error);
  report.Packed(result);
  if (!packed) {
    report.Finish(0);
    return zsftool::Fail(error.Text() + "; nothing written");
  }
  contents.entries.push_back(ZgmEntrySource{kEntrySamplePack, EntryName(pack.packName), std::move(result.pack)});
  for (zsfpack::PackedSong& song : result.songs) {
    contents.entries.push_back(ZgmEntrySource{kEntryTune, EntryName(song.fileName), std::move(song.bytes)});
  }
  int status = 0;
  if (!AddTexts(o, &contents, &status)) {
    report.Finish(0);
    return status;
  }
  std::string reason;
  if (!WriteZgmFile(o.output, contents, &reason)) {
    report.Finish(0);
    return zsftool::Fail(o.output + ": write: " + reason + "; nothing written");
  }
  if (!report.quiet()) {
    std::printf("%s: %zu tunes sharing a pack of %u entries for %u samples\n", o.output.c_str(),
                result.songs.size(), result.entryCount, result.sampleCount);
  }
  return report.Finish(result.songs.size());
}

int Collect(const CollectOptions& o) {
  ZgmContents contents;
  contents.info = o.info;
  if (contents.info.size() > zgm::kInfoSize)
    return zsftool::Fail(o.output + ": info: longer than 100 characters");
  std::string reason;

  if (o.pack.empty()) {
    for (const std::string& path : o.tunes) {
      if (IsTuneFile(path))
        return zsftool::Fail(path + ": check: a ready tune needs the pack it reads its samples from (--pack)");
    }
    return CollectModules(o, std::move(contents));
  }

  ZgmEntrySource pack;
  pack.kind = kEntrySamplePack;
  pack.name = EntryName(o.pack);
  if (!ReadWhole(o.pack, &pack.data, &reason))
    return zsftool::Fail(o.pack + ": read: " + reason);
  if (!Begins(pack.data, "ZSP"))
    return zsftool::Fail(o.pack + ": check: not a ZSP sample pack (no \"ZSP\" magic)");
  contents.entries.push_back(std::move(pack));

  for (const std::string& path : o.tunes) {
    ZgmEntrySource tune;
    tune.kind = kEntryTune;
    tune.name = EntryName(path);
    if (!ReadWhole(path, &tune.data, &reason)) return zsftool::Fail(path + ": read: " + reason);
    if (!Begins(tune.data, "ZSF"))
      return zsftool::Fail(path + ": check: not a ZTF/ZSF tune (no \"ZSF\" magic); modules are packed on the "
                                  "way only into a collection of their own, without --pack");
    contents.entries.push_back(std::move(tune));
  }

  int status = 0;
  if (!AddTexts(o, &contents, &status)) return status;

  if (!WriteZgmFile(o.output, contents, &reason))
    return zsftool::Fail(o.output + ": write: " + reason);
  return 0;
}

}  // namespace

ZSF_TOOL_COMMAND(collect) {
  auto options = std::make_shared<CollectOptions>();
  CLI::App* cmd = app.add_subcommand(
      "collect",
      "Write a ZGM collection of tunes, their pack and texts. Ready tunes come with --pack; modules and "
      "folders of modules (without --pack) are packed on the way into tunes sharing a pack of their own, "
      "as zsftool pack would, with the same skips and exit status (0 all packed, 2 some skipped, 1 nothing "
      "written).");
  cmd->add_option("-o,--output", options->output, "Collection to write (SET.zgm)")->required();
  cmd->add_option("--pack", options->pack, "The ZSP sample pack the ready tunes share");
  cmd->add_option("--info", options->info, "Info text of the header (at most 100 characters)");
  cmd->add_option("--text", options->texts, "A text entry NAME=FILE (repeatable)")
      ->allow_extra_args(false);
  cmd->add_flag("--compress", options->compress, "Modules: LZO-compress the pack's entries");
  cmd->add_flag("-q,--quiet", options->quiet, "Modules: print only skipped modules and the summary");
  cmd->add_option("tunes", options->tunes, "ZTF tunes in track order, or modules and folders of modules")
      ->required();
  cmd->callback([options, &exitCode] { exitCode = Collect(*options); });
}
