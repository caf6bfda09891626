// Song: loads one ZSF/ZTF song and rebuilds its ordinary module image.
#pragma once
#include <cstdint>
#include <string>

#include "container/failure.h"
#include "container/song_body.h"
#include "samples/sample_store.h"

struct ByteStream;
class ModuleFormat;

class Song {
 public:
  Song();
  ~Song();
  Song(const Song&) = delete;
  Song& operator=(const Song&) = delete;

  // 0, or 1 when nothing was loaded.
  uint32_t Reset();
  uint32_t LoadFile(const char* name, uint32_t* sampleCount = nullptr);
  // STREAM holds exactly the song, positioned at its start.
  uint32_t LoadStream(ByteStream* stream, uint32_t* sampleCount, uint32_t fileKind);
  // 0 with OUT holding a malloc'd image (the caller frees it); 1 with OUT = {0, null}.
  uint32_t BuildModuleImage(ModuleImage* out);
  void ReleaseSamples();
  void SetPasswordKey(uint32_t passwordKey);
  uint8_t GetModuleKind() const { return moduleKind_; }
  SampleStore* GetSampleStore() const { return store_.get(); }
  void SetPackStream(ByteStream* stream) { packStream_ = stream; }
  // For a song that is loaded to be played: the load assembles the module image as
  // it derives the samples (each straight into its place, the pack's entries freed
  // once the image holds them), and BuildModuleImage hands that image over once.
  // The records then hold no sample data. Songs it cannot do this for load as usual.
  void SetBuildWhileLoading(bool on) { buildWhileLoading_ = on; }

  const SongBody& Body() const { return body_; }
  uint8_t VersionMajor() const { return major_; }
  uint8_t VersionMinor() const { return minor_; }
  bool Loaded() const { return loaded_ != 0; }

  // Why the last load or rebuild failed, or the engine refused the rebuilt module;
  // empty after one that succeeded.
  const Failure& LastFailure() const { return failure_; }
  // Records the refusal of a step after the song's own (the engine hand-over); 1.
  uint32_t Refuse(const char* step, std::string reason) { return ::Refuse(&failure_, step, std::move(reason)); }

 private:
  // Loads the song file IMAGE (SIZE bytes; PATH locates its pack, may be null).
  uint32_t LoadImage(const uint8_t* image, uint32_t size, const char* path, uint32_t* sampleCount,
                     uint32_t fileKind);
  uint32_t TakeBuiltImage(ModuleFormat* format, ModuleImage* out);

  SongBody body_{};
  uint8_t major_ = 0;
  uint8_t minor_ = 0;
  uint32_t loaded_ = 0;
  uint8_t moduleKind_ = 7;
  SampleStoreOwner store_;
  ByteStream* packStream_ = nullptr;
  Failure failure_;
  bool buildWhileLoading_ = false;
  ModuleImage built_{};  // the image a load assembled, until BuildModuleImage takes it
};
