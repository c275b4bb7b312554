#include "editor/screenshot.h"

#include <cstdio>

RECT WindowArea(HWND first, HWND second) {
  RECT area = {}, other = {};
  if (first) GetWindowRect(first, &area);
  if (second && GetWindowRect(second, &other)) {
    RECT both;
    UnionRect(&both, &area, &other);  // an empty rectangle adds nothing
    area = both;
  }
  return area;
}

bool SaveScreenArea(const RECT &area, const std::string &path,
                    std::string &error) {
  RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN)};
  RECT r;
  if (!IntersectRect(&r, &area, &screen)) {
    error = "the area is not on the screen";
    return false;
  }
  const int width = r.right - r.left, height = r.bottom - r.top;
  const int stride = (width * 3 + 3) & ~3;  // rows are padded to 4 bytes
  const DWORD pixels = static_cast<DWORD>(stride) * height;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = pixels;

  HDC screenDc = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screenDc);
  void *bits = nullptr;
  HBITMAP bitmap =
      CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (memory && bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, screenDc, r.left, r.top,
                    SRCCOPY | CAPTUREBLT) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  bool written = false;
  if (copied) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + pixels;
    if (FILE *out = std::fopen(path.c_str(), "wb")) {
      written =
          std::fwrite(&file, sizeof file, 1, out) == 1 &&
          std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
          std::fwrite(bits, 1, pixels, out) == pixels;
      written = std::fclose(out) == 0 && written;
    }
    if (!written) error = "cannot write " + path;
  } else {
    error = "cannot read the screen";
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screenDc);
  return written;
}
