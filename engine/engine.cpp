// The module engine behind its wall: DUMB 0.9.3 with our patch (ignore jump-to-order,
// render hook, bounded length computation, hardened readers).
#include "engine/engine.h"

#include <dumb.h>

#include <climits>
#include <type_traits>

// Our hook type must be exactly DUMB's, so it is passed through without a thunk.
static_assert(std::is_same_v<int32_t, sample_t>, "the engine mixes 32-bit samples");
static_assert(std::is_same_v<EngineRenderHook, DUH_SIGRENDERER_RENDER_HOOK>,
              "render hook types must agree");

DUH* EngineReadModule(uint32_t moduleKind, const uint8_t* data, uint32_t size) {
  if (moduleKind > 3 || data == nullptr || size == 0) return nullptr;
  DUMBFILE* file = dumbfile_open_memory(reinterpret_cast<const char*>(data),
                                        static_cast<long>(size));
  if (file == nullptr) return nullptr;
  DUH* module = nullptr;
  switch (moduleKind) {
    case 0: module = dumb_read_it(file); break;
    case 1: module = dumb_read_xm(file); break;
    case 2: module = dumb_read_s3m(file); break;
    case 3: module = dumb_read_mod(file); break;
  }
  dumbfile_close(file);
  return module;
}

int32_t EngineGetLength(DUH* module) {
  if (module == nullptr) return 0;
  long length = duh_get_length(module);
  // The patched length computation stops at two hours and then reports -1.
  if (length < 0 || length > INT32_MAX) return kEngineLengthUnknown;
  return static_cast<int32_t>(length);
}

void EngineUnload(DUH* module) {
  if (module != nullptr) unload_duh(module);
}

void EngineSetDefaultIgnoreJump(int on) { dumb_it_set_default_ignore_jump(on); }

DUH_SIGRENDERER* EngineStartRenderer(DUH* module, int channels, int64_t position) {
  // The mixer has loops for exactly one or two channels.
  if (module == nullptr || channels < 1 || channels > 2) return nullptr;
  if (position > kEngineMaxPosition) return nullptr;
  if (position < 0) position = 0;
  // Every reader makes an IT signal, so the patched start applies to every kind.
  return dumb_it_start_at_position(module, channels, static_cast<long>(position));
}

void ConfigureRenderer(DUH_SIGRENDERER* renderer) {
  if (renderer == nullptr) return;
  DUMB_IT_SIGRENDERER* itsr = duh_get_it_sigrenderer(renderer);
  if (itsr == nullptr) return;
  dumb_it_sr_set_ignore_jump(itsr, 1);
  dumb_it_set_loop_callback(itsr, dumb_it_callback_terminate, nullptr);
  dumb_it_set_xm_speed_zero_callback(itsr, dumb_it_callback_terminate, nullptr);
}

DUH_SIGRENDERER* EngineStartPlayback(DUH* module, int32_t length, int channels, int64_t targetMs) {
  if (targetMs < 0) targetMs = 0;
  const bool pastEnd = targetMs > 0 && length >= 0 && targetMs * 65536 >= int64_t{length} * 1000;
  if (pastEnd) return nullptr;
  DUH_SIGRENDERER* renderer = EngineStartRenderer(module, channels, targetMs / 1000 * 65536);
  ConfigureRenderer(renderer);
  return renderer;
}

void EngineSetRenderHook(DUH_SIGRENDERER* renderer, EngineRenderHook hook, void* data) {
  duh_sigrenderer_set_render_hook(renderer, hook, data);
}

long EngineRender(DUH_SIGRENDERER* renderer, int bits, int unsign, float volume, float delta,
                  long frames, void* out) {
  if (renderer == nullptr || out == nullptr || frames <= 0) return 0;
  if (bits != 8 && bits != 16) return 0;
  // The renderer steps in whole 1/65536 units of delta: zero or huge steps would divide
  // by zero or overflow inside it.
  if (!(delta >= 1.0f / 32768.0f && delta <= 1024.0f)) return 0;
  return duh_render(renderer, bits, unsign, volume, delta, frames, out);
}

void EngineEndRenderer(DUH_SIGRENDERER* renderer) {
  if (renderer != nullptr) duh_end_sigrenderer(renderer);
}
