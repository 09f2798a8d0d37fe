#include "disasm/subroutines.h"

#include <gtest/gtest.h>

namespace tessor {
namespace {

using Code = std::vector<std::uint8_t>;

constexpr std::uint32_t kBase = 0x1000;  // the code section's RVA

constexpr std::int64_t kWhole = INT64_MIN;

SweepResult Sweep(const Code& code, std::int64_t length = kWhole) {
  SweepInput in;
  in.code = ByteView(code);
  in.basePosition = kBase;
  in.sweepLength = length == kWhole ? static_cast<std::int64_t>(code.size()) : length;
  in.imageBase = 0x400000;
  in.imageSize = 0x10000;
  in.keepInstructions = true;
  return SweepCode(in);
}

Code Join(std::initializer_list<Code> parts) {
  Code code;
  for (const auto& p : parts) code.insert(code.end(), p.begin(), p.end());
  return code;
}

const Code kRet = {0xC3};
const Code kPushEbp = {0x55};
const Code kMovEbpEsp = {0x8B, 0xEC};
const Code kSubEsp8 = {0x83, 0xEC, 0x08};
const Code kXorEaxEax = {0x33, 0xC0};
const Code kLeave = {0xC9};
const Code kInt3 = {0xCC};
const Code kNop = {0x90};

const std::string kDecl = std::string(kReturnValueDeclaration) + "\r\n";

TEST(Sweep, AFramedSubroutineStartsAtItsPush) {
  const auto result = Sweep(Join({kRet, kPushEbp, kMovEbpEsp, kSubEsp8, kXorEaxEax, kLeave, kRet}));
  ASSERT_EQ(result.subroutines.size(), 1u);
  const SubroutineEntry& s = result.subroutines[0];
  EXPECT_EQ(s.title, ".子程序 sub_00001001");
  EXPECT_EQ(s.address, "401001");
  EXPECT_EQ(s.listing, kDecl + " ESP-8\r\nXOR EAX,EAX\r\nLEAVE\r\nRETN\r\n");
  EXPECT_EQ(s.thunkLabel, "");
  EXPECT_EQ(s.library, "");
  // Every instruction is kept for listing, with its position value.
  ASSERT_EQ(result.instructions.size(), 7u);
  EXPECT_EQ(result.instructions[2].position, 0x1002u);
  EXPECT_EQ(result.instructions[2].dump, "8BEC");
}

TEST(Sweep, FillerBeforeAPushFormsAnEntryOfItsOwn) {
  // RETN, INT3, INT3, then a framed routine: the two INT3 lines are stored when the
  // push closes them, titled at the push.
  const auto result =
      Sweep(Join({kRet, kInt3, kInt3, kPushEbp, kMovEbpEsp, kXorEaxEax, kLeave, kRet}));
  ASSERT_EQ(result.subroutines.size(), 2u);
  EXPECT_EQ(result.subroutines[0].title, ".子程序 sub_00001003");
  EXPECT_EQ(result.subroutines[0].listing, kDecl + "INT3\r\nINT3\r\n");
  EXPECT_EQ(result.subroutines[1].title, ".子程序 sub_00001003");
  EXPECT_EQ(result.subroutines[1].address, "401003");
  EXPECT_EQ(result.subroutines[1].listing, kDecl + "XOR EAX,EAX\r\nLEAVE\r\nRETN\r\n");
}

TEST(Sweep, SingleLineSubroutinesAreDroppedAndAnEmptySweepGivesOneEmptyEntry) {
  const auto dropped = Sweep(Join({kXorEaxEax, kRet, kRet}));
  ASSERT_EQ(dropped.subroutines.size(), 1u);  // XOR + RETN; the lone RETN after it is dropped
  EXPECT_EQ(dropped.subroutines[0].listing, "XOR EAX,EAX\r\nRETN\r\n");  // the first listing has no declaration
  EXPECT_EQ(dropped.subroutines[0].address, "401000");

  for (const auto& result : {Sweep({}), Sweep(Join({kXorEaxEax, kRet}), 0), Sweep(Join({kRet}), -5)}) {
    ASSERT_EQ(result.subroutines.size(), 1u);
    const SubroutineEntry& s = result.subroutines[0];
    EXPECT_EQ(s.title + s.address + s.listing + s.thunkLabel + s.library, "");
  }
  // A lone return is dropped; the entry left after it keeps the closing's texts.
  const auto lone = Sweep(Join({kRet}));
  ASSERT_EQ(lone.subroutines.size(), 1u);
  EXPECT_EQ(lone.subroutines[0].title, "");
  EXPECT_EQ(lone.subroutines[0].listing, kDecl);
}

TEST(Sweep, CodeWithoutBoundariesIsOneEntry) {
  const auto result = Sweep(Join({kInt3, kXorEaxEax, kXorEaxEax, kInt3}));
  ASSERT_EQ(result.subroutines.size(), 1u);
  // Titled at the first instruction whose dump has no CC.
  EXPECT_EQ(result.subroutines[0].title, ".子程序 sub_00001001");
  EXPECT_EQ(result.subroutines[0].listing, "INT3\r\nXOR EAX,EAX\r\nXOR EAX,EAX\r\nINT3\r\n");
}

TEST(Sweep, ImportThunks) {
  const Code thunk1 = {0xFF, 0x25, 0x00, 0x20, 0x40, 0x00};
  const Code thunk2 = {0xFF, 0x25, 0x04, 0x20, 0x40, 0x00};
  const auto result = Sweep(Join({kXorEaxEax, kRet, thunk1, thunk2}));
  ASSERT_EQ(result.subroutines.size(), 3u);
  const SubroutineEntry& a = result.subroutines[1];
  EXPECT_EQ(a.thunkLabel, "sub_00001003");
  EXPECT_EQ(a.title, ".子程序 JMP DWORD PTR DS:[402000]");
  EXPECT_EQ(a.listing, "JMP DWORD PTR DS:[402000]");
  EXPECT_EQ(a.address, "401003");  // opened on its own jump
  const SubroutineEntry& b = result.subroutines[2];
  EXPECT_EQ(b.thunkLabel, "sub_00001009");
  EXPECT_EQ(b.listing, "JMP DWORD PTR DS:[402004]");
  EXPECT_EQ(b.address, "401009");
}

struct IdiomCase {
  const char* what;
  Code code;
  std::string listing;  // of the one stored entry (the first: no declaration line)
};

TEST(Sweep, IdiomRules) {
  const IdiomCase cases[] = {
      {"a count loop opens at the LEA after XOR ECX,ECX, once",
       Join({{0x33, 0xC9}, {0x8D, 0x45, 0xFC}, {0x8D, 0x45, 0xFC}, kRet}),
       "XOR ECX,ECX\r\n.计次循环首()\r\nLEA EAX,DWORD PTR SS:[EBP-4]\r\nLEA EAX,DWORD PTR SS:[EBP-4]\r\nRETN\r\n"},
      {"for-loop markers carry the position values",
       Join({{0x8D, 0x45, 0xF8}, {0x83, 0xF9, 0x05}, {0x83, 0xC4, 0x08}, kRet}),
       "-----------------------------for循环首()00001000\r\nLEA EAX,DWORD PTR SS:[EBP-8]\r\n"
       "-----------------------------循环次数()00001003\r\nCMP ECX,5\r\n"
       "-----------------------------for循环尾()00001006\r\n ESP+8\r\nRETN\r\n"},
      {"a short jump is the count loop's end",
       Join({kXorEaxEax, {0xEB, 0x00}, kRet}), "XOR EAX,EAX\r\n.计次循环尾()\r\n\r\nRETN\r\n"},
      {"a near jump with a zero upper half leaves the loop",
       Join({kXorEaxEax, {0xE9, 0x23, 0x01, 0x00, 0x00}, kRet}), "XOR EAX,EAX\r\n跳出循环 ()\r\nRETN\r\n"},
      {"a compare of a frame slot before JNZ announces a condition",
       Join({{0x83, 0x7D, 0xFC, 0x00}, {0x0F, 0x85, 0x10, 0x00, 0x00, 0x00}, kRet}),
       "-----------------------------如果(CMP DWORD PTR SS:[EBP-4]=0)\r\nCMP DWORD PTR SS:[EBP-4],0\r\n"
       "JNZ 0000101A\r\nRETN\r\n"},
      {"moves, additions and calls",
       Join({{0x8B, 0xC1}, {0x03, 0xC3}, {0xE8, 0x00, 0x00, 0x00, 0x00}, kRet}),
       "MOV EAX=ECX\r\n EAX+EBX\r\nCALL 00001009()\r\nRETN\r\n"},
      {"NOP adds nothing", Join({kNop, kXorEaxEax, kNop, kRet}), "XOR EAX,EAX\r\nRETN\r\n"},
  };
  for (const auto& c : cases) {
    const auto result = Sweep(c.code);
    ASSERT_FALSE(result.subroutines.empty()) << c.what;
    EXPECT_EQ(result.subroutines[0].listing, c.listing) << c.what;
  }
}

TEST(Sweep, ArrayMarkers) {
  // MOV EBX,[EBP-8] arms the array; the next move of a constant into EAX indexes it.
  const auto result = Sweep(Join({{0x8B, 0x5D, 0xF8}, {0xB8, 0x01, 0x00, 0x00, 0x00}, {0xB8, 0x02, 0x00, 0x00, 0x00}, kRet}));
  ASSERT_EQ(result.subroutines.size(), 1u);
  EXPECT_EQ(result.subroutines[0].listing,
            "-----------------------------动态数组EBP00001000\r\nMOV EBX=DWORD PTR SS:[EBP-8]\r\n"
            "---------------------------EBP-8[1]\r\nMOV EAX=1\r\nMOV EAX=2\r\nRETN\r\n");
}

}  // namespace
}  // namespace tessor
