#include "audacious/zsf_track.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "collection/collection.h"
#include "container/byte_stream.h"
#include "container/failure.h"
#include "container/file_kind.h"
#include "container/song.h"
#include "engine/engine.h"
#include "samples/sample_store.h"
#include "ui/file_info.h"
#include "ui/password.h"
#include "ui/tags.h"
#include "ui/titles.h"

namespace zsftrack {
namespace {

// WHAT, then the step and reason the core recorded when there is one.
std::string Explained(const char* what, const Failure& failure) {
  return failure ? std::string(what) + ": " + failure.step + ": " + failure.reason : what;
}

// One entry of a collection and the collection's pack, read from the file and
// nothing else, with streams over both.
class CollectionTrack {
 public:
  bool Open(const TrackRef& ref, std::string* error) {
    static const uint32_t kNothing = 0;
    CollectionOwner heads(CollectionCreate());
    Failure failure;
    if (!heads || LoadCollection(heads.get(), ref.file.c_str(), 0, &kNothing, &failure) != 0) {
      *error = Explained("not a readable collection", failure);
      return false;
    }
    const uint32_t packAt = FindEntryOfKind(heads.get(), 0, kEntrySamplePack);
    const bool entryExists = ref.entry >= 0 && GetEntry(heads.get(), uint32_t(ref.entry)) != nullptr;
    heads.reset();
    if (!entryExists) {
      *error = ref.entry == kNoTune ? "the collection holds no tune"
                                    : "the collection has no entry " + std::to_string(ref.entry);
      return false;
    }
    if (packAt == NotFound666) {
      *error = "the collection holds no sample pack";
      return false;
    }
    const uint32_t wanted[] = {packAt, uint32_t(ref.entry)};
    collection_.reset(CollectionCreate());
    if (!collection_ || LoadCollection(collection_.get(), ref.file.c_str(), 2, wanted, &failure) != 0) {
      *error = Explained("not a readable collection", failure);
      return false;
    }
    const CollectionEntry* pack = GetEntry(collection_.get(), packAt);
    const CollectionEntry* entry = GetEntry(collection_.get(), uint32_t(ref.entry));
    if (!pack || !pack->data || !entry || !entry->data) {
      *error = "the collection's entry cannot be read";
      return false;
    }
    pack_.reset(StreamOpenMemory(pack->data, pack->size, 0));
    track_.reset(StreamOpenMemory(entry->data, entry->size, 0));
    return true;
  }
  ByteStream* track() const { return track_.get(); }
  ByteStream* pack() const { return pack_.get(); }

