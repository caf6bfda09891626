// Playing the tunes of a ZGM collection: StartCollection loads a collection as the
// player's CurrentCollection and opens its first sample pack as PackStream;
// SelectTrack plays one of its entries.
#pragma once
#include <cstdint>

// Loads FILE_NAME (every entry's data) in place of any previous collection, opens
// its first sample pack and plays its first tune. 0 when that tune plays, else 1;
// after a failure no collection is kept.
uint32_t StartCollection(const char* fileName);

// Stops the decode thread, then plays the entry at TRACK of CurrentCollection (-1:
// the first tune). 1 without a collection, without a sample pack, for a position
// outside the collection or an entry that does not play as a song.
uint32_t SelectTrack(int32_t track);

// Destroys CurrentCollection and closes PackStream, which borrows its data (for
// Quit and for failed starts). Safe to call when there is none.
void ReleaseCollection();
