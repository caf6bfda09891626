// GetFileInfo: the title and length the player's playlist shows for a song file or
// a collection address.
#pragma once

// FILE may be null or empty (then the song last started, or the name last played);
// TITLE is the player's 512-byte buffer, may be null; LENGTH_MS may be null.
void GetFileInfo(const char* file, char* title, int* lengthMs);
