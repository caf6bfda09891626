#include "plugin/decode_thread.h"

#include <chrono>
#include <thread>

#include "engine/engine.h"
#include "plugin/echo_stage.h"
#include "plugin/host_api.h"
#include "plugin/player_state.h"
#include "ui/player_settings.h"

#include "platform/window.h"

namespace {


void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void PostEndOfSong(In_Module* host) { PostWindowMessage(host->hMainWindow, kWmWaMpegEof, 0, 0); }

}  // namespace

void DecodeThread(In_Module* host, std::atomic<uint32_t>* killFlag) {
  PlayerState& p = Player();
  Out_Module* out = host->outMod;
  const int bits = static_cast<int>(p.OutputBits.load());
  const int channels = static_cast<int>(p.OutputChannels.load());
  const int frameBytes = channels * (bits / 8);
  const int blockBytes = kBlockFrames * frameBytes;
  bool done = false;
  DUH_SIGRENDERER* renderer = nullptr;

  if (p.Settings && p.Settings->DisableSEcho) SEcho().EchoLevel = 0.0;

  // The first pass builds the renderer through the seek step: the starter left a
  // request for 0, or the host's own target if it asked for one since.
  while (killFlag->load() == 0) {
    int32_t target = p.SeekRequestMs.load();
    if (target != -1) {
      EngineEndRenderer(renderer);
      renderer = nullptr;
      // A target at or past the song's end starts nothing: the song ends at once.
      renderer = EngineStartPlayback(p.LoadedModule.load(), p.LoadedModuleLength.load(), channels,
                                     target);
      p.DecodePositionMs = target;
      SEcho().Prepare(32, channels, kEngineOutputRate);
      if (SEcho().Active()) EngineSetRenderHook(renderer, &EchoStage::Hook, nullptr);
      // A target written meanwhile stays for the next pass.
      p.SeekRequestMs.compare_exchange_strong(target, -1);
      done = false;
      out->Flush(p.DecodePositionMs.load());
      continue;
    }

    if (done) {
      out->CanWrite();
      if (!out->IsPlaying()) {
        PostEndOfSong(host);
        break;
      }
      SleepMs(kDrainPollMs);
      continue;
    }

    int freeBytes = out->CanWrite();
    bool effects = host->dsp_isactive && host->dsp_isactive();
    int needed = effects ? 2 * blockBytes : blockBytes;
    if (freeBytes < needed) {
      SleepMs(kNoRoomPollMs);
      continue;
    }
    long frames = EngineRender(renderer, bits, bits == 8 ? 1 : 0, kEngineVolume, kEngineDelta,
                               kBlockFrames, p.SampleBuffer);
    if (frames <= 0) {
      done = true;
      continue;
    }
    int stamp = p.DecodePositionMs.load();
    if (host->SAAddPCMData) host->SAAddPCMData(p.SampleBuffer, channels, bits, stamp);
    if (host->VSAAddPCMData) host->VSAAddPCMData(p.SampleBuffer, channels, bits, stamp);
    p.DecodePositionMs = stamp + kBlockStampMs;
    if (host->dsp_isactive && host->dsp_isactive() && host->dsp_dosamples) {
      frames = host->dsp_dosamples(reinterpret_cast<short*>(p.SampleBuffer), static_cast<int>(frames),
                                   bits, channels, kEngineOutputRate);
      // Never write beyond the buffer, whatever the hook claims.
      long most = static_cast<long>(sizeof p.SampleBuffer) / frameBytes;
      if (frames > most) frames = most;
      if (frames < 0) frames = 0;
    }
    out->Write(reinterpret_cast<char*>(p.SampleBuffer), static_cast<int>(frames) * frameBytes);
  }

  EngineEndRenderer(renderer);
  SEcho().Release();
  EngineUnload(p.LoadedModule.exchange(nullptr));
  out->Close();
}
