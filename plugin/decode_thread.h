// The decode thread: renders the song in blocks of 1024 frames, hands each block to
// the player's visualisation and effect hooks, writes it to the output module,
// performs seeks, and at the end waits for the output to play out and tells the player.
#pragma once
#include <atomic>
#include <cstdint>

struct In_Module;

inline constexpr int kBlockFrames = 1024;
// A block of 1024 frames lasts 23.2 ms; the visualisation stamps count 23.
inline constexpr int kBlockStampMs = 23;
inline constexpr int kDrainPollMs = 10;
inline constexpr int kNoRoomPollMs = 20;

// HOST is the player's record (output module, hooks, main window); KILL_FLAG the
// player's KillDecodeThread. Owns LoadedModule from its start and releases it at its end.
void DecodeThread(In_Module* host, std::atomic<uint32_t>* killFlag);
