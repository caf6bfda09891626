// A song handed to the engine: the one road from a loaded song to a playable module,
// for playback, the length measurement and the tools.
#pragma once
#include <cstdint>

#include "container/song_body.h"

class Song;
struct DUH;

// Where handing a song to the engine stopped.
enum class SongModuleFailure { kNone, kRebuild, kEngine };

// Rebuilds SONG's module image into PENDING and has the engine read it with the
// reader of the song's module kind; the image is freed as soon as the engine has read
// it (the engine keeps nothing of it), PENDING then {0, null}. The module (the caller
// unloads it), or null with FAILURE saying which step failed. IMAGE_SIZE (may be
// null) gets the image's size.
DUH* LoadSongModule(Song* song, ModuleImage* pending, SongModuleFailure* failure = nullptr,
                    uint32_t* imageSize = nullptr);
