#include "pseudocode/statements.h"

#include <vector>

#include "text/hex.h"
#include "text/text_ops.h"

namespace tessor {

namespace {

constexpr std::int64_t kStringWindow = 50;

// The state of one run of line pass 1.
class StatementAssembler {
 public:
  explicit StatementAssembler(const StringOperandSource& source) : source_(source) {}

  Statements Run(std::string_view text) {
    lines_ = SplitLines(text);
    for (std::size_t i = 0; i < lines_.size(); ++i) Visit(i);
    return std::move(out_);
  }

 private:
  // The operand in double quotes when `v` points at a string.
  std::optional<std::string> QuotedString(std::int32_t v) const {
    const auto text = ReadStringOperand(static_cast<std::uint32_t>(v), source_);
    if (!text) return std::nullopt;
    return "\"" + *text + "\"";
  }

  void Visit(std::size_t i) {
    std::string line = lines_[i];
    if (Contains(line, "ESP+")) return;  // stack adjustments and operands through ESP
    if (Contains(line, "传参 ")) PushString(line);
    if (Contains(line, "EAX=")) return LoadEax(line);
    if (Contains(line, "EBX=")) return LoadEbx(line);
    UseEbxArgument(line);
    StoreEaxToGlobal(line);
    Declare(line);
    bool consumed = false;
    if (Contains(line, "传参")) {
      pendingArgs_.push_back(line);
      consumed = true;
    }
    if (Contains(line, "sub")) {
      Call(i, line);
      consumed = true;
    }
    if (!consumed) Append(out_.body, line);
  }

  // A pushed constant that points at a string becomes that string.
  void PushString(std::string& line) const {
    const std::int32_t v = HexToInt(ReplaceAll(line, "传参 ", ""));
    if (Contains(line, "#")) return;
    if (const auto quoted = QuotedString(v)) line = "传参 " + *quoted;
  }

  // A load into EAX waits for the line that uses it; the line itself goes.
  void LoadEax(std::string& line) {
    const std::int32_t v =
        HexToInt(ReplaceAll(ReplaceAll(line, "EAX=", ""), " ", "", CaseMode::Sensitive));
    if (const auto quoted = QuotedString(v)) line = "EAX=" + *quoted;
    eaxText_ = ReplaceAll(line, "EAX=", "");
  }

  // A load into EBX from a global waits for a push of EBX; the line itself goes.
  void LoadEbx(const std::string& line) {
    if (Contains(line, "#")) ebxText_ = ReplaceAll(line, "EBX=#", "全局变量");
  }

  void UseEbxArgument(std::string& line) {
    if (!Contains(line, "传参 EBX")) return;
    line = "传参 " + ebxText_;
    ebxText_.clear();
  }

  void StoreEaxToGlobal(std::string& line) {
    if (!Contains(line, "=EAX") || Contains(line, "(") || !Contains(line, "#")) return;
    line = ReplaceAll(line, "EAX", eaxText_);
    eaxText_.clear();
  }

  // An assignment to a frame slot declares everything before its "=", once.
  void Declare(const std::string& line) {
    if (!Contains(line, "r_") || !Contains(line, "=") || Contains(line, "返回")) return;
    const TextPos p = Find(line, "=", CaseMode::Sensitive);
    const std::string name = Left(line, p - 1);
    if (Contains(out_.declarations, name, CaseMode::Sensitive)) return;
    out_.declarations += ".局部变量 ";
    out_.declarations += name;
    out_.declarations += ", 整数型\r\n";
  }

  // A call takes the pending pushes as arguments, the nearest first, and joins the store
  // of its result on the next line unless that is the last line.
  void Call(std::size_t i, const std::string& line) {
    std::string arguments;
    for (auto it = pendingArgs_.rbegin(); it != pendingArgs_.rend(); ++it) {
      if (it != pendingArgs_.rbegin()) arguments += ',';
      arguments += *it;
    }
    std::string call = ReplaceAll(line, "(", "( " + arguments);
    if (Contains(call, "(") && !Contains(call, "返回") && Contains(call, "EAX"))
      call = ReplaceAll(call, "EAX", "&EAX");
    if (i + 2 < lines_.size() && Contains(lines_[i + 1], "=EAX")) {
      call = ReplaceAll(lines_[i + 1], "=EAX", " = " + call);
      lines_[i + 1].clear();
    }
    Append(out_.body, call);
    pendingArgs_.clear();
  }

  static void Append(std::string& text, const std::string& line) {
    text += line;
    text += "\r\n";
  }

  const StringOperandSource& source_;
  std::vector<std::string> lines_;
  Statements out_;
  std::vector<std::string> pendingArgs_;
  std::string eaxText_;
  std::string ebxText_;
};

}  // namespace

std::optional<std::string> ReadStringOperand(std::uint32_t v, const StringOperandSource& source) {
  // Every section starts at ImageBase + VirtualAddress >= ImageBase - 2^31; above this
  // bound no section can start at or below a 32-bit value, and below it every sum below
  // fits in 64 signed bits.
  constexpr std::uint64_t kHighestUsefulBase = 0x17FFFFFFFull;
  if (source.imageBase > kHighestUsefulBase) return std::nullopt;
  const auto base = static_cast<std::int64_t>(source.imageBase);
  for (const SectionEntry& section : source.sections) {
    const std::int64_t distance = std::int64_t{v} - (base + section.VirtualAddress);
    if (distance < 0 || distance >= section.SizeOfRawData) continue;
    const std::int64_t offset = section.PointerToRawData + distance;
    const auto length = static_cast<std::int64_t>(source.file.size());
    const std::int64_t from = offset < 0 ? 0 : offset;
    if (from >= length) return std::nullopt;
    const std::int64_t to = offset + kStringWindow < length ? offset + kStringWindow : length;
    std::string text;
    for (std::int64_t at = from; at < to; ++at) {
      const std::uint8_t byte = source.file.U8(static_cast<std::uint64_t>(at));
      if (byte == 0) break;
      text += static_cast<char>(byte);
    }
    return text;
  }
  return std::nullopt;
}

Statements AssembleStatements(std::string_view text, const StringOperandSource& source) {
  return StatementAssembler(source).Run(text);
}

std::string JoinStatements(const Statements& statements) {
  return statements.declarations + "\r\n" + ReplaceAll(statements.body, "=", " = ");
}

}  // namespace tessor
