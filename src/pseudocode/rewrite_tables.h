// The table-driven rewrites of the translation: the operand and mnemonic rewrites, the
// memory-operand rewrites, the instruction words and the final rewrites. Each table is
// data; one small function applies it.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace tessor {

// One replace-all over the whole text: every occurrence of `find`, in any letter case,
// becomes `replacement`.
struct TextRewrite {
  std::string_view find;
  std::string_view replacement;
};

// Registers and stack slots to names, mnemonics to function words (stage 2). The order
// matters: "XOR " goes before "OR ", "LEAVE " before "LEA".
inline constexpr std::array<TextRewrite, 19> kOperandRewrites = {{
    {"\?\?\?", ""},
    {"EDX+", "参数d"},
    {"EBX+", "参数c"},
    {"EBP+", "参数p"},
    {"EBP-", "r_"},
    {"XOR ", "异或 "},
    {"OR ", "或 "},
    {"AND ", "与 "},
    {"RETN", "返回(EAX)"},
    {"PUSH", "传参"},
    {"SS:", ""},
    {"SHORT", "'"},
    {"LEAVE ", "重置堆栈"},
    {"LEA", "取回结果"},
    {"CALL 0", "sub_0"},
    {"int3", ""},
    {"NOP", ""},
    {"DWORD PTR [", "到整数("},
    {"PTR ", ""},
}};

// Global operands marked with "#", brackets closed, indirect calls reduced to their
// operand (stage 4).
inline constexpr std::array<TextRewrite, 3> kMemoryOperandRewrites = {{
    {"DS:[", "#"},
    {"]", ""},
    {"CALL", ""},
}};

// Move mnemonics dropped, EAX named "a", frame slots and argument pushes tidied
// (stage 15).
inline constexpr std::array<TextRewrite, 15> kFinalRewrites = {{
    {"MOVSX", ""},
    {"MOVZX", ""},
    {"MOV", ""},
    {"CDQ", "到长整数型()"},
    {"ZX", ""},
    {"I d", "÷"},
    {"ES:", ""},
    {"FS:", ""},
    {"CLD", "清方向标志()"},
    {"FINIT", "浮点检查初始化()"},
    {"#", "全局变量"},
    {"EAX", "a"},
    {"r_", "r"},
    {"[", ""},
    {"传参 ", ""},
}};

// An instruction word and the function text that stands for it (stage 14): the first
// word a line contains, in table order, is replaced and the line gets a closing ")".
struct InstructionWord {
  std::string_view word;
  std::string_view function;
};

inline constexpr std::array<InstructionWord, 18> kInstructionWords = {{
    {"SAL", "算术左移("},
    {"SAR", "算术右移("},
    {"SHR", "逻辑右移("},
    {"SHL", "逻辑左移("},
    {"ROR", "循环右移("},
    {"ROL", "循环左移("},
    {"RCR", "带进位循环右移("},
    {"RCL", "带进位循环左移("},
    {"ADC", "相加("},
    {"DEC", "减1("},
    {"INS", "响标志位("},
    {"SETNE", "取反("},
    {"REPNE SCAS", "取字符串长度("},
    {"NOT", "反码("},
    {"LLDT", "加载局部描述符("},
    {"SLDT", "保存局部描述符("},
    {"VERR", "校验读("},
    {"VERW", "校验写("},
}};

// Every row of the table in order, each one replace-all over the text the row before
// left.
std::string ApplyRewrites(std::string_view text, std::span<const TextRewrite> table);

// Line pass 7 (stage 14): multiplications and divisions as assignments, then the first
// instruction word of each line as its function text. Every line is kept.
std::string RewriteArithmeticAndWords(std::string_view text);

}  // namespace tessor
