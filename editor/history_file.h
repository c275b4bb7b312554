// The stand-in editor's history file: an INI file with one section,
//
//   [History]
//   Count=2
//   Entry1="SELECT 1;"
//   Entry2="SELECT *\n  FROM t\n WHERE a = 'x';"
//
// Each value is quoted, with \\ \" \n \r \t and \xHH for other control
// bytes; bytes above 127 are written as they are (ANSI).
//
// Reading takes exactly this, and nothing else:
// - at most MaxHistoryFileBytes in all, checked before anything is parsed;
// - every line, the last one too, ended by CR LF or by LF alone;
// - the first line "[History]", the second "Count=" and one or more decimal
//   digits, leading zeros allowed in any number, worth at most
//   MaxHistoryEntries;
// - then exactly that many lines "Entry1=" to "EntryN=" in this order, each
//   number written without leading zeros, and nothing after the last;
// - each value in double quotes; inside them the bytes 0x20 to 0x7E and
//   0x80 to 0xFF as they are, except " and \, which come only in these
//   escapes: \\ \" \n \r \t, and \xHH with hex digits in either case for
//   any byte but 00. A control byte (0x00 to 0x1F, or DEL, 0x7F) standing
//   raw is damage; and no entry holds a NUL, since a statement cannot and
//   the editor would cut it short there.
// Anything else is refused, so a damaged file never replaces a good history.
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
// backslash: \\ \n \r \t, \xHH in either case but never \x00, or `quote`
// for itself. Appends its byte to out and leaves `at` on the escape's last
// character; false when it is none of these or is cut short.
bool ReadEscape(std::string_view text, size_t &at, char quote,
                std::string &out);

// On success fills history and returns true; otherwise leaves it alone and
// says why in error, in words for the status line.
bool ParseHistory(std::string_view text, History &history, std::string &error);
