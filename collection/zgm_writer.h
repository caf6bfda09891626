// Writes ZGM collections (for zsftool collect, tests and fuzz seeds; the plug-in
// only reads them).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "collection/zgm_format.h"

struct ZgmEntrySource {
  uint8_t kind = kEntryText;  // EntryKind, or any other value for a text
  std::string name;           // cut to 8 characters
  std::vector<uint8_t> data;
};

struct ZgmContents {
  std::string info;  // cut to 100 characters
  std::vector<ZgmEntrySource> entries;
};

// The collection's file bytes. False (with REASON) for more than 666 entries or
// sizes that do not fit the format's 32-bit fields.
bool EncodeZgm(const ZgmContents& contents, std::vector<uint8_t>* out, std::string* reason);

// Writes the collection to PATH through a temporary file beside it that is renamed
// over PATH only once it is complete, so PATH is never left half-written.
bool WriteZgmFile(const std::string& path, const ZgmContents& contents, std::string* reason);
