// A window handle on Linux: a record the host owns whose first field posts a
// message to it. The plug-in posts the end-of-song message through it.
#pragma once
#include <cstdint>

struct PlatformWindow {
  void (*post_message)(void* window, unsigned message, uintptr_t wparam, intptr_t lparam);
};

// Posts MESSAGE to WINDOW; a null window (or one without a post function) posts nothing.
void PlatformPostMessage(PlatformWindow* window, unsigned message, uintptr_t wparam,
                         intptr_t lparam);
