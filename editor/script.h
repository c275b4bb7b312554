// Scripted runs: steps separated by ";" that do what a person does in the
// window, answer the real dialogs through the autopilot, and print what
// happened to the transcript. The steps are listed in the README.
#pragma once

#include <string>
#include <vector>

// Runs each step in turn, until the last or "quit".
void RunScript(const std::string &script);

// The steps of a script: split at every ";" that no "\" escapes, with the
// spaces around each step removed; escapes are kept for the step to read.
std::vector<std::string> SplitScript(const std::string &script);

// The text of a "run" or "type" step: \\ \; \n \r \t and \xHH stand for
// themselves, anything else after "\" is an error.
bool UnescapeText(const std::string &text, std::string &out,
                  std::string &error);
