#include "pseudocode/conditions.h"

#include <vector>

#include "text/text_ops.h"

namespace tessor {

namespace {

struct ConditionRecord {
  std::string left;
  std::string right;
  std::string relation;  // empty until a jump sets it
};

struct CountLoopRecord {
  std::string limit;
  std::string counter;
};

constexpr std::int64_t kLoopOperandBytes = 10;

// The 10 bytes after the first "," of the line; empty when it has no comma.
std::string AfterFirstComma(const std::string& line) {
  return Mid(line, Find(line, ",") + 1, kLoopOperandBytes);
}

}  // namespace

std::string BuildComparisonBlocks(std::string_view text) {
  std::vector<ConditionRecord> conditions;
  std::vector<std::string> kept;
  for (std::string line : SplitLines(text)) {
    if (!conditions.empty() && Contains(line, "j")) {
      ConditionRecord& top = conditions.back();
      if (!top.relation.empty()) continue;
      for (const JumpRelation& jump : kJumpRelations)
        if (Contains(line, jump.word)) top.relation = jump.relation;
      line = ".如果(" + top.left + top.relation + top.right + "）";
    }
    if (Contains(line, "CMP r_4")) {
      const std::vector<std::string> pieces = Split(line, ",");
      ConditionRecord record;
      if (!pieces.empty()) record.left = ReplaceAll(pieces[0], "cmp", "");
      if (pieces.size() >= 2) record.right = pieces[1];
      conditions.push_back(std::move(record));
      continue;
    }
    if (Contains(line, "pop")) {
      if (conditions.size() < 2) continue;
      line = ".如果结束";
      conditions.pop_back();
    }
    kept.push_back(std::move(line));
  }
  return JoinLines(kept);
}

std::string BuildCountedLoops(std::string_view text) {
  std::vector<CountLoopRecord> loops;
  std::vector<std::string> kept;
  for (std::string line : SplitLines(text)) {
    if (Contains(line, "异或")) continue;
    if (Contains(line, "计次循环首")) continue;
    if (Contains(line, "取回结果")) {
      loops.push_back({"", AfterFirstComma(line)});
      continue;
    }
    if (Contains(line, "INC")) continue;
    if (Contains(line, "CMP") && !loops.empty()) {
      CountLoopRecord& top = loops.back();
      top.limit = AfterFirstComma(line);
      line = ".计次循环首 (" + top.limit + "," + top.counter + ")";
    }
    if (Contains(line, "计次循环尾") && !loops.empty()) loops.pop_back();
    if (Contains(line, "计次循环进入")) continue;
    kept.push_back(std::move(line));
  }
  return JoinLines(kept);
}

std::string BuildTestConditions(std::string_view text) {
  std::vector<std::string> lines = SplitLines(text);
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    if (Contains(line, "TEST") && i + 1 < lines.size()) {
      line = ReplaceAll(line, "TEST", "如果(") + ")";
      for (const JumpRelation& jump : kJumpRelations)
        if (Contains(lines[i + 1], jump.word)) line = ReplaceAll(line, ",", jump.relation);
      lines[i + 1].clear();
    }
    if (!line.empty()) kept.push_back(std::move(line));
  }
  return JoinLines(kept);
}

std::string DropDeletedLines(std::string_view text) {
  std::vector<std::string> kept;
  for (std::string& line : SplitLines(text))
    if (!Contains(line, "删行")) kept.push_back(std::move(line));
  return JoinLines(kept);
}

std::string RewriteRemainingComparisons(std::string_view text) {
  std::vector<std::string> kept;
  for (std::string line : SplitLines(text)) {
    if (Contains(line, "cmp")) {
      line = ReplaceAll(ReplaceAll(line, "cmp", "如果("), ",", "=") + ")";
    }
    bool dropped = false;
    for (const std::string_view word : kDroppedJumpWords) dropped = dropped || Contains(line, word);
    if (!dropped) kept.push_back(std::move(line));
  }
  return JoinLines(kept);
}

}  // namespace tessor
