#include "collection/track_selection.h"

#include "collection/collection.h"
#include "collection/collection_address.h"  // kFirstTuneTrack
#include "container/byte_stream.h"
#include "plugin/playback_control.h"
#include "plugin/player_state.h"

void ReleaseCollection() {
  PlayerState& p = Player();
  // PackStream reads the collection's data in place, so it never outlives it.
  StreamClose(p.PackStream);
  p.PackStream = nullptr;
  CollectionDestroy(p.CurrentCollection);
  p.CurrentCollection = nullptr;
}

uint32_t StartCollection(const char* fileName) {
  PlayerState& p = Player();
  // Nothing may still be starting from the previous collection when it goes.
  StopDecodeThread();
  ReleaseCollection();
  if (!fileName) return 1;

  p.CurrentCollection = CollectionCreate();
  if (!p.CurrentCollection) return 1;
  if (LoadCollection(p.CurrentCollection, fileName, 0, nullptr) != 0) {
    ReleaseCollection();
    return 1;
  }
  const CollectionEntry* pack =
      GetEntry(p.CurrentCollection, FindEntryOfKind(p.CurrentCollection, 0, kEntrySamplePack));
  if (!pack || !pack->data) {
    ReleaseCollection();
    return 1;
  }
  p.PackStream = StreamOpenMemory(pack->data, pack->size, 0);
  if (!p.PackStream || SelectTrack(kFirstTuneTrack) != 0) {
    ReleaseCollection();
    return 1;
  }
  return 0;
}

uint32_t SelectTrack(int32_t track) {
  StopDecodeThread();
  PlayerState& p = Player();
  const Collection* c = p.CurrentCollection;
  if (!c) return 1;
  uint32_t position;
  if (track == kFirstTuneTrack) {
    position = FindEntryOfKind(c, 0, kEntryTune);
    if (position == NotFound666) return 1;
  } else if (track < 0) {
    return 1;
  } else {
    position = static_cast<uint32_t>(track);
  }
  if (FindEntryOfKind(c, 0, kEntrySamplePack) == NotFound666 || !p.PackStream) return 1;
  const CollectionEntry* entry = GetEntry(c, position);
  if (!entry || !entry->data) return 1;
  return StartEntryPlayback(*entry);
}
