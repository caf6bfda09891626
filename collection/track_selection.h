// Playing a tune of a ZGM collection: load the collection with its shared pack, then
// play one of its entries.
#pragma once
#include <cstdint>

// Loads FILE as the player's collection, opens its first sample pack as the pack
// stream and plays its first tune. 0 when that tune plays, else 1.
uint32_t StartCollection(const char* file);
// Plays the entry at TRACK (-1: the first tune) of the player's collection. 0 when it
// plays, else 1.
uint32_t SelectTrack(int32_t track);
