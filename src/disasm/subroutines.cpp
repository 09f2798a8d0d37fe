#include "disasm/subroutines.h"

#include <algorithm>
#include <string_view>

#include "text/hex.h"
#include "text/text_ops.h"

namespace tessor {

namespace {

constexpr std::string_view kHyphens29 = "-----------------------------";
constexpr std::string_view kHyphens27 = "---------------------------";

// Dump texts are uppercase hexadecimal, blanks and nothing else: plain byte searches
// on them equal the character-stepping ones.
// A plain search for short texts: dumps and command texts are a few dozen bytes, where
// an inline loop beats a library call.
inline bool ShortHas(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  const char first = part[0];
  const std::size_t last = text.size() - part.size();
  for (std::size_t i = 0; i <= last; ++i) {
    if (text[i] != first) continue;
    std::size_t k = 1;
    while (k < part.size() && text[i + k] == part[k]) ++k;
    if (k == part.size()) return true;
  }
  return false;
}

bool DumpHas(std::string_view dump, std::string_view part) { return ShortHas(dump, part); }
bool DumpStarts(std::string_view dump, std::string_view part) { return dump.substr(0, part.size()) == part; }
bool DumpEnds(std::string_view dump, std::string_view part) {
  return dump.size() >= part.size() && dump.substr(dump.size() - part.size()) == part;
}

// A comma is never part of a two-byte character (trail bytes are 0x40 or above), so
// replacing it byte by byte equals the character-stepping replace.
void ReplaceComma(std::string& text, char to) { std::replace(text.begin(), text.end(), ',', to); }

// Case-sensitive rewrites of a command text, in place when nothing changes.
void Replace(std::string& text, std::string_view from, std::string_view to) {
  if (Contains(text, from, CaseMode::Sensitive)) text = ReplaceAll(text, from, to, CaseMode::Sensitive);
}

void AppendLine(std::string& listing, std::string_view line) {
  listing += line;
  listing += "\r\n";
}

class Sweep {
 public:
  explicit Sweep(const SweepInput& in) : in_(in), decoder_(in.mode, in.imageBase, in.imageSize) {}

  SweepResult Run() {
    const auto code = in_.code.span();
    const std::uint64_t end = in_.sweepLength > 0 ? static_cast<std::uint64_t>(in_.sweepLength) : 0;
    for (std::uint64_t k = 0; k < end && k < code.size();) {
      decoder_.Decode(code.subspan(static_cast<std::size_t>(k)), Position(k), decoded_);
      Step(k);
      k += decoded_.length ? decoded_.length : 1;
    }
    if (result_.subroutines.empty()) result_.subroutines.push_back(current_);
    return std::move(result_);
  }

 private:
  std::uint32_t Position(std::uint64_t k) const { return in_.basePosition + static_cast<std::uint32_t>(k); }

  std::string Address(std::uint64_t value) const {
    return in_.wideAddresses ? IntToHex64(value) : IntToHex(static_cast<std::int64_t>(value));
  }

  void Step(std::uint64_t k) {
    const std::string_view d = decoded_.dump;
    const std::uint32_t pos = Position(k);
    if (in_.keepInstructions) result_.instructions.push_back({pos, decoded_.length, decoded_.dump, decoded_.command});
    t_ = decoded_.command;
    tAscii_ = true;  // the decoder writes ASCII; only the rewrites below bring in GBK text

    // Rewrites of every instruction.
    if (DumpStarts(d, "0F8F")) SetT("计次循环进入？");
    if (DumpStarts(d, "8B")) ReplaceComma(t_, '=');

    if (t_ != "NOP") {
      IdiomRules(d, pos, k);
      ListingRule(d);
    }
    OpeningRule(d, pos, k);
    ClosingRule(d, pos, k);
  }

  void IdiomRules(std::string_view d, std::uint32_t pos, std::uint64_t k) {
    std::string& listing = current_.listing;
    if (DumpHas(d, "EB ")) SetT(".计次循环尾()\r\n");
    if (countLoopArmed_ && d == "8D45 FC") {
      AppendLine(listing, ".计次循环首()");
      countLoopArmed_ = false;
    }
    if (d == "33C9") countLoopArmed_ = true;
    if (forLoopOpen_) {
      // One test of the flag serves both rules.
      if (DumpHas(d, "83F9")) AppendLine(listing, std::string(kHyphens29) + "循环次数()" + Hex8(pos));
      if (DumpHas(d, "83C4 08")) {
        AppendLine(listing, std::string(kHyphens29) + "for循环尾()" + Hex8(pos));
        forLoopOpen_ = false;
      }
    }
    if (DumpHas(d, "8D45 F8")) {
      AppendLine(listing, std::string(kHyphens29) + "for循环首()" + Hex8(pos));
      forLoopOpen_ = true;
    }
    if (DumpStarts(d, "E9") && DumpEnds(d, "0000")) SetT("跳出循环 ()");
    if (arrayArmed_ && arrayIndexArmed_ && DumpHas(d, "B8")) {
      AppendLine(listing, std::string(kHyphens27) + arrayBase_ + "[" + ReplaceAll(t_, "MOV EAX,", "", CaseMode::Sensitive) + "]");
      arrayIndexArmed_ = false;
    }
    if (DumpHas(d, "8B5D")) {
      AppendLine(listing, std::string(kHyphens29) + "动态数组EBP" + Hex8(pos));
      const TextPos bracket = Find(t_, "[", CaseMode::Sensitive);
      arrayBase_ = bracket == -1 ? std::string() : ReplaceAll(Mid(t_, bracket + 1, 100), "]", "", CaseMode::Sensitive);
      arrayArmed_ = true;
      arrayIndexArmed_ = true;
    }
    if (DumpHas(d, "837D")) LookAheadCondition(k);
    if (THas("SUB")) {
      ReplaceComma(t_, '-');
      RemoveFromT("SUB");
    }
    if (THas("ADD")) {
      ReplaceComma(t_, '+');
      RemoveFromT("ADD");
    }
    if (THas("MOV")) ReplaceComma(t_, '=');
    if (THas("CALL")) t_ += "()";
  }

