// Pictures of what the editor shows, for its documentation: a rectangle of
// the screen as the display server has it, written as a 24-bit BMP file.
#pragma once

#include <windows.h>

#include <string>

// The outer rectangle of a window and, when given, of a second window shown
// with it (a menu beside its owner); empty rectangles are ignored.
RECT WindowArea(HWND first, HWND second = nullptr);

// Reads `area` of the screen, clipped to the screen, into `path`. The area
// is a window's (with its menu, if any) and must show the window's title
// bar at its top. Fills `error` and returns false when nothing could be
// read or written, or when the title bar is missing (nothing is written).
bool SaveScreenArea(const RECT &area, const std::string &path,
                    std::string &error);
