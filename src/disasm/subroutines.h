// The linear sweep over the code bytes: every instruction decoded, the idiom rules
// applied, and the code split into subroutines with the listings the translator reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disasm/decoder.h"
#include "pe/file_bytes.h"

namespace tessor {

// One subroutine: the four texts of its row in the subroutine list and its listing.
struct SubroutineEntry {
  std::string title;
  std::string thunkLabel;
  std::string listing;
  std::string address;
  std::string library;
};

// One swept instruction as the decoder gave it.
struct SweptInstruction {
  std::uint32_t position = 0;
  std::uint32_t length = 0;
  std::string dump;
  std::string command;
};

// The first line of every listing that starts after a closing.
inline constexpr const char* kReturnValueDeclaration = ".局部变量 EAX, 整数型, , , 返回值";

struct SweepInput {
  ByteView code;                   // the code section's bytes
  std::uint32_t basePosition = 0;  // the position value of the first byte: the section's RVA
  std::int64_t sweepLength = 0;    // bytes to sweep from the first; 0 or less sweeps nothing
  DecodeMode mode = DecodeMode::Bits32;
  std::uint64_t imageBase = 0;
  std::uint64_t imageSize = 0;
  bool wideAddresses = false;      // PE32+: addresses keep all 64 bits
  bool keepInstructions = false;   // also return every instruction decoded
};

struct SweepResult {
  std::vector<SubroutineEntry> subroutines;  // never empty
  std::vector<SweptInstruction> instructions;
};

// Sweeps the code: an instruction starts where the previous one ended, jumps are not
// followed, and the last instruction that starts before the end is decoded whole.
SweepResult SweepCode(const SweepInput& input);

}  // namespace tessor
