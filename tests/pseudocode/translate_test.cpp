#include "pseudocode/translate.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/hex.h"
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

TEST(TranslateListing, WorkedExample) {
  const std::vector<SubroutineEntry> subroutines{Subroutine(".子程序 sub_02A31000", "", "401000")};
  const TranslationContext context = MakeTranslationContext({}, subroutines, 0x400000, {}, nullptr);
  const std::string listing = Lines({
      ".局部变量 EAX, 整数型, , , 返回值",
      "MOV DWORD PTR SS:[EBP-4]=0",
      "PUSH 0",
      "PUSH DWORD PTR SS:[EBP+8]",
      "CALL 02A31000()",
      "MOV DWORD PTR SS:[EBP-8]=EAX",
      "CMP DWORD PTR SS:[EBP-8],5",
      "JLE SHORT 02A31020",
      "MOV EAX=DWORD PTR SS:[EBP-4]",
      "RETN",
  });
  const std::string expected = Lines({
      ".局部变量  到整数(r4, 整数型",
      ".局部变量 a, 整数型, , , 返回值",
      " 到整数(r4 = 0",
      " 到整数(r8  =  sub_02A31000( 到整数(参数p8,0)",
      "如果( 到整数(r8=5)",
      "返回(a)",
  });
  EXPECT_EQ(TranslateListing(listing, context), expected);
  EXPECT_EQ(TranslateListingReference(listing, context), expected);
}

TEST(TranslateListing, WholePipelineCases) {
  struct Case {
    std::string listing;
    std::vector<ImportRow> imports;
    std::vector<SubroutineEntry> subroutines;
    std::string expected;
  };
  const Case cases[] = {
      {"", {}, {}, ""},
      {"", {Import("00002000", "ExitProcess")}, {Subroutine("f", "sub_1", "1")}, ""},
      // Of the three lines an import call is cut into, only the name is left.
      {Lines({"CALL DWORD PTR DS:[402000]()"}), {Import("00002000", "ExitProcess")}, {}, Lines({"ExitProcess()"})},
      // The one-line listing of an import thunk has no line end.
      {"GetTickCount()", {}, {}, Lines({"GetTickCount()"})},
      // A call to a thunk takes the thunk's title, with its arguments.
      {Lines({"PUSH 1", "CALL 02A31000()", "MOV DWORD PTR SS:[EBP-4]=EAX", "RETN"}), {},
       {Subroutine("Sleep", "sub_02A31000", "2A31000")},
       Lines({" 到整数(r4  =  Sleep( 1)", "返回(a)"})},
      {Lines({"XOR EAX,EAX", "TEST EAX,EAX", "JNZ SHORT 02A31040", "IMUL EAX,ECX", "SHL EAX,2"}), {}, {},
       Lines({"如果( a≠0a)", " a =  a × ECX", "逻辑左移( a,2)"})},
      {Lines({"LEA EAX,DWORD PTR SS:[EBP-8]", "CMP ECX,0A", "JG 02A31000", "JMP SHORT 02A31000", "RETN"}), {}, {},
       Lines({".计次循环首 (0A,到整数(r8)", "JMP ' 02A31000", "返回(a)"})},
  };
  for (const auto& c : cases) {
    const TranslationContext context = MakeTranslationContext(c.imports, c.subroutines, 0x400000, {}, nullptr);
    EXPECT_EQ(TranslateListing(c.listing, context), c.expected) << c.listing;
    EXPECT_EQ(TranslateListingReference(c.listing, context), c.expected) << c.listing;
  }
}

TEST(TranslateListing, StringsThroughTheSectionTable) {
  std::vector<std::uint8_t> bytes(0x800, 0);
  std::memcpy(bytes.data() + 0x610, "Tessor sample", 13);
  SectionEntry rdata;
  rdata.VirtualAddress = 0x4000;
  rdata.VirtualSize = 0x100;
  rdata.SizeOfRawData = 0x200;
  rdata.PointerToRawData = 0x600;
  const TranslationContext context = MakeTranslationContext(
      {}, {}, 0x400000, {rdata}, std::make_shared<const FileBytes>(std::move(bytes)));
  EXPECT_EQ(TranslateListing(Lines({"PUSH 00404010", "CALL 02A31000()"}), context),
            Lines({"sub_02A31000( \"Tessor sample\")"}));
  EXPECT_EQ(TranslateListing(Lines({"PUSH 00404200", "CALL 02A31000()"}), context),
            Lines({"sub_02A31000( 00404200)"}));
}

