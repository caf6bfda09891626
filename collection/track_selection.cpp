#include "collection/track_selection.h"

#include "collection/collection.h"
#include "container/byte_stream.h"
#include "plugin/playback_control.h"
#include "plugin/player_state.h"

namespace {

void DropCollection() {
  PlayerState& p = Player();
  CollectionDestroy(p.CurrentCollection);
  p.CurrentCollection = nullptr;
}

}  // namespace

uint32_t StartCollection(const char* file) {
  PlayerState& p = Player();
  // The previous collection's pack stream borrows its data: it goes first.
  StopDecodeThread();
  StreamClose(p.PackStream);
  p.PackStream = nullptr;
  DropCollection();
  p.CurrentCollection = CollectionCreate();
  if (!p.CurrentCollection) return 1;
  if (LoadCollection(p.CurrentCollection, file, 0, nullptr) != 0) {
    DropCollection();
    return 1;
  }
  const uint32_t pack = FindEntryOfKind(p.CurrentCollection, 0, kEntrySamplePack);
  const CollectionEntry* entry = GetEntry(p.CurrentCollection, pack);
  if (!entry || (!entry->data && entry->size)) {
    DropCollection();
    return 1;
  }
  p.PackStream = StreamOpenMemory(entry->data, entry->size, 0);
  if (!p.PackStream) {
    DropCollection();
    return 1;
  }
  if (SelectTrack(-1) != 0) {
    StreamClose(p.PackStream);
    p.PackStream = nullptr;
    DropCollection();
    return 1;
  }
  return 0;
}

uint32_t SelectTrack(int32_t track) {
  PlayerState& p = Player();
  StopDecodeThread();
  if (!p.CurrentCollection) return 1;
  uint32_t position;
  if (track == -1) {
    position = FindEntryOfKind(p.CurrentCollection, 0, kEntryTune);
    if (position == NotFound666) return 1;
  } else if (track < 0) {
    return 1;
  } else {
    position = static_cast<uint32_t>(track);
  }
  if (FindEntryOfKind(p.CurrentCollection, 0, kEntrySamplePack) == NotFound666) return 1;
  const CollectionEntry* entry = GetEntry(p.CurrentCollection, position);
  if (!entry) return 1;
  return StartEntryPlayback(*entry);
}