  // T as the rewrites set it; a text with GBK characters is searched by characters.
  void SetT(std::string_view text) {
    t_ = text;
    tAscii_ = false;
  }

  // Case-sensitive containment in T. Over ASCII text a plain search equals the
  // character-stepping one, and it is what almost every instruction needs.
  bool THas(std::string_view part) const {
    return tAscii_ ? ShortHas(t_, part) : Contains(t_, part, CaseMode::Sensitive);
  }

  void RemoveFromT(std::string_view part) {
    if (!tAscii_) {
      Replace(t_, part, "");
      return;
    }
    for (std::size_t at = t_.find(part); at != std::string::npos; at = t_.find(part, at)) t_.erase(at, part.size());
  }

  // A compare of a frame slot followed by a jump-if-not-zero announces a condition.
  void LookAheadCondition(std::uint64_t k) {
    const auto code = in_.code.span();
    const std::uint64_t next = k + decoded_.length;
    if (next >= code.size()) return;
    decoder_.Decode(code.subspan(static_cast<std::size_t>(next)), Position(next), lookAhead_);
    if (DumpHas(lookAhead_.dump, "0F85"))
      AppendLine(current_.listing, std::string(kHyphens29) + "如果(" + ReplaceAll(t_, ",", "=", CaseMode::Sensitive) + ")");
  }

  void ListingRule(std::string_view d) {
    if (DumpStarts(d, "0000") || d == "55" || d == "8BE5" || d == "FF25" || d == "8BEC" || d == "5D" ||
        DumpStarts(d, "81EC") || DumpHas(d, "FF25"))
      return;
    ++openCount_;
    AppendLine(current_.listing, t_);
  }

  // A subroutine starts at its first byte: the push of EBP that closed the previous
  // one when it opens right after it, otherwise the opening instruction itself.
  void OpeningRule(std::string_view d, std::uint32_t pos, std::uint64_t k) {
    const bool after_push = previousClosedOnPush_;
    previousClosedOnPush_ = false;
    if (!current_.title.empty() || DumpHas(d, "CC")) return;
    const std::uint64_t first = after_push ? pushOffset_ : k;
    const std::uint32_t first_pos = after_push ? Position(pushOffset_) : pos;
    current_.title = ".子程序 sub_" + Hex8(first_pos);
    current_.address = Address(in_.imageBase + in_.basePosition + first);
  }

  void ClosingRule(std::string_view d, std::uint32_t pos, std::uint64_t k) {
    const bool thunk = DumpHas(d, "FF25");
    if (d != "55" && d != "C3" && !thunk) return;
    if (openCount_ > 1) {
      // The entry is handed over whole; the address and library stay for a thunk.
      std::string address = current_.address, library = current_.library;
      result_.subroutines.push_back(std::move(current_));
      current_ = SubroutineEntry{};
      current_.address = std::move(address);
      current_.library = std::move(library);
    }
    if (thunk) {
      current_.thunkLabel = "sub_" + Hex8(pos);
      current_.title = ".子程序 " + t_;
      current_.listing = t_;
      result_.subroutines.push_back(current_);
      current_.thunkLabel.clear();
    }
    current_.title.clear();
    current_.address = Address(in_.imageBase + 0x1000 + k);
    current_.listing = kReturnValueDeclaration;
    current_.listing += "\r\n";
    openCount_ = 0;
    if (d == "55") {
      previousClosedOnPush_ = true;
      pushOffset_ = k;
    }
  }

  const SweepInput& in_;
  Decoder decoder_;
  DecodedInstruction decoded_;
  DecodedInstruction lookAhead_;
  std::string t_;
  bool tAscii_ = true;
  SweepResult result_;
  SubroutineEntry current_;
  std::int64_t openCount_ = 0;
  bool previousClosedOnPush_ = false;
  std::uint64_t pushOffset_ = 0;
  // Idiom state; it lives for the whole sweep, across subroutine boundaries.
  bool countLoopArmed_ = false;
  bool forLoopOpen_ = false;
  bool arrayArmed_ = false;
  bool arrayIndexArmed_ = false;
  std::string arrayBase_;
};

}  // namespace

SweepResult SweepCode(const SweepInput& input) { return Sweep(input).Run(); }

}  // namespace tessor
