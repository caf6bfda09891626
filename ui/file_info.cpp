#include "ui/file_info.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "collection/collection.h"
#include "collection/collection_address.h"
#include "collection/track_selection.h"
#include "container/byte_stream.h"
#include "ui/tags.h"
#include "ui/titles.h"

int StoredLengthToMs(const char* value) {
  if (!value) return kUnknownLengthMs;
  // atoi's reading (blanks, sign, digits up to the first non-digit), without its
  // undefined behaviour on overflow.
  const char* p = value;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long seconds = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    seconds = seconds * 10 + (*p - '0');
    if (seconds > INT_MAX / 1000) return kUnknownLengthMs;
  }
  if (negative || seconds <= 0) return kUnknownLengthMs;
  return static_cast<int>(seconds * 1000);
}

void GetSongFileInfo(const char* file, char* title, int* lengthMs, const PlayerSettings& settings,
                     int (*computeLengthMs)(const char* file)) {
  // One read of the trailer serves both the title and the length.
  uint16_t textLength = 0;
  char* text = file ? ReadTagText(file, &textLength) : nullptr;

  if (title) FormatTitleFromText(text, textLength, settings.TitleOutput, title, kHostTitleSize);

  if (lengthMs) {
    *lengthMs = kUnknownLengthMs;
    TagList tags;
    InitTagList(&tags);
    if (text) ParseTagText(text, textLength, &tags);
    int32_t at = FindTag(&tags, "length");
    if (at >= 0) {
      *lengthMs = StoredLengthToMs(tags.values[at]);
    } else if (settings.LoadLen && computeLengthMs && file) {
      *lengthMs = computeLengthMs(file);
    }
    FreeTagList(&tags);
  }
  std::free(text);
}

void GetCollectionTrackInfo(const char* name, char* title, int* lengthMs, const PlayerSettings& settings) {
  CollectionAddress address = ParseCollectionAddress(name);
  CollectionOwner heads(CollectionCreate());
  // First the entry heads only (an empty wanted list), to find the wanted position.
  static const uint32_t kNothing = 0;
  if (!heads || LoadCollection(heads.get(), address.file.c_str(), 0, &kNothing) != 0) return;
  uint32_t position = TrackPosition(heads.get(), address.track);
  CollectionOwner loaded;
  const CollectionEntry* entry = nullptr;
  if (GetEntry(heads.get(), position)) {
    loaded.reset(CollectionCreate());
    if (loaded && LoadCollection(loaded.get(), address.file.c_str(), 1, &position) == 0)
      entry = GetEntry(loaded.get(), position);
  }
  heads.reset();

  StreamOwner owned(entry && entry->data ? StreamOpenMemory(entry->data, entry->size, 0) : nullptr);
  ByteStream* stream = owned.get();
  TagList tags;
  InitTagList(&tags);
  if (stream) ReadTags(stream, &tags);

  if (title) {
    if (stream) {
      FormatTitle(&tags, settings.TitleOutput, title, kHostTitleSize);
    } else {
      std::snprintf(title, kHostTitleSize, "%s", name);
    }
  }
  if (lengthMs) {
    *lengthMs = kUnknownLengthMs;
    int32_t at = stream ? FindTag(&tags, "length") : -1;
    // A collection track is never loaded for its length.
    if (at >= 0) *lengthMs = StoredLengthToMs(tags.values[at]);
  }
  FreeTagList(&tags);
}
