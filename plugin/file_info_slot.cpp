// The record's GetFileInfo slot: the playlist's title and length for a file, or for
// the song last started when the player names none.
#include <cstring>

#include "collection/collection_address.h"
#include "plugin/player_state.h"
#include "plugin/plugin_slots.h"
#include "ui/file_info.h"
#include "ui/player_settings.h"
#include "ui/song_length.h"

void GetFileInfo(const char* file, char* title, int* lengthMs) {
  const PlayerState& p = Player();
  const PlayerSettings& settings = p.Settings ? *p.Settings : TheSettings;
  const char* name = file && file[0] ? file : p.SongName;
  if (std::strlen(name) < 2) name = p.PlayName;
  if (IsCollectionAddress(name)) {
    GetCollectionTrackInfo(name, title, lengthMs, settings);
  } else {
    GetSongFileInfo(name, title, lengthMs, settings, &ComputeSongLengthMs);
  }
}