// Listings and contexts built so that imports and subroutines hit one another: import
// slots and subroutine addresses that contain each other's digits, thunk labels that
// are call targets, titles that hold other entries' labels and addresses.
class ListingGenerator {
 public:
  explicit ListingGenerator(unsigned seed) : random_(seed) {}

  struct Case {
    std::string listing;
    std::vector<ImportRow> imports;
    std::vector<SubroutineEntry> subroutines;
  };

  Case Make() {
    Case c;
    const int imports = Pick(0, 20);
    for (int i = 0; i < imports; ++i)
      c.imports.push_back(Import(Hex8(static_cast<std::uint32_t>(Rva())), Name()));
    const int subroutines = Pick(0, 30);
    for (int i = 0; i < subroutines; ++i) {
      const std::uint32_t position = static_cast<std::uint32_t>(Rva());
      const bool thunk = Pick(0, 3) == 0;
      std::string title = thunk ? Name() : ".子程序 sub_" + Hex8(position + 1);
      if (Pick(0, 6) == 0) title += " sub_" + Hex8(static_cast<std::uint32_t>(Rva()));
      c.subroutines.push_back(Subroutine(title, thunk ? "sub_" + Hex8(position) : "",
                                         IntToHex(0x400000 + Pick(0, 3) * 0x1000 + position)));
    }
    const int lines = Pick(0, 60);
    for (int i = 0; i < lines; ++i) c.listing += Line(c) + "\r\n";
    return c;
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
  std::int64_t Rva() { return 0x1000 * Pick(1, 6) + 0x10 * Pick(0, 4) + Pick(0, 2); }

  std::string Name() {
    static const char* const kNames[] = {"ExitProcess", "CallWindowProcA", "GetObjectA", "InsertMenuA", "SetEAX",
                                         "lstrlenA",    "sub_00401000",   "0A000",      "删行",       "Je"};
    return kNames[Pick(0, std::size(kNames) - 1)];
  }

  std::string Address(const Case& c) {
    if (!c.imports.empty() && Pick(0, 1)) return IntToHex(0x400000 + HexTextToValue(c.imports[Pick(0, c.imports.size() - 1)][0]));
    if (!c.subroutines.empty() && Pick(0, 1)) return c.subroutines[Pick(0, c.subroutines.size() - 1)].address;
    return IntToHex(0x400000 + Rva());
  }

  std::string Line(const Case& c) {
    switch (Pick(0, 17)) {
      case 0: return "PUSH " + Address(c);
      case 1: return "PUSH 00" + Address(c);
      case 2: return "CALL 0" + Hex8(static_cast<std::uint32_t>(Rva())).substr(1) + "()";
      case 3: return "CALL DWORD PTR DS:[" + Address(c) + "]()";
      case 4: return "MOV EAX=DWORD PTR DS:[" + Address(c) + "]";
      case 5: return "MOV DWORD PTR SS:[EBP-" + std::to_string(Pick(1, 3) * 4) + "]=EAX";
      case 6: return "CMP DWORD PTR SS:[EBP-8]," + std::to_string(Pick(0, 9));
      case 7: return "JLE SHORT 0" + Address(c);
      case 8: return "TEST EAX,EAX";
      case 9: return "JNZ SHORT 0" + Address(c);
      case 10: return "MOV EBX=DWORD PTR DS:[" + Address(c) + "]";
      case 11: return "PUSH EBX";
      case 12: return "LEA EAX,DWORD PTR SS:[EBP-8]";
      case 13: return "CMP ECX,0A";
      case 14: return "RETN";
      case 15: return "MOV DWORD PTR DS:[" + Address(c) + "]=EAX";
      case 16: return "POP ECX";
      default: return "";
    }
  }

  std::mt19937 random_;
};

TEST(TranslateListing, ProductionPathMatchesTheReference) {
  ListingGenerator generator(2024);
  for (int i = 0; i < 1500; ++i) {
    const ListingGenerator::Case c = generator.Make();
    const TranslationContext context = MakeTranslationContext(c.imports, c.subroutines, 0x400000, {}, nullptr);
    ASSERT_EQ(TranslateListing(c.listing, context), TranslateListingReference(c.listing, context))
        << "case " << i << "\n" << c.listing;
  }
}

}  // namespace
}  // namespace tessor
