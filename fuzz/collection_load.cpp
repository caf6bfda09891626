// LoadCollection on a file holding the input, with and without a wanted list. A
// load that succeeds must describe only bytes the file holds, and loaded data must
// equal the file's bytes at the entry's offset; a memory-stream load must agree.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "collection/collection_stream.h"
#include "collection/zgm_writer.h"
#include "container/byte_stream.h"
#include "fuzz/fuzz_support.h"

namespace {

std::string ScratchFile() {
  return "/tmp/fuzz_collection_load." + std::to_string(getpid()) + ".zgm";
}

void Check(const Collection* c, const uint8_t* file, size_t size, bool allWanted) {
  for (uint32_t i = 0; i < c->count; ++i) {
    const CollectionEntry& e = c->entries[i];
    if (static_cast<uint64_t>(e.offset) + e.size > size) std::abort();
    if (allWanted && !e.data) std::abort();
    if (e.data && e.size && std::memcmp(e.data, file + e.offset, e.size) != 0) std::abort();
  }
  if (c->count > 666) std::abort();
}

void WriteSeed(const std::string& dir, const char* name, const ZgmContents& contents) {
  std::vector<uint8_t> bytes;
  std::string reason;
  if (EncodeZgm(contents, &bytes, &reason)) fuzzsupport::WriteSeed(dir, name, bytes);
}

ZgmEntrySource Entry(uint8_t kind, const char* name, size_t size, uint8_t fill) {
  ZgmEntrySource e;
  e.kind = kind;
  e.name = name;
  e.data.assign(size, fill);
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  ZgmContents empty;
  empty.info = "empty";
  WriteSeed(dir, "empty.zgm", empty);
  ZgmContents set;
  set.info = "pack, tunes and a text";
  set.entries.push_back(Entry(kEntrySamplePack, "pack", 40, 'P'));
  set.entries.push_back(Entry(kEntryTune, "intro", 20, 'T'));
  set.entries.push_back(Entry(kEntryText, "readme", 0, 0));
  set.entries.push_back(Entry(kEntryTune, "stage_01", 12, 'U'));
  WriteSeed(dir, "set.zgm", set);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = ScratchFile();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  Collection* all = CollectionCreate();
  uint32_t fromFile = LoadCollection(all, path.c_str(), 0, nullptr);
  if (fromFile == 0) Check(all, data, size, true);

  // The wanted list is taken from the input's last bytes: positions in and past range.
  uint32_t wanted[3] = {0, 0, 0};
  for (size_t i = 0; i < 3 && i < size; ++i) wanted[i] = data[size - 1 - i] % 8;
  Collection* some = CollectionCreate();
  uint32_t selective = LoadCollection(some, path.c_str(), 3, wanted);
  if (selective != fromFile) std::abort();  // wanting less never changes the verdict
  if (selective == 0) {
    Check(some, data, size, false);
    if (some->count != all->count) std::abort();
  }

  ByteStream* s = StreamOpenMemory(data, static_cast<uint32_t>(size), 0);
  Collection* mem = CollectionCreate();
  if (s && LoadCollectionFromStream(mem, s, 0, nullptr) != fromFile) std::abort();
  StreamClose(s);

  CollectionDestroy(mem);
  CollectionDestroy(some);
  CollectionDestroy(all);
  std::remove(path.c_str());
  return 0;
}
