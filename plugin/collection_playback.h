// The player's collection: StartCollection loads a ZGM collection as CurrentCollection
// and opens its sample pack as PackStream; SelectTrack plays one of its entries.
#pragma once
#include <cstdint>

// Loads FILE_NAME (every entry's data) in place of any previous collection, opens
// its first sample pack and plays its first tune. 0 when that tune plays, else 1;
// after a failure no collection is kept.
uint32_t StartCollection(const char* fileName);

// Stops the decode thread, then plays the entry TRACK names in CurrentCollection
// (kFirstTuneTrack: the first tune). 1 when nothing playable is named.
uint32_t SelectTrack(int32_t track);

// Destroys CurrentCollection and closes PackStream, which borrows its data (for
// Quit, Init and failed starts). Safe to call when there is none.
void ReleaseCollection();
