#include "pseudocode/rewrite_tables.h"

#include <gtest/gtest.h>

#include "texts.h"

namespace tessor {
namespace {

using testing::Lines;

struct RewriteCase {
  std::string text;
  std::string expected;
};

TEST(OperandRewrites, NamesRegistersSlotsAndMnemonics) {
  const RewriteCase cases[] = {
      {"XOR EAX,EAX", "异或 EAX,EAX"},
      {"OR EAX,1", "或 EAX,1"},
      {"AND EAX,1", "与 EAX,1"},
      {"PUSH DWORD PTR SS:[EBP+8]", "传参 到整数(参数p8]"},
      {"MOV DWORD PTR SS:[EBP-4]=0", "MOV 到整数(r_4]=0"},
      {"MOV BYTE PTR SS:[EBP-4]=0", "MOV BYTE [r_4]=0"},
      {"MOV EAX=DWORD PTR DS:[EBX+8]", "MOV EAX=DWORD DS:[参数c8]"},
      {"MOV EAX=DWORD PTR DS:[EDX+8]", "MOV EAX=DWORD DS:[参数d8]"},
      {"CALL 02A31000()", "sub_02A31000()"},
      {"CALL 10001000()", "CALL 10001000()"},
      {"call 02a31000()", "sub_02a31000()"},
      {"push 1", "传参 1"},
      {"RETN", "返回(EAX)"},
      {"JLE SHORT 02A31020", "JLE ' 02A31020"},
      {"LEAVE ", "重置堆栈"},
      {"LEAVE", "取回结果VE"},
      {"LEA EAX,DWORD PTR SS:[EBP-8]", "取回结果 EAX,到整数(r_8]"},
      {"INT3", ""},
      {"int3", ""},
      {"NOP", ""},
      {"MOV AL=BYTE PTR DS:[???]", "MOV AL=BYTE DS:[]"},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplyRewrites(c.text, kOperandRewrites), c.expected) << c.text;
}

TEST(MemoryOperandRewrites, MarkGlobalsAndDropBracketsAndCalls) {
  const RewriteCase cases[] = {
      // The operand rewrites, then the memory-operand rewrites, as the pipeline runs them.
      {"PUSH DWORD PTR SS:[EBP+8]", "传参 到整数(参数p8"},
      {"CALL 10001000()", " 10001000()"},
      {"MOV EAX=DWORD PTR DS:[403000]", "MOV EAX=DWORD #403000"},
      {"CALL DWORD PTR DS:[402000]()", " DWORD #402000()"},
      {"MOV BYTE PTR SS:[EBP-4]=0", "MOV BYTE [r_4=0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ApplyRewrites(ApplyRewrites(c.text, kOperandRewrites), kMemoryOperandRewrites), c.expected) << c.text;
}

TEST(FinalRewrites, DropMovesAndNameResults) {
  const RewriteCase cases[] = {
      {"MOV 到整数(r_4 = 0", " 到整数(r4 = 0"},
      {"MOVSX EAX,BYTE r_4", " a,BYTE r4"},
      {"MOVZX EAX,BYTE r_4", " a,BYTE r4"},
      {"MOVSX EAX,BYTE [r_4", " a,BYTE r4"},
      {"SetEAX()", "Seta()"},
      {"CDQ", "到长整数型()"},
      {"CLD", "清方向标志()"},
      {"FINIT", "浮点检查初始化()"},
      {"MOV EAX=DWORD #00405000", " a=DWORD 全局变量00405000"},
      {"I DWORD #00405000", "÷WORD 全局变量00405000"},
      {"i d", "÷"},
      {"MOV EAX=DWORD PTR FS:[0] ES:", " a=DWORD PTR 0] "},
      {"sub_1( 传参 2,传参 1)", "sub_1( 2,1)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplyRewrites(c.text, kFinalRewrites), c.expected) << c.text;
}

TEST(FinalRewrites, FullWidthSignsAreGbk) {
  EXPECT_EQ(ApplyRewrites("I d", kFinalRewrites), "\xA1\xC2");
}

TEST(ArithmeticAndWords, RewritesEachLine) {
  const RewriteCase cases[] = {
      {"IMUL EAX,ECX", " EAX =  EAX × ECX"},
      {"IMUL ECX", " ECX"},
      {"IMUL EAX,ECX,4", " EAX =  EAX × ECX"},
      {"imul EAX,ECX", "imul EAX = imul EAX × ECX"},  // found in any case, removed only in upper case
      {"DIV ECX,EBX", " ECX =  ECX ÷ EBX"},
      {"IDIV DWORD #00405000", "I DWORD #00405000"},
      {"SHL EAX,2", "逻辑左移( EAX,2)"},
      {"NOT EAX", "反码( EAX)"},
      {"SAR EAX,1 SHR", "算术右移( EAX,1 SHR)"},
      {"DEC ECX", "减1( ECX)"},
      {"REPNE SCAS BYTE", "取字符串长度( BYTE)"},
      {"InsertMenuA()", "InsertMenuA())"},
      {"MOV EAX=1", "MOV EAX=1"},
  };
  for (const auto& c : cases) EXPECT_EQ(RewriteArithmeticAndWords(c.text + "\r\n"), c.expected + "\r\n") << c.text;
}

TEST(ArithmeticAndWords, KeepsEveryLine) {
  EXPECT_EQ(RewriteArithmeticAndWords(Lines({"", "NOT EAX", ""})), Lines({"", "反码( EAX)", ""}));
  EXPECT_EQ(RewriteArithmeticAndWords("NOT EAX"), Lines({"反码( EAX)"}));
  EXPECT_EQ(RewriteArithmeticAndWords(""), "");
  EXPECT_EQ(RewriteArithmeticAndWords("IMUL EAX,ECX\r\n"), " EAX =  EAX \xA1\xC1 ECX\r\n");
}

}  // namespace
}  // namespace tessor
