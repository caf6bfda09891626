// Which entry of a collection a track number names: the one rule shared by playback
// and by the playlist's file information.
#pragma once
#include <cstdint>

struct Collection;
struct CollectionEntry;

// The position TRACK names in COLLECTION: kFirstTuneTrack the first tune, another
// negative number none. NotFound666 when there is none.
uint32_t TrackPosition(const Collection* collection, int32_t track);

// The entry TRACK names, ready to play: null without a collection, when the
// collection holds no sample pack (no tune plays without one), or when the position
// holds no entry data. The entry's kind is not checked: a pack or a text named here
// fails later as a song that does not load.
const CollectionEntry* PlayableEntry(const Collection* collection, int32_t track);
