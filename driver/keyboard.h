// A person at the keyboard, for scripted runs: real key presses sent to the
// editor's window in front, which its own message loop, accelerators,
// dialog keys and menus then handle as they would a person's. Each returns
// once every key has been handled (within a bounded time), or says why not.
#pragma once

#include <string>

// Types ANSI text into the control with the keyboard focus; a line break
// ("\r\n", or either alone) is typed as Enter.
std::string TypeText(const std::string &text);

// Presses keys one after another, separated by spaces; each may be held
// with ctrl+, alt+ or shift+: "ctrl+enter", "alt+h c", "f5", "tab", "del".
// "right-click:N" clicks the right mouse button on history row N, and
// "right-click-bar:N" on the scroll bar beside it (first in its keys);
// "U+HHHH"
// types that character, whatever the code page.
std::string PressKeys(const std::string &keys);
