// The transcript: a line for everything a scripted run does and sees, on
// standard output, where a test or a person at a shell reads it.
#pragma once

#include <string>

// The editor is a windowed program with no console of its own: the
// transcript goes to the handles it was started with (a pipe or a file), or,
// when it has none, to the console of the shell that started it. Called once,
// first.
void OpenTranscript();

void Say(const std::string &line);
// For the last resort, when even a line's memory may be missing.
void SayLiteral(const char *line) noexcept;

std::string Quote(const std::string &s);
