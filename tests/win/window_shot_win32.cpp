#include "window_shot.h"

#include <cstdio>
#include <vector>

namespace winhost {

namespace {

void Put16(std::vector<unsigned char>& out, size_t at, unsigned v) {
  out[at] = (unsigned char)(v);
  out[at + 1] = (unsigned char)(v >> 8);
}
void Put32(std::vector<unsigned char>& out, size_t at, unsigned v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}

}  // namespace

bool SaveWindowShot(HWND window, const std::string& path, std::string* why) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) {
    *why = "the window has no rectangle";
    return false;
  }
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) {
    *why = "the window is empty";
    return false;
  }
  // Read back from the screen: what a person sees, frame and children included.
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
  SelectObject(memory, old);

  // Bottom-up rows of 24-bit pixels, each padded to four bytes, as BMP wants them.
  const unsigned rowBytes = (unsigned(width) * 3 + 3) & ~3u;
  const unsigned pixelBytes = rowBytes * unsigned(height);
  const unsigned headerBytes = 14 + 40;
  std::vector<unsigned char> file(headerBytes + pixelBytes, 0);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  bool read = copied && GetDIBits(memory, bitmap, 0, UINT(height), file.data() + headerBytes,
                                   &info, DIB_RGB_COLORS) == height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!read) {
    *why = "cannot copy the window's pixels from the screen";
    return false;
  }

  file[0] = 'B';
  file[1] = 'M';
  Put32(file, 2, headerBytes + pixelBytes);
  Put32(file, 10, headerBytes);
  Put32(file, 14, 40);
  Put32(file, 18, unsigned(width));
  Put32(file, 22, unsigned(height));
  Put16(file, 26, 1);
  Put16(file, 28, 24);
  Put32(file, 34, pixelBytes);

  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    *why = "cannot create " + path;
    return false;
  }
  bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0) written = false;
  if (!written) {
    *why = "cannot write " + path;
    DeleteFileA(path.c_str());
  }
  return written;
}

}  // namespace winhost
