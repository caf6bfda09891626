#include "platform/window.h"

void PostWindowMessage(HostWindow window, unsigned message, uintptr_t wparam, intptr_t lparam) {
  if (window && window->post_message) window->post_message(window, message, wparam, lparam);
}

void TellPlayRefused(HostWindow window, const char* reason) {
  PostWindowMessage(window, kPlayRefusedMessage, 0, reinterpret_cast<intptr_t>(reason));
}
