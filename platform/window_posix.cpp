#include "platform/window.h"

void PostWindowMessage(HostWindow window, unsigned message, uintptr_t wparam, intptr_t lparam) {
  if (window && window->post_message) window->post_message(window, message, wparam, lparam);
}
