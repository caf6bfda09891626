// The one start path: loads a song (from a file, or from a collection entry with the
// collection's pack) into the engine and starts the decode thread. Both sources go
// through the same steps: output, password, rebuild, engine, echo settings, thread.
#pragma once
#include <cstdint>

struct CollectionEntry;

// The ZSF start path: NAME is a ZSF or ZTF song file. 0 when it plays, else 1.
uint32_t StartSongPlayback(const char* name);
// The entry start path: ENTRY's data is a ZTF tune; the collection's pack is the
// player's PackStream. 0 when it plays, else 1.
uint32_t StartEntryPlayback(const CollectionEntry& entry);
// Ends the decode thread and waits for it; nothing without one.
void StopDecodeThread();
