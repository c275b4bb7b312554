// The ANSI code page, whichever it is (single-byte, double-byte or UTF-8):
// letters to its bytes exactly or not at all, its bytes to letters, and
// where a character's bytes end.
#pragma once

#include <windows.h>

#include <string>

// The text in the ANSI code page, exactly; else false, out has '?' for
// each letter it cannot hold, and `why` names the first.
bool ExactAnsi(const std::wstring &text, std::string &out, std::string &why);

// Bytes in the ANSI code page as letters; bytes that form none show as the
// code page's stand-in for them.
std::wstring WideFromAnsi(const std::string &bytes);

// The length of bytes' first n bytes, cut back so that it splits no
// character (of valid bytes) in two.
size_t WholeCharacters(const std::string &bytes, size_t n);
