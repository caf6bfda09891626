// Reads ZGM collections into a Collection. The file is trusted for nothing: every
// declared size is checked against what the stream still holds before anything is
// allocated for it, and a file that ends early is refused as a whole, so a
// collection never lists entries the file does not hold.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "collection/collection_stream.h"
#include "container/ascii_case.h"
#include "container/byte_cursor.h"
#include "container/byte_stream.h"
#include "container/failure.h"

namespace {

bool IsWanted(uint32_t position, uint32_t n, const uint32_t* wanted) {
  if (!wanted) return true;
  for (uint32_t i = 0; i < n; ++i)
    if (wanted[i] == position) return true;
  return false;
}

uint32_t Remaining(const ByteStream* s) {
  return s->position < s->size ? s->size - s->position : 0;
}

// Grows the array to hold EXTRA more entries; false when memory runs out.
bool Reserve(Collection* c, uint32_t extra) {
  size_t want = static_cast<size_t>(c->count) + extra;
  auto* grown = static_cast<CollectionEntry*>(
      std::realloc(c->entries, (want ? want : 1) * sizeof(CollectionEntry)));
  if (!grown) return false;
  c->entries = grown;
  return true;
}

void FreeEntries(std::vector<CollectionEntry>& staged) {
  for (CollectionEntry& e : staged) std::free(e.data);
  staged.clear();
}

std::string Number(uint64_t n) { return std::to_string(n); }

// Refuses entry I (its staged predecessors are freed).
uint32_t RefuseEntry(Failure* failure, std::vector<CollectionEntry>& staged, uint32_t i, std::string reason) {
  FreeEntries(staged);
  return Refuse(failure, ("entry " + Number(i)).c_str(), std::move(reason));
}

}  // namespace

Collection* CollectionCreate() {
  return static_cast<Collection*>(std::calloc(1, sizeof(Collection)));
}

void CollectionDestroy(Collection* collection) {
  if (!collection) return;
  ClearCollection(collection);
  std::free(collection->entries);
  std::free(collection);
}

void ClearCollection(Collection* collection) {
  if (!collection) return;
  for (uint32_t i = 0; i < collection->count; ++i) {
    std::free(collection->entries[i].data);
    collection->entries[i].data = nullptr;
  }
  collection->count = 0;
}

const CollectionEntry* GetEntry(const Collection* collection, uint32_t position) {
  if (!collection || position >= collection->count) return nullptr;
  return &collection->entries[position];
}

uint32_t FindEntryOfKind(const Collection* collection, uint32_t n, uint8_t kind) {
  if (!collection) return NotFound666;
  for (uint32_t i = 0; i < collection->count; ++i) {
    if (collection->entries[i].kind != kind) continue;
    if (n == 0) return i;
    --n;
  }
  return NotFound666;
}

uint32_t LoadCollectionFromStream(Collection* collection, ByteStream* s, uint32_t n,
                                  const uint32_t* wanted, Failure* failure) {
  uint8_t header[zgm::kHeaderSize];
  if (StreamRead(header, zgm::kMagicSize, s) != static_cast<int32_t>(zgm::kMagicSize) ||
      !SameIgnoringAsciiCase(reinterpret_cast<const char*>(header), zgm::kMagic, zgm::kMagicSize))
    return Refuse(failure, "header", "not a ZGM collection (no \"ZGM1\" magic)");
  const uint32_t rest = zgm::kHeaderSize - zgm::kMagicSize;
  if (StreamRead(header + zgm::kMagicSize, rest, s) != static_cast<int32_t>(rest)) {
    return Refuse(failure, "header",
                  "the file ends after " + Number(s->size) + " bytes, inside the " + Number(zgm::kHeaderSize) +
                      "-byte header");
  }

  ByteCursor head(header, sizeof header);
  head.skip(zgm::kMagicSize + 2);  // magic, then two bytes nobody checks
  char info[zgm::kInfoSize];
  head.bytes(info, sizeof info);
  const uint32_t count = head.u32();
  if (!head.ok()) return Refuse(failure, "header", "the header cannot be read");
  // Refused before anything is allocated: too many entries for 666 to mean "not
  // found", or more entry headers than the file could hold.
  if (count > zgm::kMaxEntries || collection->count + count > zgm::kMaxEntries) {
    return Refuse(failure, "header",
                  Number(count) + " entries declared" +
                      (collection->count ? ", after " + Number(collection->count) + " already held" : "") +
                      "; a collection holds at most " + Number(zgm::kMaxEntries));
  }
  if (static_cast<uint64_t>(count) * zgm::kEntryHeaderSize > Remaining(s)) {
    return Refuse(failure, "header",
                  Number(count) + " entry headers of " + Number(zgm::kEntryHeaderSize) + " bytes need " +
                      Number(uint64_t{count} * zgm::kEntryHeaderSize) + " bytes, but the file holds " +
                      Number(Remaining(s)) + " more");
  }

  // Entries are staged so that a file refused halfway leaves the collection as it was.
  std::vector<CollectionEntry> staged;
  staged.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t raw[zgm::kEntryHeaderSize];
    if (StreamRead(raw, sizeof raw, s) != static_cast<int32_t>(sizeof raw)) {
      return RefuseEntry(failure, staged, i, "the file ends inside its header at offset " + Number(s->position));
    }
    ByteCursor field(raw, sizeof raw);
    CollectionEntry e{};
    e.kind = field.u8();
    field.bytes(e.name, sizeof e.name);
    e.size = field.u32();
    e.offset = s->position;
    // The data must lie wholly inside the file before a byte is allocated for it.
    if (e.size > Remaining(s)) {
      return RefuseEntry(failure, staged, i,
                         "its " + Number(e.size) + " bytes of data at offset " + Number(e.offset) +
                             " run past the end of the file (" + Number(s->size) + " bytes)");
    }
    if (IsWanted(i, n, wanted)) {
      e.data = static_cast<uint8_t*>(std::malloc(e.size ? e.size : 1));
      if (!e.data ||
          (e.size && static_cast<uint32_t>(StreamRead(e.data, e.size, s)) != e.size)) {
        const bool memory = !e.data;
        std::free(e.data);
        return RefuseEntry(failure, staged, i,
                           memory ? "out of memory for " + Number(e.size) + " bytes"
                                  : "its data at offset " + Number(e.offset) + " cannot be read");
      }
    } else if (e.size <= 0x7FFFFFFFu) {
      StreamSkip(static_cast<int32_t>(e.size), s);
    } else {
      StreamSeek(s->position + e.size, s);  // cannot wrap: checked against the size above
    }
    staged.push_back(e);
  }

  if (!Reserve(collection, count)) {
    FreeEntries(staged);
    return Refuse(failure, "entries", "out of memory for " + Number(count) + " entries");
  }
  if (count) std::memcpy(collection->entries + collection->count, staged.data(),
                         count * sizeof(CollectionEntry));
  collection->count += count;
  std::memcpy(collection->info, info, sizeof info);
  return 0;
}

uint32_t LoadCollection(Collection* collection, const char* name, uint32_t n,
                        const uint32_t* wanted, Failure* failure) {
  StreamOwner s(StreamOpenFile(name));
  if (!s) return Refuse(failure, "open", std::strerror(errno));
  return LoadCollectionFromStream(collection, s.get(), n, wanted, failure);
}
