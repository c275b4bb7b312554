#include "editor/script_text.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::vector<std::string> SplitScript(const std::string &script) {
  std::vector<std::string> steps;
  std::string s;
  for (size_t i = 0; i <= script.size(); ++i) {
    if (i < script.size() && script[i] == '\\' && i + 1 < script.size()) {
      s += script[i];
      s += script[++i];
      continue;
    }
    if (i < script.size() && script[i] != ';') {
      s += script[i];
      continue;
    }
    const size_t first = s.find_first_not_of(' ');
    if (first != std::string::npos) {
      steps.push_back(s.substr(first, s.find_last_not_of(' ') - first + 1));
    }
    s.clear();
  }
  return steps;
}

bool UnescapeText(const std::string &text, std::string &out,
                  std::string &error) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) {
      error = "the text ends in a lone \\";
      return false;
    }
    const char c = text[i];
    switch (c) {
      case '\\':
      case ';':
        out += c;
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        const int hi = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int lo = hi >= 0 ? HexDigit(text[i + 2]) : -1;
        if (lo < 0 || (hi == 0 && lo == 0)) {
          error =
              "\\x wants two hex digits, not 00, at byte " + std::to_string(i);
          return false;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        error = "unknown escape \\" + std::string(1, c) + " at byte " +
                std::to_string(i);
        return false;
    }
  }
  return true;
}
