#include "pseudocode/name_substitution.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pseudocode/rewrite_tables.h"
#include "texts.h"

namespace tessor {
namespace {

using testing::Import;
using testing::Lines;

SubroutineEntry Subroutine(std::string title, std::string thunkLabel, std::string address) {
  SubroutineEntry e;
  e.title = std::move(title);
  e.thunkLabel = std::move(thunkLabel);
  e.address = std::move(address);
  return e;
}

// Stages 2 to 4 as the pipeline runs them.
std::string ImportStages(std::string_view listing, const std::vector<ImportRow>& imports) {
  const NameSubstitutions names = ImportNameSubstitutions(imports);
  return ApplyRewrites(names.Apply(ApplyRewrites(listing, kOperandRewrites)), kMemoryOperandRewrites);
}

TEST(ImportNames, KeysAreZeroAndTheRvaDigits) {
  struct Case {
    std::string thunkRva, key;
  };
  const Case cases[] = {
      {"0000A000", "0A000"}, {"00002000", "02000"}, {"0000F000", "0F000"},
      {"000G", "0F"},        {"00000000", "00"},    {"", "00"},
  };
  for (const auto& c : cases) {
    const std::vector<ImportRow> imports{Import(c.thunkRva, "f")};
    const NameSubstitutions names = ImportNameSubstitutions(imports);
    ASSERT_EQ(names.rows().size(), 1u);
    EXPECT_EQ(names.rows()[0].key, c.key) << c.thunkRva;
    EXPECT_EQ(names.rows()[0].replacement, "删行\r\nf()\r\n\xA1\xAF");
  }
}

TEST(ImportNames, CutTheLineAroundTheName) {
  struct Case {
    std::string listing;
    std::vector<ImportRow> imports;
    std::string expected;
  };
  const Case cases[] = {
      {"CALL DWORD PTR DS:[402000]()", {Import("00002000", "ExitProcess")},
       Lines({" DWORD #4删行", "ExitProcess()"}) + "’()"},
      {"MOV ESI=DWORD PTR DS:[40A000]", {Import("0000A000", "GetTickCount")},
       Lines({"MOV ESI=DWORD #4删行", "GetTickCount()"}) + "’"},
      {"CALL DWORD PTR DS:[402000]()", {Import("00002000", "CallWindowProcA")},
       Lines({" DWORD #4删行", "WindowProcA()"}) + "’()"},
      // Key "00": the text is cut at every "00".
      {"PUSH 100004", {Import("00000000", "f")}, Lines({"传参 1删行", "f()", "’删行", "f()"}) + "’4"},
      // A later row can hit the name that an earlier row inserted.
      {"MOV EAX=DWORD PTR DS:[402000]", {Import("00002000", "x0ABC"), Import("00000ABC", "y")},
       Lines({"MOV EAX=DWORD #4删行", "x删行", "y()", "’()"}) + "’"},
      {"PUSH 1", {}, "传参 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(ImportStages(c.listing, c.imports), c.expected) << c.listing;
}

TEST(SubroutineNames, ThunkLabelsThenAddresses) {
  struct Case {
    std::string body;
    std::vector<SubroutineEntry> subroutines;
    std::string expected;
  };
  const Case cases[] = {
      {"sub_02A31000( 传参 0)", {Subroutine("GetTickCount", "sub_02A31000", "7777")}, "GetTickCount( 传参 0)"},
      {"传参 00401000", {Subroutine(".子程序 sub_02A31001", "", "401000")}, "传参 00.子程序 sub_02A31001()"},
      {"sub_00401000( )", {Subroutine("f", "", "401000")}, "sub_00f()( )"},
      // A later entry's texts hit a replacement made for an earlier one.
      {"sub_1", {Subroutine("sub_2", "sub_1", ""), Subroutine("g", "sub_2", "")}, "g"},
      {"sub_1", {Subroutine("g", "sub_2", ""), Subroutine("sub_2", "sub_1", "")}, "sub_2"},
      {"401000", {Subroutine("", "", ""), Subroutine("x", "", "")}, "401000"},
      {"", {Subroutine("x", "", "1")}, ""},
  };
  for (const auto& c : cases) {
    const NameSubstitutions names = SubroutineNameSubstitutions(c.subroutines);
    EXPECT_EQ(names.Apply(c.body), c.expected) << c.body;
    EXPECT_EQ(names.ApplyInOrder(c.body), c.expected) << c.body;
  }
}

// Texts and rows made to meet every way a key can be found: where the text has it from
// the start, inside a replacement that an earlier row inserted, across the edge of one
// (an insertion or a deletion joining two halves), in another letter case, behind the
// lead byte of a two-byte character, overlapping itself, and repeated with different
// replacements.
struct Generated {
  std::string text;
  std::vector<NameRewrite> rows;
};

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  Generated Make(bool lineBreakKeys) {
    Generated g;
    const int lines = Pick(0, 12);
    for (int i = 0; i < lines; ++i) {
      g.text += Fragment(Pick(0, 8));
      if (Pick(0, 5) != 0) g.text += "\r\n";
    }
    const int rows = Pick(0, 30);
    for (int i = 0; i < rows; ++i) {
      NameRewrite row;
      row.key = Fragment(Pick(0, 3));
      if (lineBreakKeys && Pick(0, 4) == 0) row.key += Pick(0, 1) ? "\r\n" : "\n";
      if (!g.rows.empty() && Pick(0, 4) == 0) row.key = Recase(g.rows[Pick(0, g.rows.size() - 1)].key);
      row.replacement = Pick(0, 4) == 0 ? "" : Fragment(Pick(0, 4));
      if (Pick(0, 6) == 0) row.replacement += "\r\n" + Fragment(1);
      if (Pick(0, 8) == 0) row.replacement = row.key;
      g.rows.push_back(std::move(row));
    }
    return g;
  }

 private:
  int Pick(int lo, std::size_t hi) { return std::uniform_int_distribution<int>(lo, static_cast<int>(hi))(random_); }

  std::string Fragment(int pieces) {
    static const char* const kPieces[] = {"0", "A", "a", "B", "b", "0A", "AB", "00", "sub_", "\x81", "\x81" "A",
                                          "删", "\xB0" "a", "(", ")", " ", "EAX", "Eax", "’", "\r"};
    std::string out;
    for (int i = 0; i < pieces; ++i) out += kPieces[Pick(0, std::size(kPieces) - 1)];
    return out;
  }

  std::string Recase(std::string text) {
    for (char& c : text)
      if (Pick(0, 1)) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : (c >= 'A' && c <= 'Z' ? c + 32 : c));
    return text;
  }

  std::mt19937 random_;
};

TEST(NameSubstitutions, SkippingRowsChangesNoByte) {
  for (const bool lineBreakKeys : {false, true}) {
    Generator generator(lineBreakKeys ? 7u : 11u);
    for (int i = 0; i < 4000; ++i) {
      const Generated g = generator.Make(lineBreakKeys);
      const NameSubstitutions names(g.rows);
      ASSERT_EQ(names.Apply(g.text), names.ApplyInOrder(g.text)) << "case " << i << " text " << g.text;
    }
  }
}

TEST(NameSubstitutions, KeysFoundOnlyThroughEarlierRows) {
  struct Case {
    std::string text;
    std::vector<NameRewrite> rows;
    std::string expected;
  };
  const Case cases[] = {
      {"0A", {{"0A", "x0B"}, {"0B", "y"}}, "xy"},                 // inside a replacement
      {"A-B", {{"-", ""}, {"AB", "!"}}, "!"},                      // across a deletion
      {"AZ", {{"Z", "B"}, {"AB", "!"}}, "!"},                      // across an insertion's edge
      {"ZB", {{"Z", "A"}, {"ab", "!"}}, "!"},                      // the other edge, another case
      {"AAA", {{"AA", "B"}, {"BA", "C"}}, "C"},                    // overlapping occurrences
      {"AB", {{"ab", "AB"}, {"AB", "x"}}, "x"},                    // a row that changes nothing
      {"0", {{"0", "00"}, {"0", "1"}}, "11"},                      // the same key twice
      {"\x81" "AA", {{"A", "z"}}, "\x81" "Az"},                    // no match on a trail byte
      {"a\r\nb", {{"\r\nb", "c"}, {"ac", "!"}}, "!"},             // keys with a line break
      {"x\r\ny", {{"x", "A"}, {"y", "B"}, {"A\r\nB", "!"}}, "!"},
  };
  for (const auto& c : cases) {
    const NameSubstitutions names(c.rows);
    EXPECT_EQ(names.ApplyInOrder(c.text), c.expected) << c.text;
    EXPECT_EQ(names.Apply(c.text), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace tessor
