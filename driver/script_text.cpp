#include "driver/script_text.h"

#include "editor/history_file.h"

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
    const size_t at = i;
    // NUL would end the statement where the editor hands it on.
    if (!ReadEscape(text, i, ';', out) || (c == 'x' && out.back() == '\0')) {
      error = c == 'x' ? "\\x wants two hex digits, not 00, at byte " +
                             std::to_string(at)
                       : "unknown escape \\" + std::string(1, c) + " at byte " +
                             std::to_string(at);
      return false;
    }
  }
  return true;
}
