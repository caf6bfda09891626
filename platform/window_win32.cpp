#include "platform/window.h"

void PostWindowMessage(HostWindow window, unsigned message, uintptr_t wparam, intptr_t lparam) {
  if (window) PostMessageA(window, message, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));
}

void TellPlayRefused(HostWindow, const char*) {}
