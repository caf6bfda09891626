// Measuring a song's length by loading it fully, for playlists that ask for lengths
// no tag gives (the LoadLen setting).
#pragma once

// Loads, rebuilds and reads FILE through the engine: whole seconds x 1000, or -1000
// when any step fails. No password key is used; nothing is stored.
int ComputeSongLengthMs(const char* file);
