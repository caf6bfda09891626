// One track of the ZSF family for a player that hosts the core itself (the Audacious
// plug-in): a ZSF song or ZTF tune with its pack beside it, or one tune of a ZGM
// collection with the collection's pack. Tags and lengths, and the audio in blocks
// with seeking, rendered exactly as the Winamp plug-in renders them.
//
// Nothing here touches process-wide state: every object owns its song, pack,
// collection and engine module, so one thread may read a track's tags while another
// plays it, and a folder may be scanned by several threads at once.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DUH;
struct DUH_SIGRENDERER;

namespace zsftrack {

// The entry number of a track that is a song file rather than a collection tune.
constexpr int32_t kSongFile = -1;
// The entry number of the first tune of a collection that holds none.
constexpr int32_t kNoTune = -2;

struct TrackRef {
  std::string file;             // the song or collection file
  int32_t entry = kSongFile;    // a collection's entry position
};

struct TrackOptions {
  bool loBit = false;          // 8-bit unsigned samples instead of 16-bit signed
  bool mono = false;
  bool computeLength = false;  // measure a track that has no stored length
  // Tried in turn on a protected pack: the first under which the pack's coded entries
  // decode whole (a pack of plain samples has no check, so its first password is used).
  std::vector<std::string> passwords;
};

struct TrackTags {
  std::string title, artist, album, game;
  std::string formattedTitle;  // the title template filled in (when one was given)
  int lengthMs = -1;           // -1: unknown
};

// Whether FILE begins with the collection magic.
bool IsCollectionFile(const std::string& file);
// The positions of the tunes of collection FILE, in collection order.
bool ListTunes(const std::string& file, std::vector<int32_t>* tunes, std::string* error);
// Tags of REF; with TITLE_TEMPLATE (may be null) also the formatted title.
bool ReadTrackTags(const TrackRef& ref, const TrackOptions& options, const char* titleTemplate,
                   TrackTags* tags, std::string* error);

class TrackPlayer {
 public:
  TrackPlayer() = default;
  ~TrackPlayer();
  TrackPlayer(const TrackPlayer&) = delete;
  TrackPlayer& operator=(const TrackPlayer&) = delete;

  // Loads REF into the engine and starts at its beginning. ERROR says why not.
  bool Open(const TrackRef& ref, const TrackOptions& options, std::string* error);
  int bits() const { return bits_; }
  int channels() const { return channels_; }
  int lengthMs() const;  // -1: unknown
  // Up to FRAMES frames into OUT, channels interleaved (8-bit unsigned or 16-bit
  // signed little-endian); 0 at the end of the track.
  long Render(void* out, long frames);
  // Restarts at the whole second at or below MS, where the Winamp plug-in's seek
  // lands; at or past the end the track ends.
  void Seek(int ms);

 private:
  DUH* module_ = nullptr;
  DUH_SIGRENDERER* renderer_ = nullptr;
  int32_t length_ = 0;  // 1/65536 s
  int bits_ = 16;
  int channels_ = 2;
};

}  // namespace zsftrack
