// PlayerState: the process-wide playback variables shared by the host's threads and
// the decode thread. Words that cross between the two threads are atomics; the rest
// is touched only by host threads (or by one side while the other waits).
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>

#include "collection/collection.h"
#include "container/byte_stream.h"
#include "container/failure.h"
#include "container/song.h"

struct DUH;
struct In_Module;
struct PlayerSettings;

inline constexpr uint32_t kNameSize = 260;
// One block of 1024 frames at 16-bit stereo.
inline constexpr uint32_t kBlockBufferBytes = 4096;
// The player's effect hook may lengthen a block; the decode thread only renders when
// the output has room for twice a block, so the buffer holds that much, plus margin
// for hooks that round up.
inline constexpr uint32_t kSampleBufferBytes = 2 * kBlockBufferBytes + 1024;

struct PlayerState {
  // The player's record, set when the player takes it from the export: the output
  // module, the hooks and the main window every slot reaches through it.
  In_Module* Host = nullptr;
  void* InstanceHandle = nullptr;
  PlayerSettings* Settings = nullptr;
  std::unique_ptr<Song> CurrentSong;
  ModuleImage PendingImage{};
  std::atomic<DUH*> LoadedModule{nullptr};
  // The engine length of LoadedModule (1/65536 s), kept beside it so GetLength never
  // reaches into a module the decode thread may be releasing.
  std::atomic<int32_t> LoadedModuleLength{0};
  std::thread DecodeThreadHandle;
  std::atomic<uint32_t> KillDecodeThread{0};
  std::atomic<int32_t> SeekRequestMs{-1};
  std::atomic<int32_t> DecodePositionMs{0};
  std::atomic<uint32_t> PausedFlag{0};
  std::atomic<uint32_t> OutputBits{16};
  std::atomic<uint32_t> OutputChannels{2};
  alignas(16) uint8_t SampleBuffer[kSampleBufferBytes] = {};
  uint32_t PasswordKey = 0;
  uint32_t EngineReady = 0;
  uint32_t PlayingCollection = 0;
  char PlayName[kNameSize] = "";
  char SongName[kNameSize] = "";
  CollectionOwner CurrentCollection;
  // Both read the collection's data in place: declared after it, so they go first.
  StreamOwner TrackStream;
  StreamOwner PackStream;
  // Why the last Play failed (empty when nothing said why), for the host to be told.
  Failure PlayFailure;
};

// The one player state of the process.
PlayerState& Player();

// Copies SRC (null: empty) into one of the state's name fields, cut to fit.
inline void CopyName(char* dst, const char* src) { std::snprintf(dst, kNameSize, "%s", src ? src : ""); }
