#include "ui/get_file_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "collection/collection.h"
#include "collection/collection_address.h"
#include "container/byte_stream.h"
#include "plugin/player_state.h"
#include "ui/file_info.h"
#include "ui/player_settings.h"
#include "ui/song_length.h"
#include "ui/tags.h"
#include "ui/titles.h"

namespace {

const PlayerSettings& Settings() {
  const PlayerState& p = Player();
  return p.Settings ? *p.Settings : TheSettings;
}

// The collection branch: only the wanted entry's data is read from the file.
void GetCollectionInfo(const char* name, char* title, int* lengthMs) {
  CollectionAddress address = ParseCollectionAddress(name);
  Collection* collection = CollectionCreate();
  if (!collection) return;
  // First the entry heads only (an empty wanted list), to find the wanted position.
  static const uint32_t kNothing = 0;
  if (LoadCollection(collection, address.file.c_str(), 0, &kNothing) != 0) {
    CollectionDestroy(collection);
    return;
  }
  uint32_t position = address.track >= 0 ? static_cast<uint32_t>(address.track)
                                         : FindEntryOfKind(collection, 0, kEntryTune);
  const CollectionEntry* head = address.track < -1 ? nullptr : GetEntry(collection, position);
  Collection* loaded = nullptr;
  const CollectionEntry* entry = nullptr;
  if (head) {
    loaded = CollectionCreate();
    if (loaded && LoadCollection(loaded, address.file.c_str(), 1, &position) == 0)
      entry = GetEntry(loaded, position);
  }
  CollectionDestroy(collection);

  ByteStream* stream = entry && entry->data ? StreamOpenMemory(entry->data, entry->size, 0) : nullptr;
  TagList tags;
  InitTagList(&tags);
  if (stream) ReadTags(stream, &tags);

  if (title) {
    if (stream) {
      FormatTitle(&tags, Settings().TitleOutput, title, kHostTitleSize);
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
  StreamClose(stream);
  CollectionDestroy(loaded);
}

}  // namespace

void GetFileInfo(const char* file, char* title, int* lengthMs) {
  const PlayerState& p = Player();
  const char* name = file && file[0] ? file : p.SongName;
  if (std::strlen(name) < 2) name = p.PlayName;
  if (IsCollectionAddress(name)) {
    GetCollectionInfo(name, title, lengthMs);
    return;
  }
  GetSongFileInfo(name, title, lengthMs, Settings(), &ComputeSongLengthMs);
}