 private:
  // The streams read the collection's data in place: declared after it, they go first.
  CollectionOwner collection_;
  StreamOwner pack_;
  StreamOwner track_;
};

bool LoadOnce(const TrackRef& ref, const CollectionTrack& collection, Song* song) {
  if (ref.entry == kSongFile) return song->LoadFile(ref.file.c_str()) == 0;
  StreamSeek(0, collection.track());
  song->SetPackStream(collection.pack());
  const uint32_t result = song->LoadStream(collection.track(), nullptr, kFileKindZsf);
  song->SetPackStream(nullptr);
  return result == 0;
}

// Loads REF's song with its samples; a protected pack with the first listed password
// under which it reads whole.
bool LoadSong(const TrackRef& ref, const TrackOptions& options, Song* song, std::string* error) {
  CollectionTrack collection;
  if (ref.entry != kSongFile && !collection.Open(ref, error)) return false;
  song->SetPasswordKey(0);
  if (!LoadOnce(ref, collection, song)) {
    *error = Explained("the song or its sample pack cannot be read", song->LastFailure());
    return false;
  }
  if (!song->GetSampleStore()->scrambled) return true;
  if (options.passwords.empty()) {
    *error = "its sample pack is protected by a password; add the password on the plug-in's settings page";
    return false;
  }
  for (const std::string& password : options.passwords) {
    std::string text = password;  // the hash lowers the letters in place
    const uint32_t key = HashPassword(text.data(), static_cast<uint32_t>(text.size()));
    if (key == 0) continue;  // 0 means no password
    song->SetPasswordKey(key);
    if (LoadOnce(ref, collection, song) && song->GetSampleStore()->codedShortfalls == 0) return true;
  }
  *error = "none of the passwords on the plug-in's settings page opens its sample pack";
  return false;
}

DUH* LoadModule(const TrackRef& ref, const TrackOptions& options, std::string* error) {
  Song song;
  song.SetBuildWhileLoading(true);
  if (!LoadSong(ref, options, &song, error)) return nullptr;
  ModuleImage image{};
  if (song.BuildModuleImage(&image) != 0) {
    *error = Explained("the song's module cannot be rebuilt", song.LastFailure());
    return nullptr;
  }
  DUH* module = EngineReadModule(song.GetModuleKind(), image.data, image.size);
  std::free(image.data);
  if (!module) *error = "the engine cannot read the song's module";
  return module;
}

int LengthToMs(int32_t length) {
  return length == kEngineLengthUnknown ? -1 : length / 65536 * 1000;
}

std::string Value(const TagList& list, const char* name) {
  const int32_t at = FindTag(&list, name);
  return at >= 0 ? list.values[at] : "";
}

}  // namespace

bool IsCollectionFile(const std::string& file) {
  char magic[3] = {0, 0, 0};
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  const size_t got = std::fread(magic, 1, sizeof magic, f);
  std::fclose(f);
  return got == 3 && std::memcmp(magic, "ZGM", 3) == 0;
}

bool ListTunes(const std::string& file, std::vector<int32_t>* tunes, std::string* error) {
  static const uint32_t kNothing = 0;
  CollectionOwner heads(CollectionCreate());
  Failure failure;
  if (!heads || LoadCollection(heads.get(), file.c_str(), 0, &kNothing, &failure) != 0) {
    *error = Explained("not a readable collection", failure);
    return false;
  }
  tunes->clear();
  for (uint32_t n = 0;; ++n) {
    const uint32_t at = FindEntryOfKind(heads.get(), n, kEntryTune);
    if (at == NotFound666) break;
    tunes->push_back(static_cast<int32_t>(at));
  }
  return true;
}

bool ReadTrackTags(const TrackRef& ref, const TrackOptions& options, const char* titleTemplate,
                   TrackTags* tags, std::string* error) {
  TagList list;
  InitTagList(&list);
  if (ref.entry == kSongFile) {
    FILE* f = std::fopen(ref.file.c_str(), "rb");
    if (!f) {
      *error = "the file cannot be opened";
      return false;
    }
    std::fclose(f);
    ReadTags(ref.file.c_str(), &list);  // a file without tags has none
  } else {
    CollectionTrack collection;
    if (!collection.Open(ref, error)) return false;
    ReadTags(collection.track(), &list);
  }
  tags->title = Value(list, "title");
  tags->artist = Value(list, "artist");
  tags->album = Value(list, "album");
  tags->game = Value(list, "game");
  const int32_t stored = FindTag(&list, "length");
  tags->lengthMs = -1;
  if (stored >= 0) {
    const int ms = StoredLengthToMs(list.values[stored]);
    tags->lengthMs = ms == kUnknownLengthMs ? -1 : ms;
  } else if (options.computeLength) {
    std::string ignored;
    if (DUH* module = LoadModule(ref, options, &ignored)) {
      tags->lengthMs = LengthToMs(EngineGetLength(module));
      EngineUnload(module);
    }
  }
  if (titleTemplate) {
    char title[kHostTitleSize];
    FormatTitle(&list, titleTemplate, title, sizeof title);
    tags->formattedTitle = title;
  }
  FreeTagList(&list);
  return true;
}

TrackPlayer::~TrackPlayer() {
  EngineEndRenderer(renderer_);
  EngineUnload(module_);
}

bool TrackPlayer::Open(const TrackRef& ref, const TrackOptions& options, std::string* error) {
  EngineEndRenderer(renderer_);
  renderer_ = nullptr;
  EngineUnload(module_);
  bits_ = options.loBit ? 8 : 16;
  channels_ = options.mono ? 1 : 2;
  module_ = LoadModule(ref, options, error);
  if (!module_) return false;
  length_ = EngineGetLength(module_);
  Seek(0);
  return true;
}

int TrackPlayer::lengthMs() const { return LengthToMs(length_); }

long TrackPlayer::Render(void* out, long frames) {
  return EngineRender(renderer_, bits_, bits_ == 8 ? 1 : 0, kEngineVolume, kEngineDelta, frames, out);
}

void TrackPlayer::Seek(int ms) {
  EngineEndRenderer(renderer_);
  renderer_ = EngineStartPlayback(module_, length_, channels_, ms);
}

}  // namespace zsftrack
