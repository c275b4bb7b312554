// The stand-in editor's history file: every entry comes back exactly, and a
// damaged file never replaces the history.
#include "editor/history_file.h"

#include <gtest/gtest.h>

#include <algorithm>

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
      "bell \a, escape \x1B and delete \x7F inside",
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

// The editor refuses a history whose file would be too large without
// writing it: the size it works out must be what the writer writes, also
// where the entry numbers gain a digit.
TEST(HistoryFile, FormattedSizeIsWhatTheWriterWrites) {
  const History awkward = Awkward();  // every kind of escape among them
  for (size_t entries :
       {0, 1, 9, 10, 99, 100, 999, 1000, 9999, 10000, 99999, 100000}) {
    History history(entries, "x");
    std::copy_n(awkward.begin(), std::min(entries, awkward.size()),
                history.begin());
    size_t quoted = 0;
    for (const std::string &entry : history) quoted += QuotedSize(entry);
    EXPECT_EQ(FormattedSize(entries, quoted), FormatHistory(history).size())
        << entries << " entries";
  }
}

// The writer's side of every byte: the named escapes, \xHH in upper case for
// the other control bytes, and everything else as it is.
TEST(HistoryFile, WriterEscapesExactlyTheControlBytes) {
  static const char Hex[] = "0123456789ABCDEF";
  for (int b = 1; b < 256; ++b) {
    const char c = static_cast<char>(b);
    std::string want(1, c);
    if (b < 0x20 || b == 0x7F) want = {'\\', 'x', Hex[b >> 4], Hex[b & 15]};
    if (c == '\\' || c == '"') want = {'\\', c};
    if (c == '\n') want = "\\n";
    if (c == '\r') want = "\\r";
    if (c == '\t') want = "\\t";
    EXPECT_EQ(QuoteEntry(std::string(1, c)), '"' + want + '"') << "byte " << b;
    EXPECT_EQ(QuotedSize(std::string(1, c)), want.size() + 2) << "byte " << b;
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

// One entry's file, its value as it stands between the quotes.
std::string OneEntry(const std::string &value) {
  return "[History]\r\nCount=1\r\nEntry1=\"" + value + "\"\r\n";
}

// A file of n entries "x", its count written as given.
std::string Entries(size_t n, const std::string &count) {
  std::string text = "[History]\r\nCount=" + count + "\r\n";
  for (size_t i = 1; i <= n; ++i)
    text += "Entry" + std::to_string(i) + "=\"x\"\r\n";
  return text;
}

// One entry padded to exactly this many bytes.
std::string OfSize(size_t bytes) {
  const std::string empty = OneEntry("");
  return OneEntry(std::string(bytes - empty.size(), 'x'));
}

constexpr size_t Refused = ~size_t(0);

// Each rule of the reader at its edge: the last thing it takes and the first
// it refuses. Accepted cases give this many entries.
TEST(HistoryFile, EachLimitTakesItsLastCaseAndRefusesTheNext) {
  const struct {
    const char *Why;
    std::string Text;
    size_t Accepted;  // entries read, or Refused
  } cases[] = {
      {"100,000 entries", Entries(100000, "100000"), 100000},
      {"100,001 entries", Entries(100001, "100001"), Refused},
      {"a count of 100,001 with no entries", Entries(0, "100001"), Refused},
      // The count alone over the limit: a reader that caps it at the limit
      // would find every entry it expects.
      {"a count of 100,001 with 100,000 entries", Entries(100000, "100001"),
       Refused},
      {"a count of 10^15 with 100,000 entries",
       Entries(100000, "1000000000000000"), Refused},
      {"leading zeros", Entries(1, "00000000000000000001"), 1},
      {"100,000 behind zeros", Entries(100000, "000000000100000"), 100000},
      {"100,001 behind zeros", Entries(100001, "000000000100001"), Refused},
      {"a count that wraps to 1 past 2^64", Entries(1, "18446744073709551617"),
       Refused},
      {"a count of zero", Entries(0, "0"), 0},
      {"no count digits", Entries(0, ""), Refused},
      {"a signed count", Entries(1, "+1"), Refused},
      {"a count with a space", Entries(1, "1 "), Refused},
      {"a colon, the byte after 9, as a count", Entries(10, ":"), Refused},
      {"a count without its equals sign",
       "[History]\r\nCount:1\r\nEntry1=\"x\"\r\n", Refused},
      {"exactly 4 MiB", OfSize(MaxHistoryFileBytes), 1},
      {"4 MiB and one byte", OfSize(MaxHistoryFileBytes + 1), Refused},
      {"entry number with a leading zero",
       "[History]\r\nCount=1\r\nEntry01=\"x\"\r\n", Refused},
      {"entries out of order",
       "[History]\r\nCount=2\r\nEntry2=\"x\"\r\nEntry1=\"x\"\r\n", Refused},
      {"an entry number skipped",
       "[History]\r\nCount=2\r\nEntry1=\"x\"\r\nEntry3=\"x\"\r\n", Refused},
      {"one entry more than counted", Entries(2, "1"), Refused},
      {"line feeds alone", "[History]\nCount=1\nEntry1=\"x\"\n", 1},
      {"mixed line ends", "[History]\r\nCount=1\nEntry1=\"x\"\r\n", 1},
      {"a carriage return alone", "[History]\rCount=0\r", Refused},
  };
  for (const auto &c : cases) {
    History h = {"kept"};
    std::string error;
    const bool read = ParseHistory(c.Text, h, error);
    EXPECT_EQ(read, c.Accepted != Refused) << c.Why << ": " << error;
    EXPECT_EQ(h.size(), read ? c.Accepted : 1) << c.Why;
  }
}

// Every byte inside the quotes, standing raw and escaped as \xHH: the raw
// ones only when printable (or above 127), the escaped ones but NUL.
TEST(HistoryFile, EveryByteRawAndEscaped) {
  static const char Hex[] = "0123456789abcdef";
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const bool control = b < 0x20 || b == 0x7F;
    const bool raw = !control && c != '"' && c != '\\';
    History h;
    std::string error;
    EXPECT_EQ(ParseHistory(OneEntry(std::string(1, c)), h, error), raw)
        << "raw byte " << b;
    if (raw) EXPECT_EQ(h, History{std::string(1, c)}) << "raw byte " << b;

    const std::string escape = {'\\', 'x', Hex[b >> 4], Hex[b & 15]};
    h.clear();
    EXPECT_EQ(ParseHistory(OneEntry(escape), h, error), b != 0) << escape;
    if (b != 0) EXPECT_EQ(h, History{std::string(1, c)}) << escape;
  }
}

TEST(HistoryFile, EscapesAreExactlyTheWritersAndHexInEitherCase) {
  const struct {
    const char *Value;
    const char *Entry;  // null when refused
  } cases[] = {
      {"\\\\", "\\"},     {"\\\"", "\""},    {"\\n", "\n"},
      {"\\r", "\r"},      {"\\t", "\t"},     {"\\xE9\\xe9", "\xE9\xE9"},
      {"\\x00", nullptr}, {"\\x4", nullptr}, {"\\xG1", nullptr},
      {"\\N", nullptr},   {"\\q", nullptr},  {"\\'", nullptr},
      {"a\\", nullptr},   {"\\0", nullptr},  {"a\"b", nullptr},
  };
  for (const auto &c : cases) {
    History h;
    std::string error;
    EXPECT_EQ(ParseHistory(OneEntry(c.Value), h, error), c.Entry != nullptr)
        << c.Value;
    if (c.Entry) EXPECT_EQ(h, History{c.Entry}) << c.Value;
  }
  // An escape cut short by the end of the text, though hex digits follow it
  // in memory.
  size_t at = 0;
  std::string out;
  EXPECT_FALSE(ReadEscape(std::string_view("x4F").substr(0, 2), at, '"', out));
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
      {"unquoted value", "[History]\r\nCount=1\r\nEntry1=a\r\n"},
      {"a lone quote", "[History]\r\nCount=1\r\nEntry1=\"\r\n"},
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
