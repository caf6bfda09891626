// Saves what a window shows on the screen as a 24-bit BMP file.
#pragma once
#include <string>

#include <windows.h>

namespace winhost {

// Copies WINDOW's screen area (frame included) into PATH; false and WHY on failure.
bool SaveWindowShot(HWND window, const std::string& path, std::string* why);

}  // namespace winhost
