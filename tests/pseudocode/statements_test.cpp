#include "pseudocode/statements.h"

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "texts.h"

namespace tessor {
namespace {

using testing::Lines;

SectionEntry Section(std::int32_t virtualAddress, std::int32_t sizeOfRawData, std::int32_t pointerToRawData) {
  SectionEntry s;
  s.VirtualAddress = virtualAddress;
  s.VirtualSize = sizeOfRawData;
  s.SizeOfRawData = sizeOfRawData;
  s.PointerToRawData = pointerToRawData;
  return s;
}

// Image base 0x400000; a file of 0x6000 bytes. The section at RVA 0x5000 holds its raw
// data at 0x3000, so «Hello» at 0x3010 is the string at 0x405010. At 0x4010, where the
// address would land with a fixed 0x1000 and no section table, lies «Wrong».
class StringOperands : public ::testing::Test {
 protected:
  StringOperands() : bytes_(0x6000, 'x') {
    Put(0x0, std::string("MZ\0", 3));
    Put(0x3010, std::string("Hello\0", 6));
    Put(0x4010, std::string("Wrong\0", 6));
    Put(0x3100, std::string(60, 'S'));
    Put(0x3200, std::string("two\r\nlines\0", 11));
    sections_ = {Section(0x1000, 0x1000, 0x400), Section(0x5000, 0x800, 0x3000),
                 Section(0x6000, 0x100, 0x5FF8),   // the last 8 bytes of the file, then its end
                 Section(0x7000, 0x100, 0x7000),   // raw data past the end of the file
                 Section(0x8000, 0x100, -0x10),    // a negative file offset
                 Section(0x5000, 0x800, 0x4000)};  // a later section over the same addresses
    Put(0x5FF8, "tailtail");
    source_.imageBase = 0x400000;
    source_.sections = sections_;
    source_.file = ByteView(bytes_);
  }
  void Put(std::size_t at, const std::string& text) { std::memcpy(bytes_.data() + at, text.data(), text.size()); }

