// zsftool collect: packs tunes, their shared sample pack and texts into one ZGM
// collection. Entry order is the pack, then the tunes as given, then the texts.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "collection/zgm_writer.h"
#include "tools/zsftool.h"

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
};

int Collect(const CollectOptions& o) {
  ZgmContents contents;
  contents.info = o.info;
  if (contents.info.size() > zgm::kInfoSize)
    return zsftool::Fail(o.output + ": info: longer than 100 characters");
  std::string reason;

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
      return zsftool::Fail(path + ": check: not a ZTF/ZSF tune (no \"ZSF\" magic)");
    contents.entries.push_back(std::move(tune));
  }

  for (const std::string& spec : o.texts) {
    size_t eq = spec.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == spec.size())
      return zsftool::Fail(spec + ": --text: expected NAME=FILE");
    ZgmEntrySource text;
    text.kind = kEntryText;
    text.name = spec.substr(0, eq).substr(0, 8);
    const std::string path = spec.substr(eq + 1);
    if (!ReadWhole(path, &text.data, &reason)) return zsftool::Fail(path + ": read: " + reason);
    contents.entries.push_back(std::move(text));
  }

  if (!WriteZgmFile(o.output, contents, &reason))
    return zsftool::Fail(o.output + ": write: " + reason);
  return 0;
}

}  // namespace

ZSF_TOOL_COMMAND(collect) {
  auto options = std::make_shared<CollectOptions>();
  CLI::App* cmd = app.add_subcommand("collect", "Write a ZGM collection of tunes, their pack and texts");
  cmd->add_option("-o,--output", options->output, "Collection to write (SET.zgm)")->required();
  cmd->add_option("--pack", options->pack, "The ZSP sample pack the tunes share")->required();
  cmd->add_option("--info", options->info, "Info text of the header (at most 100 characters)");
  cmd->add_option("--text", options->texts, "A text entry NAME=FILE (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("tunes", options->tunes, "ZTF tunes, in track order")->required();
  cmd->callback([options, &exitCode] { exitCode = Collect(*options); });
}
