// The player's window and the conventions of its records on each platform: the
// handles its records carry, the calling convention and export of the plug-in's
// entry point, and posting a message to the player's main window.
//
// On Linux a window is a record the host owns whose first field posts a message to it.
#pragma once
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#define ZSF_CDECL __cdecl
#define ZSF_EXPORT __declspec(dllexport)
using HostWindow = HWND;
using HostInstance = HINSTANCE;
#else
#define ZSF_CDECL
#define ZSF_EXPORT __attribute__((visibility("default")))
struct PlatformWindow {
  void (*post_message)(void* window, unsigned message, uintptr_t wparam, intptr_t lparam);
};
using HostWindow = PlatformWindow*;
using HostInstance = void*;
#endif

// Posts MESSAGE to WINDOW without waiting; a null window (on Linux also one without a
// post function) is given nothing.
void PostWindowMessage(HostWindow window, unsigned message, uintptr_t wparam, intptr_t lparam);

// Why Play failed, told to a host on Linux while Play still runs: LPARAM points to the
// text, which lives only for the call. The media player on Windows knows no such
// message (its own WM_USER range is its command interface), so there none is sent.
inline constexpr unsigned kPlayRefusedMessage = 0x4F0;  // WM_USER + 0xF0
void TellPlayRefused(HostWindow window, const char* reason);
