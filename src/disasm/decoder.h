// The instruction decoder of the sweep: for the instruction at the start of a byte
// range, its length, its dump text (the bytes in hexadecimal, grouped) and its command
// text in the classic uppercase syntax. Decoding is Zydis's; both texts are written by
// our own printer (command_text.cpp documents every form it writes).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tessor {

// Bits32 for PE32 code, Bits64 for PE32+ code.
enum class DecodeMode { Bits32, Bits64 };

struct DecodedInstruction {
  std::uint32_t length = 0;  // at least 1
  std::string dump;          // "8D45 FC", "C745 FC 00000000", "E9 23010000"
  std::string command;       // "LEA EAX,DWORD PTR SS:[EBP-4]", "JLE SHORT 00001020", "???" for undecodable
};

class Decoder {
 public:
  // imageBase and imageSize: a 4-byte immediate inside [imageBase, imageBase + imageSize) is written as an 8-digit address;
  // imageBase also turns RIP-relative operands of 64-bit code into absolute addresses (positions are RVAs, so the
  // absolute address is imageBase + position + length + displacement).
  Decoder(DecodeMode mode, std::uint64_t imageBase, std::uint64_t imageSize);
  ~Decoder();
  Decoder(Decoder&&) noexcept;
  Decoder& operator=(Decoder&&) noexcept;

  // Decodes the instruction at the start of `bytes` (exactly the bytes left in the code: never read past them),
  // whose position value is `position`. Reuses out's string capacity (no allocation per instruction in steady state).
  // Bytes that do not begin a whole instruction (unknown encodings, an instruction cut short by the end of
  // `bytes`) give length 1, the first byte as dump and the command "???"; an empty range gives length 1, an
  // empty dump and "???".
  void Decode(std::span<const std::uint8_t> bytes, std::uint32_t position, DecodedInstruction& out) const;

  DecodeMode mode() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tessor
