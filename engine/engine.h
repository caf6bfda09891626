// The wall in front of the module engine: the rest of the system reaches the
// engine only through these calls; the engine's own headers stay inside engine/.
#pragma once
#include <cstdint>

struct DUH;              // a loaded module with its seek checkpoints and length
struct DUH_SIGRENDERER;  // a renderer over a module

// The render hook sees the freshly mixed samples (24-bit full scale) before they are
// converted; channels arrive interleaved in samples[0].
using EngineRenderHook = void (*)(void* data, int32_t** samples, int channels, long frames);

// Reads a module image by kind (0 IT, 1 XM, 2 S3M, 3 MOD) through a memory file over
// DATA (read in place, not kept). Also computes the length with jump-to-order ignored.
// Null when the kind is above 3 or the engine refuses the image.
DUH* EngineReadModule(uint32_t moduleKind, const uint8_t* data, uint32_t size);
// EngineGetLength's answer for a song whose length computation ran past two hours of
// music: unknown. Such a song still plays.
constexpr int32_t kEngineLengthUnknown = -1;

// Length in 1/65536 s; 0 for no module, kEngineLengthUnknown when not measured.
int32_t EngineGetLength(DUH* module);
void EngineUnload(DUH* module);

// Process-wide default for ignoring effect B in new IT renderers (Init turns it on).
void EngineSetDefaultIgnoreJump(int on);

// The furthest position (1/65536 s) a renderer can start at: the engine counts time
// in a C long, which is 32 bits wide on Windows (about 9.1 hours).
constexpr int64_t kEngineMaxPosition = INT32_MAX;

// A renderer at POSITION (1/65536 s, negative taken as 0) with CHANNELS output
// channels. The run-up to POSITION stops at the song's end as the configured renderer
// does, so it never wraps to the start: null when the song ends before POSITION,
// when POSITION is beyond kEngineMaxPosition, and on failure.
DUH_SIGRENDERER* EngineStartRenderer(DUH* module, int channels, int64_t position);
// Ignore jump-to-order, stop at the song's loop and at XM speed zero. No-op for null
// or non-IT renderers.
void ConfigureRenderer(DUH_SIGRENDERER* renderer);

// How our players render: 44100 Hz at the engine's output gain of 0.8.
inline constexpr int kEngineOutputRate = 44100;
inline constexpr float kEngineVolume = 0.8f;
// 65536 / 44100 as the nearest float: the engine's time step per output frame.
inline constexpr float kEngineDelta = 65536.0f / kEngineOutputRate;

// A configured renderer for playback from TARGET_MS: the engine starts at the whole
// second at or below the target. Null when the target lies at or past the song's end
// (LENGTH in 1/65536 s, or kEngineLengthUnknown), beyond what the engine addresses, or
// when the engine refuses: the song then ends at once. Every player seeks through it,
// so a seek lands in the same place whichever player asks.
DUH_SIGRENDERER* EngineStartPlayback(DUH* module, int32_t length, int channels, int64_t targetMs);
void EngineSetRenderHook(DUH_SIGRENDERER* renderer, EngineRenderHook hook, void* data);
// Renders up to FRAMES frames, interleaved, 8-bit (unsigned when UNSIGN) or 16-bit
// signed. Returns the frames rendered; 0 at the end of the song or for no renderer.
long EngineRender(DUH_SIGRENDERER* renderer, int bits, int unsign, float volume, float delta,
                  long frames, void* out);
void EngineEndRenderer(DUH_SIGRENDERER* renderer);
