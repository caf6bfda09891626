// LoadCollection on a file holding the input, with and without a wanted list. A
// load that succeeds must describe only bytes the file holds, and loaded data must
// equal the file's bytes at the entry's offset; a memory-stream load must agree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "collection/collection_stream.h"
#include "collection/zgm_format.h"
#include "collection/zgm_writer.h"
#include "container/byte_stream.h"
#include "fuzz/fuzz_support.h"

namespace {

void Check(const Collection* c, const uint8_t* file, size_t size, bool allWanted) {
  for (uint32_t i = 0; i < c->count; ++i) {
    const CollectionEntry& e = c->entries[i];
    if (static_cast<uint64_t>(e.offset) + e.size > size) std::abort();
    if (allWanted && !e.data) std::abort();
    if (e.data && e.size && std::memcmp(e.data, file + e.offset, e.size) != 0) std::abort();
  }
  if (c->count > zgm::kMaxEntries) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  ZgmContents empty{"empty", {}}, set{"pack, tunes and a text", {}};
  set.entries = {{kEntrySamplePack, "pack", std::vector<uint8_t>(40, 'P')},
                 {kEntryTune, "intro", std::vector<uint8_t>(20, 'T')},
                 {kEntryText, "readme", {}},
                 {kEntryTune, "stage_01", std::vector<uint8_t>(12, 'U')}};
  std::vector<uint8_t> bytes;
  std::string reason;
  for (const auto& [name, contents] : {std::pair{"empty.zgm", &empty}, std::pair{"set.zgm", &set}})
    if (EncodeZgm(*contents, &bytes, &reason)) fuzzsupport::WriteSeed(dir, name, bytes);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzsupport::ScratchPath("collection_load.zgm");
  fuzzsupport::WriteScratch(path, data, size);

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
