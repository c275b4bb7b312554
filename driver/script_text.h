// The text of a script: how it splits into steps, and how a step's text
// writes line breaks, ";" and any byte. Plain C++, tested on its own.
#pragma once

#include <string>
#include <vector>

// The steps of a script: split at every ";" that no "\" escapes, with the
// spaces around each step removed; escapes are kept for the step to read.
std::vector<std::string> SplitScript(const std::string &script);

// The text of a "run" or "type" step, with \\ \; \n \r \t and \xHH read
// as a backslash, a ";", a line feed, a carriage return, a tab and the byte
// HH (any but 00). Anything else after "\" is an error, said in `error`.
bool UnescapeText(const std::string &text, std::string &out,
                  std::string &error);
