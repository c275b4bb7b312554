#include "driver/screenshot.h"

#include <cstdio>

namespace {

// Whether a pixel lies within the span of one caption's colours (a gradient
// runs from the first to the second), with a little slack for rounding.
bool InCaptionColours(const BYTE *bgr, COLORREF a, COLORREF b) {
  const BYTE pixel[3] = {bgr[2], bgr[1], bgr[0]};
  const BYTE first[3] = {GetRValue(a), GetGValue(a), GetBValue(a)};
  const BYTE second[3] = {GetRValue(b), GetGValue(b), GetBValue(b)};
  for (int i = 0; i < 3; ++i) {
    const int low = first[i] < second[i] ? first[i] : second[i];
    const int high = first[i] < second[i] ? second[i] : first[i];
    if (pixel[i] + 6 < low || pixel[i] > high + 6) return false;
  }
  return true;
}

// A picture of a window, or of a window with its menu, starts with the
// window's title bar. Without one the display is not drawing the frames
// (Wine leaves them to a window manager that is not there), and the picture
// is not the window a person sees. Looks for a row near the top whose middle
// half is all caption colour, active or inactive; the top of the title bar
// holds no text.
bool ShowsTitleBar(const BYTE *bits, int width, int height, int stride) {
  const int rows = height < 48 ? height : 48;
  const COLORREF pairs[2][2] = {{GetSysColor(COLOR_ACTIVECAPTION),
                                 GetSysColor(COLOR_GRADIENTACTIVECAPTION)},
                                {GetSysColor(COLOR_INACTIVECAPTION),
                                 GetSysColor(COLOR_GRADIENTINACTIVECAPTION)}};
  for (int y = 0; y < rows; ++y) {
    const BYTE *row = bits + static_cast<size_t>(height - 1 - y) * stride;
    for (const auto &pair : pairs) {
      int matching = 0, total = 0;
      for (int x = width / 4; x < width * 3 / 4; ++x, ++total) {
        matching += InCaptionColours(row + 3 * x, pair[0], pair[1]);
      }
      if (total > 0 && matching * 10 >= total * 9) return true;
    }
  }
  return false;
}

}  // namespace

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
  if (copied &&
      !ShowsTitleBar(static_cast<const BYTE *>(bits), width, height, stride)) {
    error =
        "the picture shows no title bar at the top of the window (no caption "
        "colour): the display is not drawing window frames (Wine's X11 "
        "Driver \"Managed\" should be N)";
  } else if (copied) {
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
