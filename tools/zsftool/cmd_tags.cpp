// zsftool tags: prints a song's tags and sets, replaces or removes them through the
// same tag operations the plug-in uses.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "tools/zsftool/zsftool.h"
#include "ui/tags.h"

namespace {

struct TagsOptions {
  std::string file;
  std::vector<std::string> assignments;
  std::vector<std::string> removals;
};

struct Pair {
  std::string name;
  std::string value;
};

// Frees the list however the command leaves.
struct OwnedTags {
  TagList list;
  OwnedTags() { InitTagList(&list); }
  ~OwnedTags() { FreeTagList(&list); }
};

std::string Reason(const char* fallback) {
  return errno ? std::string(std::strerror(errno)) : std::string(fallback);
}

// Opens the file and checks that it ends in a valid tag block; an empty reason
// means it does. SONG tells whether it starts like a ZSF/ZTF song.
std::string Inspect(const std::string& path, bool* song) {
  errno = 0;
  StreamOwner stream(StreamOpenFile(path.c_str()));
  if (!stream) return "open: " + Reason("cannot open");
  char magic[3] = {0, 0, 0};
  *song = StreamRead(magic, sizeof magic, stream.get()) == 3 && std::memcmp(magic, "ZSF", 3) == 0;
  TagBlockPlace place;
  if (!FindTagBlock(stream.get(), &place)) return "tags: no valid tag block at the end (not a ZSF song?)";
  return std::string();
}

size_t TextLengthOf(const TagList& list) {
  size_t length = 0;
  char* text = SerializeTags(list.names, list.values, list.count, &length);
  std::free(text);
  return length;
}

std::string TooLong(size_t length) {
  return "tags: text too long (" + std::to_string(length) + " bytes; a tag block holds at most " +
         std::to_string(TagBlock::kMaxTextLength) + ")";
}

int Remove(const std::string& path, const std::vector<std::string>& names) {
  OwnedTags tags;
  if (ReadTags(path.c_str(), &tags.list) != 0) return zsftool::Fail(path + ": read tags: failed");
  for (const std::string& name : names)
    for (int32_t at; (at = FindTag(&tags.list, name.c_str())) >= 0;) RemoveTag(&tags.list, at);
  size_t length = TextLengthOf(tags.list);
  if (length > TagBlock::kMaxTextLength) return zsftool::Fail(path + ": " + TooLong(length));
  errno = 0;
  if (WriteTags(path.c_str(), tags.list.names, tags.list.values, tags.list.count) != 0)
    return zsftool::Fail(path + ": write: " + Reason("failed"));
  return 0;
}

int Set(const std::string& path, const std::vector<Pair>& pairs) {
  // What SetTags will store, measured first so that a refusal can say why.
  OwnedTags merged;
  if (ReadTags(path.c_str(), &merged.list) != 0) return zsftool::Fail(path + ": read tags: failed");
  for (const Pair& p : pairs) {
    int32_t at = FindTag(&merged.list, p.name.c_str());
    if (at >= 0) {
      std::free(merged.list.values[at]);
      merged.list.values[at] = strdup(p.value.c_str());
    } else {
      AddTag(&merged.list, p.name.c_str(), p.value.c_str());
    }
  }
  size_t length = TextLengthOf(merged.list);
  if (length > TagBlock::kMaxTextLength) return zsftool::Fail(path + ": " + TooLong(length));

  std::vector<const char*> names, values;
  for (const Pair& p : pairs) {
    names.push_back(p.name.c_str());
    values.push_back(p.value.c_str());
  }
  errno = 0;
  if (SetTags(path.c_str(), names.data(), values.data(), static_cast<int32_t>(pairs.size())) != 0)
    return zsftool::Fail(path + ": write: " + Reason("failed"));
  return 0;
}

int Print(const std::string& path) {
  OwnedTags tags;
  if (ReadTags(path.c_str(), &tags.list) != 0) return zsftool::Fail(path + ": read tags: failed");
  for (int32_t i = 0; i < tags.list.count; ++i)
    std::printf("%s=%s\n", tags.list.names[i], tags.list.values[i]);
  return 0;
}

int Tags(const TagsOptions& o) {
  std::vector<Pair> pairs;
  for (const std::string& a : o.assignments) {
    size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0)
      return zsftool::Fail(o.file + ": " + a + ": expected NAME=VALUE");
    Pair p{a.substr(0, eq), a.substr(eq + 1)};
    // A line feed would end the tag early and turn the rest into another tag.
    if (p.name.find('\n') != std::string::npos || p.value.find('\n') != std::string::npos)
      return zsftool::Fail(o.file + ": " + p.name + ": a tag cannot hold a line feed");
    pairs.push_back(std::move(p));
  }
  for (const std::string& name : o.removals)
    if (name.empty() || name.find('=') != std::string::npos)
      return zsftool::Fail(o.file + ": --remove " + name + ": expected a tag name");

  bool song = false;
  std::string problem = Inspect(o.file, &song);
  if (!problem.empty()) return zsftool::Fail(o.file + ": " + problem);
  bool changing = !pairs.empty() || !o.removals.empty();
  // A collection's end is its last entry; rewriting it would break the directory.
  if (changing && !song)
    return zsftool::Fail(o.file + ": check: not a ZSF/ZTF song (no \"ZSF\" magic); tags not changed");

  if (!o.removals.empty())
    if (int failed = Remove(o.file, o.removals)) return failed;
  if (!pairs.empty())
    if (int failed = Set(o.file, pairs)) return failed;
  return Print(o.file);
}

}  // namespace

ZSF_TOOL_COMMAND(tags) {
  auto options = std::make_shared<TagsOptions>();
  CLI::App* cmd = app.add_subcommand(
      "tags", "Print a song's tags; NAME=VALUE sets or replaces a tag, --remove NAME drops it");
  cmd->add_option("file", options->file, "ZSF song or ZTF tune")->required();
  cmd->add_option("assignments", options->assignments, "Tags to set, NAME=VALUE");
  cmd->add_option("--remove", options->removals, "Remove every tag of this name (repeatable)")
      ->allow_extra_args(false);
  cmd->callback([options, &exitCode] { exitCode = Tags(*options); });
}
