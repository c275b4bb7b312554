// The stand-in editor's history file: every entry comes back exactly, and a
// damaged file never replaces the history.
#include "editor/history_file.h"

#include <gtest/gtest.h>

namespace {

History Awkward() {
  return {
      "SELECT 1;",
      "SELECT *\r\n  FROM orders\r\n WHERE id = 7;",
      "UPDATE t SET a = 'x=y; [z]' WHERE b = \"q\";",
      "  leading and trailing spaces  ",
      "",
      "tab\there, backslash \\ and \\n literally",
      "caf\xE9 na\xEFve \xA7 \xFF",
      std::string("nul \0 and bell \a inside", 23),
      "[History]",
      "Count=99",
  };
}

TEST(HistoryFile, EveryEntryRoundTripsExactly) {
  const History original = Awkward();
  History restored = {"old"};
  std::string error;
  ASSERT_TRUE(ParseHistory(FormatHistory(original), restored, error)) << error;
  ASSERT_EQ(restored.size(), original.size());
  for (size_t i = 0; i < original.size(); ++i) {
    EXPECT_EQ(restored[i], original[i]) << "entry " << i + 1;
  }
}

TEST(HistoryFile, EmptyHistoryRoundTrips) {
  History restored = {"old"};
  std::string error;
  ASSERT_TRUE(ParseHistory(FormatHistory({}), restored, error)) << error;
  EXPECT_TRUE(restored.empty());
}

TEST(HistoryFile, LayoutIsOneLinePerEntry) {
  EXPECT_EQ(
      FormatHistory({"a\nb", "c\"d"}),
      "[History]\r\nCount=2\r\nEntry1=\"a\\nb\"\r\nEntry2=\"c\\\"d\"\r\n");
}

// What a person or another tool may write for the same history is read the
// same: line feeds alone, lowercase hex escapes, a count with leading zeros.
TEST(HistoryFile, AcceptsWhatMeansTheSameHistory) {
  const struct {
    const char *Why;
    const char *Text;
  } cases[] = {
      {"line feeds alone", "[History]\nCount=1\nEntry1=\"x\\x1B\"\n"},
      {"mixed line ends", "[History]\r\nCount=1\nEntry1=\"x\\x1B\"\r\n"},
      {"lowercase hex", "[History]\r\nCount=1\r\nEntry1=\"x\\x1b\"\r\n"},
      {"leading zeros", "[History]\r\nCount=001\r\nEntry1=\"x\\x1B\"\r\n"},
  };
  for (const auto &c : cases) {
    History h;
    std::string error;
    EXPECT_TRUE(ParseHistory(c.Text, h, error)) << c.Why << ": " << error;
    EXPECT_EQ(h, History{"x\x1B"}) << c.Why;
  }
}

TEST(HistoryFile, DamagedFilesAreRefusedAndLeaveTheHistory) {
  const std::string good = FormatHistory({"one", "two"});
  const struct {
    const char *Why;
    std::string Text;
  } cases[] = {
      {"empty file", ""},
      {"no section", "Count=0\r\n"},
      {"other section", "[Other]\r\nCount=0\r\n"},
      {"truncated mid-entry", good.substr(0, good.size() - 5)},
      {"missing final newline", good.substr(0, good.size() - 2)},
      {"count too high", "[History]\r\nCount=3\r\nEntry1=\"a\"\r\n"},
      {"count not a number", "[History]\r\nCount=two\r\n"},
      {"negative count", "[History]\r\nCount=-1\r\n"},
      {"huge count", "[History]\r\nCount=99999999999\r\n"},
      {"entries out of order",
       "[History]\r\nCount=2\r\nEntry2=\"b\"\r\nEntry1=\"a\"\r\n"},
      {"unquoted value", "[History]\r\nCount=1\r\nEntry1=a\r\n"},
      {"bad escape", "[History]\r\nCount=1\r\nEntry1=\"\\q\"\r\n"},
      {"short hex escape", "[History]\r\nCount=1\r\nEntry1=\"\\x4\"\r\n"},
      {"inner quote", "[History]\r\nCount=1\r\nEntry1=\"a\"b\"\r\n"},
      {"trailing garbage", good + "junk\r\n"},
      {"binary", std::string("\x7F"
                             "ELF\0\1\2\3\n",
                             9)},
      {"too large", std::string(MaxHistoryFileBytes + 1, 'x')},
  };
  for (const auto &c : cases) {
    History h = {"kept"};
    std::string error;
    EXPECT_FALSE(ParseHistory(c.Text, h, error)) << c.Why;
    EXPECT_EQ(h, History{"kept"}) << c.Why;
    EXPECT_FALSE(error.empty()) << c.Why << ": the user is told nothing";
  }
}

}  // namespace
