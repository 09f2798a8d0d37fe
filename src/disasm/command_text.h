// The printer of command texts: one decoded instruction (Zydis's decoding) written in
// the classic uppercase syntax. Private to the decoder; command_text.cpp lists the forms.
#pragma once

#include <Zydis/Decoder.h>

#include <cstddef>
#include <cstdint>

namespace tessor::command_text {

struct PrinterTables;

// Room that Printer::Write needs: the longest command text and some slack.
inline constexpr std::size_t kCapacity = 512;

// True when the text needs every operand decoded, the hidden ones included (string
// instructions write their implicit memory operands); otherwise the visible ones do.
inline bool NeedsHiddenOperands(const ZydisDecodedInstruction& instruction) {
  return instruction.meta.category == ZYDIS_CATEGORY_STRINGOP ||
         instruction.meta.category == ZYDIS_CATEGORY_IOSTRINGOP;
}

class Printer {
 public:
  // imageBase turns RIP-relative operands into addresses; a 4- or 8-byte immediate in
  // [imageBase, imageBase + imageSize) is written as an address.
  Printer(std::uint64_t imageBase, std::uint64_t imageSize);

  // Writes the command text of the instruction at `position` into `out` (kCapacity
  // bytes) and returns its length. `operands` holds `operandCount` decoded operands:
  // the visible ones, or all of them when NeedsHiddenOperands says so.
  std::size_t Write(const ZydisDecodedInstruction& instruction, const ZydisDecodedOperand* operands,
                    std::size_t operandCount, std::uint32_t position, char* out) const;

  // The same text for the common instructions, written from the instruction's raw
  // fields without decoded operands. Returns 0 (nothing written) for the others, which
  // need Write.
  std::size_t WriteFromRawFields(const ZydisDecodedInstruction& instruction, std::uint32_t position,
                                 char* out) const;

 private:
  const PrinterTables* names_;
  std::uint64_t imageBase_;
  std::uint64_t imageSize_;
};

}  // namespace tessor::command_text