  std::vector<std::uint8_t> bytes_;
  std::vector<SectionEntry> sections_;
  StringOperandSource source_;
};

TEST_F(StringOperands, ReadThroughTheSectionTable) {
  struct Case {
    std::uint32_t v;
    bool applies;
    std::string text;
  };
  const Case cases[] = {
      {0x405010, true, "Hello"},             // the first section that holds it, not the last
      {0x405100, true, std::string(50, 'S')},  // at most 50 bytes
      {0x405200, true, "two\r\nlines"},
      {0x405000, true, std::string(16, 'x') + "Hello"},
      {0x4057FF, true, std::string(50, 'x')},  // the last byte of the raw data: 50 bytes of the file
      {0x405800, false, ""},                 // past SizeOfRawData
      {0x404FFF, false, ""},                 // before the section
      {0x400000, false, ""},                 // the image base lies in no section
      {0x401000, true, std::string(50, 'x')},
      {0x406000, true, "tailtail"},          // cut short at the end of the file
      {0x407000, false, ""},                 // offset past the end of the file
      {0x408000, true, "MZ"},                // a negative offset reads from the start
      {0x0, false, ""},
      {0xFFFFFFFF, false, ""},
  };
  for (const auto& c : cases) {
    const auto text = ReadStringOperand(c.v, source_);
    EXPECT_EQ(text.has_value(), c.applies) << std::hex << c.v;
    if (text && c.applies) {
      EXPECT_EQ(*text, c.text) << std::hex << c.v;
    }
  }
}

TEST_F(StringOperands, NoFileOrNoSectionsGiveNoString) {
  StringOperandSource empty = source_;
  empty.file = ByteView();
  EXPECT_FALSE(ReadStringOperand(0x405010, empty));
  EXPECT_FALSE(ReadStringOperand(0x408000, empty));
  StringOperandSource noSections = source_;
  noSections.sections = {};
  EXPECT_FALSE(ReadStringOperand(0x405010, noSections));
}

TEST_F(StringOperands, SixtyFourBitImageBaseAboveAnyThirtyTwoBitValue) {
  StringOperandSource high = source_;
  high.imageBase = 0x140000000ull;
  EXPECT_FALSE(ReadStringOperand(0x405010, high));
  high.imageBase = 0xFFFFFFFFFFFF0000ull;
  EXPECT_FALSE(ReadStringOperand(0x405010, high));
}

TEST_F(StringOperands, PushesAndLoadsOfStringAddresses) {
  struct Case {
    std::string listing;
    std::string body;
  };
  const Case cases[] = {
      {Lines({"传参 00405010"}), ""},  // pending: no call follows
      {Lines({"传参 00405010", "sub_1()"}), Lines({"sub_1( 传参 \"Hello\")"})},
      {Lines({"传参 00400000", "sub_1()"}), Lines({"sub_1( 传参 00400000)"})},
      {Lines({"传参 00405800", "sub_1()"}), Lines({"sub_1( 传参 00405800)"})},
      {Lines({"传参 DWORD #00405010", "sub_1()"}), Lines({"sub_1( 传参 DWORD #00405010)"})},
      {Lines({"传参 405010", "sub_1()"}), Lines({"sub_1( 传参 \"Hello\")"})},
      {Lines({"传参 00405200", "sub_1()"}), Lines({"sub_1( 传参 \"two", "lines\")"})},
      {Lines({"MOV EAX=00405010", "MOV DWORD #00406000=EAX"}), Lines({"MOV DWORD #00406000=\"Hello\""})},
      {Lines({"MOV EAX=00405010", "MOV DWORD #00406000=EAX", "MOV DWORD #00406004=EAX"}),
       Lines({"MOV DWORD #00406000=\"Hello\"", "MOV DWORD #00406004="})},
      // Letters nine or more places from the right do not count.
      {Lines({"MOV EAX=ABC00405010", "MOV DWORD #00406000=EAX"}), Lines({"MOV DWORD #00406000=\"Hello\""})},
      {Lines({"MOV EAX=1", "MOV DWORD #00406000=EAX"}), Lines({"MOV DWORD #00406000=MOV 1"})},
  };
  for (const auto& c : cases) EXPECT_EQ(AssembleStatements(c.listing, source_).body, c.body) << c.listing;
}

struct StatementCase {
  std::string listing;
  std::string declarations;
  std::string body;
};

TEST(Statements, CallsArgumentsAndDeclarations) {
  const StatementCase cases[] = {
      {Lines({"传参 1", "传参 2", "sub_02A31000()"}), "", Lines({"sub_02A31000( 传参 2,传参 1)"})},
      {Lines({"传参 EAX", "sub_02A31000()"}), "", Lines({"sub_02A31000( 传参 &EAX)"})},
      {Lines({"sub_02A31000()"}), "", Lines({"sub_02A31000( )"})},
      {Lines({"sub_02A31000()", "MOV 到整数(r_8=EAX", "RETN"}), "",
       Lines({"MOV 到整数(r_8 = sub_02A31000( )", "", "RETN"})},
      // Second to last: not joined with the last line.
      {Lines({"sub_02A31000()", "MOV 到整数(r_8=EAX"}), Lines({".局部变量 MOV 到整数(r_8, 整数型"}),
       Lines({"sub_02A31000( )", "MOV 到整数(r_8=EAX"})},
      {Lines({" ESP+8", "MOV EAX=到整数(ESP+4", "NOP"}), "", Lines({"NOP"})},
      {Lines({"MOV 到整数(r_4=0", "MOV 到整数(r_4=EAX"}), Lines({".局部变量 MOV 到整数(r_4, 整数型"}),
       Lines({"MOV 到整数(r_4=0", "MOV 到整数(r_4=EAX"})},
      {Lines({"MOV 到整数(r_48=1", "MOV 到整数(r_4=2"}), Lines({".局部变量 MOV 到整数(r_48, 整数型"}),
       Lines({"MOV 到整数(r_48=1", "MOV 到整数(r_4=2"})},
      {Lines({"MOV r_4=返回(EAX)"}), "", Lines({"MOV r_4=返回(EAX)"})},
      {Lines({"=r_4"}), Lines({".局部变量 , 整数型"}), Lines({"=r_4"})},
      // A push that is also a call is its own first argument.
      {Lines({"传参 1", "传参 sub_1()"}), "", Lines({"传参 sub_1( 传参 sub_1(),传参 1)"})},
      // Pushes wait for the next line with "sub"; those left at the end are dropped.
      {Lines({"传参 1", " EAX()", "sub_2()", "传参 3"}), "", Lines({" EAX()", "sub_2( 传参 1)"})},
      // A call whose text holds EAX passes its address.
      {Lines({"sub_1(EAX)"}), "", Lines({"sub_1( &EAX)"})},
      {Lines({"返回(EAX)", "sub_1()"}), "", Lines({"返回(EAX)", "sub_1( )"})},
      // Loads into EBX from a global wait for a push of EBX.
      {Lines({"MOV EBX=#407000", "MOV EBX=ECX", "传参 EBX", "sub_1()", "传参 EBX", "sub_2()"}), "",
       Lines({"sub_1( 传参 MOV 全局变量407000)", "sub_2( 传参 )"})},
      {Lines({"MOV EAX=5", "MOV 到整数(r_4=EAX"}), Lines({".局部变量 MOV 到整数(r_4, 整数型"}),
       Lines({"MOV 到整数(r_4=EAX"})},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const Statements s = AssembleStatements(c.listing, StringOperandSource{});
    EXPECT_EQ(s.declarations, c.declarations) << c.listing;
    EXPECT_EQ(s.body, c.body) << c.listing;
  }
}

TEST(Statements, JoinSpacesTheBodyOnly) {
  Statements s{Lines({".局部变量 MOV 到整数(r_4, 整数型"}), Lines({"MOV 到整数(r_4=0", "a = b"})};
  EXPECT_EQ(JoinStatements(s), Lines({".局部变量 MOV 到整数(r_4, 整数型", "", "MOV 到整数(r_4 = 0", "a  =  b"}));
  EXPECT_EQ(JoinStatements(Statements{}), "\r\n");
}

}  // namespace
}  // namespace tessor
