// The stand-in editor's script text: steps split where a person means them
// to, and a statement written with escapes arrives byte for byte.
#include "driver/script_text.h"

#include <gtest/gtest.h>

namespace {

using Steps = std::vector<std::string>;

TEST(ScriptText, SplitsAtSemicolonsAndTrimsSpaces) {
  EXPECT_EQ(SplitScript("  clear ;show;; quit  "),
            (Steps{"clear", "show", "quit"}));
  EXPECT_EQ(SplitScript(""), Steps{});
  EXPECT_EQ(SplitScript(" ; ; "), Steps{});
}

TEST(ScriptText, EscapedSemicolonStaysInsideItsStep) {
  EXPECT_EQ(SplitScript("run SELECT 1\\;; run a\\;b\\; ; quit"),
            (Steps{"run SELECT 1\\;", "run a\\;b\\;", "quit"}));
}

TEST(ScriptText, WindowsPathsSplitAsBefore) {
  EXPECT_EQ(SplitScript("save Z:\\work\\h.ini; load Z:\\r\\n.ini"),
            (Steps{"save Z:\\work\\h.ini", "load Z:\\r\\n.ini"}));
}

TEST(ScriptText, EscapesGiveEveryByteOfTheStatement) {
  std::string out, error;
  ASSERT_TRUE(UnescapeText(
      "SELECT a,\\r\\n  b\\tFROM t -- caf\\xE9 \\\\ \\x7f\\;", out, error))
      << error;
  EXPECT_EQ(out, "SELECT a,\r\n  b\tFROM t -- caf\xE9 \\ \x7F;");
  ASSERT_TRUE(UnescapeText("\\n\\r", out, error));
  EXPECT_EQ(out, "\n\r");
  ASSERT_TRUE(UnescapeText("", out, error));
  EXPECT_EQ(out, "");
}

TEST(ScriptText, BadEscapesAreRefusedWithAReason) {
  for (const char *bad : {"a\\", "\\x0", "\\xG1", "\\x00", "\\q", "x\\\"y"}) {
    std::string out = "kept?", error;
    EXPECT_FALSE(UnescapeText(bad, out, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

}  // namespace
