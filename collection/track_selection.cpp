#include "collection/track_selection.h"

#include "collection/collection.h"
#include "collection/collection_address.h"  // kFirstTuneTrack

uint32_t TrackPosition(const Collection* collection, int32_t track) {
  if (track == kFirstTuneTrack) return FindEntryOfKind(collection, 0, kEntryTune);
  return track < 0 ? NotFound666 : static_cast<uint32_t>(track);
}

const CollectionEntry* PlayableEntry(const Collection* collection, int32_t track) {
  if (!collection || FindEntryOfKind(collection, 0, kEntrySamplePack) == NotFound666) return nullptr;
  const uint32_t position = TrackPosition(collection, track);
  if (position == NotFound666) return nullptr;
  const CollectionEntry* entry = GetEntry(collection, position);
  return entry && entry->data ? entry : nullptr;
}
