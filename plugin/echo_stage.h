// SEcho: the built-in echo stage that sits between the engine's mixer and the
// sample conversion as the render hook. Every song sets its level to 0.0, so in
// practice it passes the samples through; the machinery is kept so a level could
// be supplied without touching the decode loop.
#pragma once
#include <cstdint>

struct ByteStream;

class EchoStage {
 public:
  static constexpr int kHistoryBlocks = 5;
  static constexpr int kHistoryBytes = 20000;

  EchoStage() = default;
  ~EchoStage() { Release(); EchoLevel = 0.0; }
  EchoStage(const EchoStage&) = delete;
  EchoStage& operator=(const EchoStage&) = delete;

  // Frees the work and history buffers; the level is kept.
  void Release();
  // Reads the song's tags and sets the level (always 0.0: no tag drives it).
  // 1 when the file cannot be opened (nothing changes), else 0.
  uint32_t TakeSettingsFromFile(const char* name);
  uint32_t TakeSettingsFromStream(ByteStream* stream);
  // Allocates the buffers for a non-zero level (width 32 only) and restarts the
  // history rotation.
  void Prepare(int width, int channels, int rate);
  // False while the stage passes the samples through unchanged (no buffers: a level
  // of 0.0); the decode thread then installs no hook at all.
  bool Active() const { return work_ != nullptr; }
  // The engine's render hook; DATA is unused (the stage is process-wide).
  static void Hook(void* data, int32_t** samples, int channels, long frames);

  double EchoLevel = 0.0;

 private:
  void Process(int32_t* interleaved, int channels, long frames, int width, int rate);

  int32_t* work_ = nullptr;
  long workSamples_ = 0;
  int32_t blockCounter_ = 0;
  int32_t* history_[kHistoryBlocks] = {};
  double dryGain_ = 1.0;
  double outputGain_ = 0.7;
  double echoGain_ = 0.0;
};

// The process-wide stage used by the decode thread.
EchoStage& SEcho();
