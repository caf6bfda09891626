#include "plugin/collection_playback.h"

#include <string>

#include "collection/collection.h"
#include "collection/collection_address.h"  // kFirstTuneTrack
#include "collection/track_selection.h"
#include "container/byte_stream.h"
#include "container/failure.h"
#include "plugin/playback_start.h"
#include "plugin/player_state.h"

void ReleaseCollection() {
  PlayerState& p = Player();
  // PackStream reads the collection's data in place, so it never outlives it.
  p.PackStream.reset();
  p.CurrentCollection.reset();
}

uint32_t StartCollection(const char* fileName) {
  PlayerState& p = Player();
  // Nothing may still be starting from the previous collection when it goes.
  StopDecodeThread();
  ReleaseCollection();
  if (!fileName) return 1;

  p.CurrentCollection.reset(CollectionCreate());
  Collection* collection = p.CurrentCollection.get();
  const CollectionEntry* pack = nullptr;
  if (collection && LoadCollection(collection, fileName, 0, nullptr, &p.PlayFailure) == 0) {
    pack = GetEntry(collection, FindEntryOfKind(collection, 0, kEntrySamplePack));
    if (!pack) Refuse(&p.PlayFailure, "collection", "it holds no sample pack");
  }
  if (pack && pack->data) p.PackStream.reset(StreamOpenMemory(pack->data, pack->size, 0));
  if (!p.PackStream || SelectTrack(kFirstTuneTrack) != 0) {
    ReleaseCollection();
    return 1;
  }
  return 0;
}

uint32_t SelectTrack(int32_t track) {
  StopDecodeThread();
  PlayerState& p = Player();
  const CollectionEntry* entry = PlayableEntry(p.CurrentCollection.get(), track);
  if (!entry || !p.PackStream) {
    // A collection that did not open has said why already.
    if (p.PlayFailure) return 1;
    return Refuse(&p.PlayFailure, "track",
                  track == kFirstTuneTrack ? std::string("the collection holds no tune")
                                           : "the collection has no entry " + std::to_string(track));
  }
  return StartEntryPlayback(*entry);
}
