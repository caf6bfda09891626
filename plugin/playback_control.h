// Playback control: the dispatch of Play, the two start paths that load a song into
// the engine and start the decode thread, and the host's small control slots.
#pragma once
#include <cstdint>

struct CollectionEntry;

// 0 = playing, 1 = failed.
int Play(const char* name);
// The ZSF start path: NAME is a ZSF or ZTF song file.
uint32_t StartSongPlayback(const char* name);
// The entry start path: ENTRY's data is a ZTF tune; the collection's pack is the
// player's PackStream.
uint32_t StartEntryPlayback(const CollectionEntry& entry);
// Ends the decode thread and waits for it; nothing without one.
void StopDecodeThread();

void Pause();
void UnPause();
int IsPaused();
void Stop();
int GetLength();
int GetOutputTime();
void SetOutputTime(int ms);
void SetVolume(int volume);
void SetPan(int pan);
