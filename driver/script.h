// Scripted runs: steps separated by ";" that do what a person does in the
// window, answer the real dialogs through the autopilot, and print what
// happened to the transcript. The steps are listed in docs/editor.md.
#pragma once

#include <string>

// Runs each step in turn, until the last or "quit".
void RunScript(const std::string &script);

// The message boxes the plug-ins show while they install are read into the
// transcript and dismissed, the first pictured into `snapBox` when given.
void ReadInstallBoxes(const std::string &snapBox);
