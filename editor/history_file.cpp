#include "editor/history_file.h"

#include <algorithm>

namespace {

constexpr std::string_view Header = "[History]";

// Bytes of Escape's output for one byte of an entry: which bytes it escapes
// is decided here alone.
size_t EscapedSize(unsigned char c) {
  if (c == '\\' || c == '"' || c == '\n' || c == '\r' || c == '\t') return 2;
  return c < 0x20 || c == 0x7F ? 4 : 1;
}

void Escape(std::string &out, std::string_view entry) {
  static const char Hex[] = "0123456789ABCDEF";
  out += '"';
  for (unsigned char c : entry) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (EscapedSize(c) == 4) {
          out += "\\x";
          out += Hex[c >> 4];
          out += Hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(std::string_view quoted, std::string &out) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
    return false;
  std::string_view body = quoted.substr(1, quoted.size() - 2);
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c == '"') return false;  // an unescaped quote inside
    if (c != '\\') {
      // The writer escapes every control byte; a raw one is damage.
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
      out += c;
      continue;
    }
    if (++i == body.size() || !ReadEscape(body, i, '"', out)) return false;
  }
  return true;
}

// Splits off the next line, which must end in CRLF or LF.
bool NextLine(std::string_view &text, std::string_view &line) {
  size_t end = text.find('\n');
  if (end == std::string_view::npos) return false;
  line = text.substr(0, end);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  text.remove_prefix(end + 1);
  return true;
}

// Decimal digits, as many leading zeros as the writer liked; a value above
// the limit comes back as the limit plus one, never as an overflow.
bool ParseCount(std::string_view digits, size_t &count) {
  if (digits.empty()) return false;
  count = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    count = std::min(count * 10 + (c - '0'), MaxHistoryEntries + 1);
  }
  return true;
}

}  // namespace

bool ReadEscape(std::string_view text, size_t &at, char quote,
                std::string &out) {
  switch (const char c = text[at]) {
    case '\\':
      out += '\\';
      return true;
    case 'n':
      out += '\n';
      return true;
    case 'r':
      out += '\r';
      return true;
    case 't':
      out += '\t';
      return true;
    case 'x': {
      if (at + 2 >= text.size()) return false;
      const int hi = HexDigit(text[at + 1]), lo = HexDigit(text[at + 2]);
      if (hi < 0 || lo < 0 || hi + lo == 0) return false;  // never a NUL
      out += static_cast<char>(hi * 16 + lo);
      at += 2;
      return true;
    }
    default:
      if (c != quote) return false;
      out += c;
      return true;
  }
}

std::string QuoteEntry(std::string_view entry) {
  std::string out;
  Escape(out, entry);
  return out;
}

size_t QuotedSize(std::string_view entry) {
  size_t size = 2;
  for (unsigned char c : entry) size += EscapedSize(c);
  return size;
}

size_t FormattedSize(size_t entries, size_t quotedBytes) {
  // "[History]", "Count=N" and "EntryI=" lines, each ended by CRLF; the
  // digits of 1..N counted a power of ten at a time.
  size_t digits = 0, countDigits = 1;
  for (size_t low = 1, width = 1; low <= entries; low *= 10, ++width) {
    const size_t high = entries / 10 >= low ? low * 10 - 1 : entries;
    digits += (high - low + 1) * width;
    countDigits = width;
  }
  return 9 + 2 + 6 + countDigits + 2 + entries * (5 + 1 + 2) + digits +
         quotedBytes;
}

std::string FormatHistory(const History &history) {
  std::string out;
  out += Header;
  out += "\r\nCount=" + std::to_string(history.size()) + "\r\n";
  for (size_t i = 0; i < history.size(); ++i) {
    out += "Entry" + std::to_string(i + 1) + "=";
    Escape(out, history[i]);
    out += "\r\n";
  }
  return out;
}

bool ParseHistory(std::string_view text, History &history, std::string &error) {
  if (text.size() > MaxHistoryFileBytes) {
    error = "the file is too large to be a history file";
    return false;
  }
  std::string_view line;
  if (!NextLine(text, line) || line != Header) {
    error = "the file is not a history file (no [History] section)";
    return false;
  }
  size_t count = 0;
  if (!NextLine(text, line) || line.substr(0, 6) != "Count=" ||
      !ParseCount(line.substr(6), count)) {
    error = "the history file has no valid entry count";
    return false;
  }
  if (count > MaxHistoryEntries) {
    error = "the history file holds more than " +
            std::to_string(MaxHistoryEntries) + " entries";
    return false;
  }
  History entries;
  entries.reserve(count);
  for (size_t i = 1; i <= count; ++i) {
    const std::string key = "Entry" + std::to_string(i) + "=";
    std::string entry;
    if (!NextLine(text, line) || line.substr(0, key.size()) != key ||
        !Unescape(line.substr(key.size()), entry)) {
      error = "history entry " + std::to_string(i) + " is missing or damaged";
      return false;
    }
    entries.push_back(std::move(entry));
  }
  if (!text.empty()) {
    error = "the history file has content after its last entry";
    return false;
  }
  history = std::move(entries);
  return true;
}
