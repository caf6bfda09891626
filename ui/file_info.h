// File information for the host's playlist: the title and length of a song file or
// of a collection track.
#pragma once

#include "ui/player_settings.h"

// Length the host takes as unknown.
constexpr int kUnknownLengthMs = -1000;

// The single-song-file part of GetFileInfo. TITLE (the host's buffer of
// kHostTitleSize bytes, may be null) gets the title from the song's tag text with
// SETTINGS.TitleOutput; LENGTH_MS (may be null) the stored tag "length" in whole
// seconds x 1000, or kUnknownLengthMs. Without a stored length and with LoadLen set,
// COMPUTE_LENGTH_MS (may be null) measures the song. Only the tag trailer is read.
void GetSongFileInfo(const char* file, char* title, int* lengthMs, const PlayerSettings& settings,
                     int (*computeLengthMs)(const char* file));

// The collection part of GetFileInfo, for a collection address NAME: the title of the
// tune it names from its tags with SETTINGS.TitleOutput (NAME itself when the tune
// cannot be read), its stored length or kUnknownLengthMs (a collection track is never
// loaded for its length). Only the named entry's data is read from the file.
void GetCollectionTrackInfo(const char* name, char* title, int* lengthMs, const PlayerSettings& settings);

// The stored "length" value as milliseconds: read like atoi; above 0 gives seconds
// x 1000, anything else (or more than an int can hold) kUnknownLengthMs.
int StoredLengthToMs(const char* value);
