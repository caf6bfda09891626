#include "tools/zsftool/collection_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "container/byte_stream.h"
#include "container/failure.h"
#include "ui/tags.h"

namespace {

int Failed(const std::string& path, const char* step, const std::string& reason) {
  std::fprintf(stderr, "zsftool: %s: %s: %s\n", path.c_str(), step, reason.c_str());
  return 1;
}

std::string KindName(uint8_t kind) {
  if (kind == kEntryTune) return "tune";
  if (kind == kEntrySamplePack) return "pack";
  return "text(" + std::to_string(kind) + ")";
}

std::string FixedText(const char* text, size_t width) {
  return std::string(text, strnlen(text, width));
}

// A tune's tags, read from its own TagBlock inside the entry, and its stored length.
void PrintTuneTags(const CollectionEntry& e) {
  StreamOwner s(StreamOpenMemory(e.data, e.size, 0));
  TagList tags;
  InitTagList(&tags);
  if (!s || ReadTags(s.get(), &tags) != 0) {
    std::printf("        tags: none readable\n");
  } else {
    for (int32_t t = 0; t < tags.count; ++t)
      std::printf("        %s=%s\n", tags.names[t], tags.values[t]);
    int32_t at = FindTag(&tags, "length");
    if (at >= 0 && std::atoi(tags.values[at]) > 0)
      std::printf("        stored length: %d s\n", std::atoi(tags.values[at]));
    else
      std::printf("        stored length: none\n");
  }
  FreeTagList(&tags);
}

}  // namespace

int PrintCollectionInfo(const std::string& path) {
  // First only the entry headers, then the data of the tunes alone: a large pack
  // is never read just to list it.
  CollectionOwner headers(CollectionCreate());
  const uint32_t none = 0;
  if (!headers) return Failed(path, "load", "out of memory");
  Failure refused;
  if (LoadCollection(headers.get(), path.c_str(), 0, &none, &refused) != 0)
    return Failed(path, refused.step.c_str(), refused.reason);
  std::vector<uint32_t> tunes;
  for (uint32_t i = 0; i < headers->count; ++i)
    if (headers->entries[i].kind == kEntryTune) tunes.push_back(i);

  CollectionOwner loaded(CollectionCreate());
  if (!loaded) return Failed(path, "load", "out of memory");
  if (LoadCollection(loaded.get(), path.c_str(), static_cast<uint32_t>(tunes.size()),
                     tunes.empty() ? &none : tunes.data(), &refused) != 0)
    return Failed(path, refused.step.c_str(), refused.reason);

  const Collection* c = loaded.get();
  std::printf("%s: ZGM collection, %u entries\n", path.c_str(), c->count);
  std::printf("info: %s\n", FixedText(c->info, sizeof c->info).c_str());
  for (uint32_t i = 0; i < c->count; ++i) {
    const CollectionEntry& e = c->entries[i];
    std::printf("%4u  %-8s  %-8s  %u bytes\n", i, KindName(e.kind).c_str(),
                FixedText(e.name, sizeof e.name).c_str(), e.size);
    if (e.kind == kEntryTune && e.data) PrintTuneTags(e);
  }
  return 0;
}
