// The editor takes a path as ANSI text. The person may choose a file whose
// path holds letters the ANSI code page lacks; converted loosely, such a
// path names another file (a look-alike, or one with '?'), so only a form
// that names the very same file is handed on.
#pragma once

#include <windows.h>

// Writes into out (MAX_PATH bytes) an ANSI path that names exactly the file
// `chosen` names: the path itself when the code page holds all of it, else
// its short form, or its folder's short form with the name. False when
// there is none; out then holds nothing the editor may use.
bool ExactAnsiPath(const wchar_t *chosen, char *out);

// The first letter of path that the ANSI code page has no exact form for,
// and its length in UTF-16 units (2 for a surrogate pair); null when every
// letter has one.
const wchar_t *FirstUnusableLetter(const wchar_t *path, int &units);
