#include "pseudocode/rewrite_tables.h"

#include <vector>

#include "text/text_ops.h"

namespace tessor {

std::string ApplyRewrites(std::string_view text, std::span<const TextRewrite> table) {
  std::string out(text);
  for (const TextRewrite& row : table) out = ReplaceAll(out, row.find, row.replacement);
  return out;
}

namespace {

// "p1 = p1 <sign> p2" from the line with every `mnemonic` (exact case) removed, when the
// rest splits at "," into at least two pieces; the rest alone otherwise.
std::string AsOperation(const std::string& line, std::string_view mnemonic, std::string_view sign) {
  std::string rest = ReplaceAll(line, mnemonic, "", CaseMode::Sensitive);
  const std::vector<std::string> pieces = Split(rest, ",");
  if (pieces.size() < 2) return rest;
  std::string out = pieces[0];
  out += " = ";
  out += pieces[0];
  out += sign;
  out += pieces[1];
  return out;
}

}  // namespace

std::string RewriteArithmeticAndWords(std::string_view text) {
  std::vector<std::string> lines = SplitLines(text);
  for (std::string& line : lines) {
    if (Contains(line, "IMUL")) line = AsOperation(line, "IMUL", " × ");
    if (Contains(line, "DIV")) line = AsOperation(line, "DIV", " ÷ ");
    for (const InstructionWord& row : kInstructionWords) {
      if (!Contains(line, row.word)) continue;
      line = ReplaceAll(line, row.word, row.function, CaseMode::Sensitive);
      line += ')';
      break;
    }
  }
  return JoinLines(lines);
}

}  // namespace tessor
