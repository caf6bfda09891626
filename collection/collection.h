// Collection: the entries of a ZGM file in memory, each with its kind, name,
// size, offset in the file and (when loaded) its bytes.
#pragma once
#include <cstdint>
#include <memory>

#include "collection/zgm_format.h"

struct Failure;

struct CollectionEntry {
  uint8_t* data;    // owned (malloc); null when the data was not loaded
  uint32_t size;    // data size as declared, also when the data was not loaded
  char name[8];     // NUL-padded; a name of 8 characters has no terminator
  uint8_t kind;     // EntryKind
  uint32_t offset;  // position of the data in the collection file
};

struct Collection {
  uint32_t count;
  CollectionEntry* entries;  // count entries in file order (malloc)
  char info[100];            // header info text, NUL-padded
};

// An empty collection; null when out of memory.
Collection* CollectionCreate();
// ClearCollection, then frees the entries array and the record. Null is allowed.
void CollectionDestroy(Collection* collection);

// Appends the entries of file NAME. With WANTED (N positions) only those entries'
// data is read and the rest skipped; without it every entry's data is read. Every
// entry keeps its declared size. Returns 0, or 1 when the file cannot be opened,
// the magic is not "ZGM1" (any ASCII case), it holds more than 666 entries, or it
// is shorter than its header and declared sizes say; then the collection is left
// as it was, and FAILURE (may be null) names the step and the reason.
uint32_t LoadCollection(Collection* collection, const char* name, uint32_t n,
                        const uint32_t* wanted, Failure* failure = nullptr);

// The entry at POSITION, or null when POSITION is not below count.
const CollectionEntry* GetEntry(const Collection* collection, uint32_t position);

// Position of the N-th (0-based) entry of KIND, or NotFound666.
uint32_t FindEntryOfKind(const Collection* collection, uint32_t n, uint8_t kind);

// Frees every entry's data; count becomes 0. Null is allowed.
void ClearCollection(Collection* collection);

// A collection held by its owner: destroyed when the owner goes.
struct CollectionDestroyer {
  void operator()(Collection* c) const { CollectionDestroy(c); }
};
using CollectionOwner = std::unique_ptr<Collection, CollectionDestroyer>;
