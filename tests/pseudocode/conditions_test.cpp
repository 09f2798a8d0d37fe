#include "pseudocode/conditions.h"

#include <functional>

#include <gtest/gtest.h>

#include "texts.h"

namespace tessor {
namespace {

using testing::Lines;

struct PassCase {
  std::string input;
  std::string expected;
};

void ExpectPass(const std::function<std::string(std::string_view)>& pass, std::initializer_list<PassCase> cases) {
  for (const auto& c : cases) EXPECT_EQ(pass(c.input), c.expected) << c.input;
}

TEST(ComparisonBlocks, OpenFromComparisonsOfTheFirstFrameSlot) {
  ExpectPass(BuildComparisonBlocks, {
      {Lines({"CMP r_4,5", "JLE ' 02A31040", "POP ECX"}), Lines({".如果( r_4>5）"})},
      {Lines({"CMP r_4,5", "JA ' 02A31040"}), Lines({".如果( r_45）"})},
      {Lines({"CMP r_4,5", "JLE ' 02A31040", "JMP ' 02A31060", "GetObjectA()", "MOV ECX=1"}),
       Lines({".如果( r_4>5）", "MOV ECX=1"})},
      {Lines({"CMP r_4,5", "JLE ' 02A31040", "CMP r_4,7", "JGE ' 02A31050", "POP ECX", "POP EDX"}),
       Lines({".如果( r_4>5）", ".如果( r_4<7）", ".如果结束"})},
      // Every jump word the line holds sets the relation; the last one wins.
      {Lines({"CMP r_4,5", "JNZ JE"}), Lines({".如果( r_4=5）"})},
      {Lines({"CMP r_4,5", "JNE x"}), Lines({".如果( r_4≠5）"})},
      {Lines({"CMP r_4,5", "JZ x"}), Lines({".如果( r_4=05）"})},
      {Lines({"CMP r_4,5", "JNZ x"}), Lines({".如果( r_4≠05）"})},
      // With the relation still empty every line with a j becomes the condition again.
      {Lines({"CMP r_4,5", "JA x", "JMP y"}), Lines({".如果( r_45）", ".如果( r_45）"})},
      {Lines({"cmp r_4", "jle x"}), Lines({".如果( r_4>）"})},
      // Without a comparison of "r_4" no block opens and every "pop" line goes.
      {Lines({"CMP 到整数(r_4,5", "JLE ' 02A31040", "POP ECX"}), Lines({"CMP 到整数(r_4,5", "JLE ' 02A31040"})},
      {Lines({"", "MOV EAX=1", ""}), Lines({"", "MOV EAX=1", ""})},
      {"", ""},
  });
}

TEST(ComparisonBlocks, FullWidthSignsAreGbk) {
  EXPECT_EQ(BuildComparisonBlocks(Lines({"CMP r_4,5", "JNE x"})), ".\xC8\xE7\xB9\xFB( r_4\xA1\xD9" "5\xA3\xA9\r\n");
}

TEST(CountedLoops, FromAddressLoadsAndComparisons) {
  ExpectPass(BuildCountedLoops, {
      {Lines({"取回结果 EAX,到整数(r_8", "CMP ECX,0A", "计次循环进入？", ".计次循环尾()"}),
       Lines({".计次循环首 (0A,到整数(r_8)", ".计次循环尾()"})},
      {Lines({"INC ECX", "异或 EAX,EAX", ".计次循环首()", "CMP ECX,5"}), Lines({"CMP ECX,5"})},
      {Lines({"取回结果VE", "CMP ECX,5"}), Lines({".计次循环首 (5,)"})},
      // The record stays until a loop end: a second comparison rewrites it again.
      {Lines({"取回结果 EAX,B", "CMP ECX,1", "CMP ECX,2", ".计次循环尾()", "CMP ECX,3"}),
       Lines({".计次循环首 (1,B)", ".计次循环首 (2,B)", ".计次循环尾()", "CMP ECX,3"})},
      // The cuts take 10 bytes: a frame slot name of 11 loses its last byte, and a cut may
      // end inside a two-byte character.
      {Lines({"取回结果 EAX,到整数(r_12", "CMP ECX"}), Lines({".计次循环首 (,到整数(r_1)"})},
      {Lines({"取回结果 EAX,abcde到整数", "CMP ECX,5"}), Lines({".计次循环首 (5,abcde到整\xCA)"})},
      {Lines({"CMP ECX,0123456789AB", "取回结果 x,y", "CMP ECX,0123456789AB"}),
       Lines({"CMP ECX,0123456789AB", ".计次循环首 (0123456789,y)"})},
      {Lines({".计次循环尾()", "", "inc"}), Lines({".计次循环尾()", ""})},
  });
}

TEST(TestConditions, JoinTestAndJump) {
  ExpectPass(BuildTestConditions, {
      {Lines({"TEST EAX,EAX", "JE ' 02A31040"}), Lines({"如果( EAX=EAX)"})},
      {Lines({"TEST EAX,EAX", "JNZ ' 02A31040"}), Lines({"如果( EAX≠0EAX)"})},
      {Lines({"TEST EAX,EAX", "JMP ' 02A31040"}), Lines({"如果( EAX,EAX)"})},
      {Lines({"MOV EAX=1", "TEST EAX,EAX"}), Lines({"MOV EAX=1", "TEST EAX,EAX"})},
      {Lines({"", "a", "", "", "b", ""}), Lines({"a", "b"})},
      // The line after a TEST is blanked before it is reached, a TEST of its own included.
      {Lines({"TEST EAX,EAX", "TEST ECX,ECX", "JE x"}), Lines({"如果( EAX,EAX)", "JE x"})},
  });
}

TEST(DeletedLines, DropLinesMarkedForDeletion) {
  ExpectPass(DropDeletedLines, {
      {Lines({" DWORD #4删行", "ExitProcess()", "’()", ""}), Lines({"ExitProcess()", "’()", ""})},
  });
}

TEST(RemainingComparisons, BecomeConditionsAndJumpsGo) {
  ExpectPass(RewriteRemainingComparisons, {
      {Lines({"CMP ECX,5"}), Lines({"如果( ECX=5)"})},
      {Lines({"CMP 到整数(r_4,5"}), Lines({"如果( 到整数(r_4=5)"})},
      {Lines({"JNE ' 02A31040", "JMP ' 02A31040", "JLE ' 02A31040", "’()"}), Lines({"JNE ' 02A31040", "JMP ' 02A31040"})},
      {Lines({"JE x", "JL x", "JB x", "JBE x", "JNB x", "JNBE x", "JNZ x", "JGE x", "JA x", "JAE x", "JG x",
              "JECXZ x"}),
       ""},
      {Lines({"JS x", "JNS x", "JO x", "JNO x", "JP x", "JNP x", "JNL x", "JNG x", "JNA x", "GetObjectA()",
              "Ja()"}),
       Lines({"JS x", "JNS x", "JO x", "JNO x", "JP x", "JNP x", "JNL x", "JNG x", "JNA x"})},
      {Lines({"", "x"}), Lines({"", "x"})},
  });
}

}  // namespace
}  // namespace tessor
