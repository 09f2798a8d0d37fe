#include "text/text_ops.h"

#include <gtest/gtest.h>

namespace tessor {
namespace {

// "\x81\x41" and "\xB0\x61" are two-byte GBK characters whose trail bytes are the
// ASCII codes of "A" and "a": no match may start on them.

struct FindCase {
  std::string text, part;
  CaseMode mode;
  TextPos expected;
};

TEST(TextOps, Find) {
  const FindCase cases[] = {
      {"abc", "B", CaseMode::Insensitive, 2},
      {"abc", "B", CaseMode::Sensitive, -1},
      {"MOV EAX,1", "eax", CaseMode::Insensitive, 5},
      {"abcabc", "ca", CaseMode::Insensitive, 3},
      {"abc", "", CaseMode::Insensitive, 1},
      {"", "", CaseMode::Insensitive, -1},
      {"", "a", CaseMode::Insensitive, -1},
      {"ab", "abc", CaseMode::Insensitive, -1},
      {"\x81\x41", "A", CaseMode::Insensitive, -1},
      {"\x81\x41" "A", "A", CaseMode::Insensitive, 3},
      {"\x81\x41" "1", "A1", CaseMode::Insensitive, -1},
      {"\x81\x41" "A1", "A1", CaseMode::Insensitive, 3},
      {"\xB0\x61", "A", CaseMode::Insensitive, -1},
      {"\xB7\xD6\xCE\xF6\xD6\xD0", "\xCE\xF6", CaseMode::Insensitive, 3},
      {"\xB7\xD6\xCE\xF6\xD6\xD0", "\xD6\xCE", CaseMode::Insensitive, -1},
      // A lone lead byte at the end is one character of its own.
      {"ab\x81", "\x81", CaseMode::Sensitive, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(c.text, c.part, c.mode), c.expected) << '"' << c.text << "\" / \"" << c.part << '"';
    EXPECT_EQ(Contains(c.text, c.part, c.mode), c.expected != -1);
  }
}

struct ReplaceCase {
  std::string text, old_part, new_part;
  CaseMode mode;
  std::string expected;
};

TEST(TextOps, ReplaceAll) {
  const ReplaceCase cases[] = {
      {"aXbxc", "x", "-", CaseMode::Insensitive, "a-b-c"},
      {"aXbxc", "x", "-", CaseMode::Sensitive, "aXb-c"},
      {"aaa", "aa", "b", CaseMode::Insensitive, "ba"},
      {"ab", "a", "aa", CaseMode::Insensitive, "aab"},
      {"abc", "", "z", CaseMode::Insensitive, "abc"},
      {"", "a", "b", CaseMode::Insensitive, ""},
      {"abc", "abc", "", CaseMode::Insensitive, ""},
      {"EBP-4]", "ebp-", "r", CaseMode::Insensitive, "r4]"},
      {"\x81\x41\x41", "A", "z", CaseMode::Insensitive, "\x81\x41z"},
      {"\x81\x41" "1A1", "A1", "#", CaseMode::Insensitive, "\x81\x41" "1#"},
      {"x\xB7\xD6x", "x", "\xD2\xBB", CaseMode::Insensitive, "\xD2\xBB\xB7\xD6\xD2\xBB"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReplaceAll(c.text, c.old_part, c.new_part, c.mode), c.expected) << c.text << " / " << c.old_part;
}

using Pieces = std::vector<std::string>;

TEST(TextOps, Split) {
  EXPECT_EQ(Split("a,b,,c"), (Pieces{"a", "b", "", "c"}));
  EXPECT_EQ(Split("a,b,"), (Pieces{"a", "b"}));
  EXPECT_EQ(Split(",a"), (Pieces{"", "a"}));
  EXPECT_EQ(Split(","), (Pieces{""}));
  EXPECT_EQ(Split(",,"), (Pieces{"", ""}));
  EXPECT_EQ(Split(""), Pieces{});
  EXPECT_EQ(Split("abc"), (Pieces{"abc"}));
  // The separator is matched case-sensitively and never on a trail byte.
  EXPECT_EQ(Split("aXbxc", "x"), (Pieces{"aXb", "c"}));
  EXPECT_EQ(Split("\x81" "AbAc", "A"), (Pieces{"\x81" "Ab", "c"}));
  EXPECT_EQ(SplitLines("MOV\r\nRETN\r\n"), (Pieces{"MOV", "RETN"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\nb"), (Pieces{"a\nb"}));
}

TEST(TextOps, JoinLines) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({""}), "\r\n");
  EXPECT_EQ(JoinLines({"a", "b"}), "a\r\nb\r\n");
  // Split then join restores a text whose every line ends with CR LF.
  const std::string text = "x\r\n\r\ny\r\n";
  EXPECT_EQ(JoinLines(SplitLines(text)), text);
}

TEST(TextOps, LeftAndMid) {
  struct LeftCase {
    std::int64_t n;
    std::string expected;
  };
  for (const auto& c : {LeftCase{-1, ""}, LeftCase{0, ""}, LeftCase{2, "ab"}, LeftCase{3, "abc"}, LeftCase{9, "abc"}})
    EXPECT_EQ(Left("abc", c.n), c.expected) << c.n;

  struct MidCase {
    std::int64_t start, n;
    std::string expected;
  };
  const MidCase mids[] = {{1, 2, "ab"}, {2, 1, "b"}, {3, 5, "c"}, {0, 2, ""},
                          {4, 1, ""},   {2, 0, ""},  {2, -1, ""}, {-3, 9, ""}};
  for (const auto& c : mids) EXPECT_EQ(Mid("abc", c.start, c.n), c.expected) << c.start << "," << c.n;
  // Byte counts: a cut may end inside a two-byte character.
  EXPECT_EQ(Left("\xB7\xD6\xCE\xF6", 3), "\xB7\xD6\xCE");
  EXPECT_EQ(Mid("\xB7\xD6\xCE\xF6", 2, 2), "\xD6\xCE");
}

TEST(TextOps, ToUpperAscii) {
  EXPECT_EQ(ToUpperAscii("mov eax,0ff"), "MOV EAX,0FF");
  // Trail bytes stay as they are.
  EXPECT_EQ(ToUpperAscii("\xB0\x61" "a"), "\xB0\x61" "A");
}

}  // namespace
}  // namespace tessor
