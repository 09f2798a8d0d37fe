// The x86 decoder: for one instruction, its length, its dump text and its command text
// in the classic uppercase syntax.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tessor {

enum class DecodeMode { Bits32, Bits64 };

struct DecodedInstruction {
  std::uint32_t length = 0;  // at least 1
  std::string dump;          // "8D45 FC", "C745 FC 00000000", "E9 23010000"
  std::string command;       // "LEA EAX,DWORD PTR SS:[EBP-4]", "JLE SHORT 00001020", "???" for undecodable
};

class Decoder {
 public:
  // A 4-byte immediate inside [imageBase, imageBase + imageSize) is written as an
  // 8-digit address; imageBase also turns RIP-relative operands of 64-bit code into
  // absolute addresses (positions are RVAs).
  Decoder(DecodeMode mode, std::uint64_t imageBase, std::uint64_t imageSize);
  ~Decoder();
  // Decodes the instruction at the start of `bytes` (the bytes left in the code; never
  // read past them) whose position value is `position`.
  void Decode(std::span<const std::uint8_t> bytes, std::uint32_t position, DecodedInstruction& out) const;
};

}  // namespace tessor
