// The stand-in editor's history file: an INI file with one section,
//
//   [History]
//   Count=2
//   Entry1="SELECT 1;"
//   Entry2="SELECT *\n  FROM t\n WHERE a = 'x';"
//
// Each value is quoted, with \\ \" \n \r \t and \xHH for other control
// bytes; bytes above 127 are written as they are (ANSI). Reading takes
// exactly this layout and what means the same (lines ended by a line feed
// alone, hex digits in either case, a count with leading zeros); anything
// else is refused, so a damaged file never replaces a good history.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using History = std::vector<std::string>;

// Larger files are refused before parsing; no editor history comes close.
constexpr size_t MaxHistoryFileBytes = 4 * 1024 * 1024;
constexpr size_t MaxHistoryEntries = 100000;

std::string FormatHistory(const History &history);

// How many bytes FormatHistory writes for `entries` entries whose quoted
// forms take `quotedBytes` in all, without writing them: what the editor
// checks before its history grows past what the reader takes back.
size_t FormattedSize(size_t entries, size_t quotedBytes);
size_t QuotedSize(std::string_view entry);

// One entry as it stands in the file: quoted and escaped, on one line.
std::string QuoteEntry(std::string_view entry);

// Reads the escape whose letter stands at text[at], just after its
// backslash: \\ \n \r \t, \xHH in either case, or `quote` for itself.
// Appends its byte to out and leaves `at` on the escape's last character;
// false when it is none of these or is cut short.
bool ReadEscape(std::string_view text, size_t &at, char quote,
                std::string &out);

// On success fills history and returns true; otherwise leaves it alone and
// says why in error, in words for the status line.
bool ParseHistory(std::string_view text, History &history, std::string &error);
