// Control flow recovered from the statement text: comparison blocks (line pass 2),
// counted loops (line pass 3), TEST conditions (line pass 4), deleted lines (line pass
// 5) and the remaining comparisons and jumps (line pass 6). Every pass splits its input
// by lines, visits them in order and joins the lines it keeps.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tessor {

// A jump word and the relation it stands for; read in table order, every word a line
// contains sets the relation, so a later one overrides an earlier one.
struct JumpRelation {
  std::string_view word;
  std::string_view relation;
};

inline constexpr std::array<JumpRelation, 6> kJumpRelations = {{
    {"JLE", ">"},
    {"JGE", "<"},
    {"JNE", "≠"},
    {"JZ", "=0"},
    {"JNZ", "≠0"},
    {"Je", "="},
}};

// The words that make line pass 6 drop a line: conditional jumps and the remains of the
// import-name substitution.
inline constexpr std::array<std::string_view, 10> kDroppedJumpWords = {
    "je", "jl", "jb", "jnb", "’", "JNZ", "JGE", "JcZ", "JA", "Jg",
};

// Line pass 2 (stage 9): a comparison of "r_4" opens a ".如果(" block whose relation
// comes from the next jump; a "pop" closes an inner block with ".如果结束".
std::string BuildComparisonBlocks(std::string_view text);

// Line pass 3 (stage 10): an address load and the comparison after it become a
// ".计次循环首 (" line; exclusive-ors, increments and the sweep's loop markers go.
std::string BuildCountedLoops(std::string_view text);

// Line pass 4 (stage 11): a TEST and the jump after it become one "如果(" line; every
// empty line is dropped.
std::string BuildTestConditions(std::string_view text);

// Line pass 5 (stage 12): every line that contains "删行" is dropped.
std::string DropDeletedLines(std::string_view text);

// Line pass 6 (stage 13): remaining comparisons become "如果(" lines; conditional jumps
// and the lines that contain their letter pairs are dropped.
std::string RewriteRemainingComparisons(std::string_view text);

}  // namespace tessor
