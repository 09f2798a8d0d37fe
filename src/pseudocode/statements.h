// Statement assembly (stage 6): local declarations from the frame slots that are
// assigned, pushes gathered into the argument lists of the calls after them, call
// results joined with the stores that take them, constant addresses shown as the
// strings stored there, and loads into EAX and EBX carried into the lines that use
// them. Then the assignment spacing that joins declarations and body (stage 8).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "pe/file_bytes.h"
#include "pe/sections.h"

namespace tessor {

// Where string operands are read from: the analysed file as its analysis read it.
struct StringOperandSource {
  std::uint64_t imageBase = 0;
  std::span<const SectionEntry> sections;
  ByteView file;
};

// The string at the virtual address v, or nullopt when there is none. The first section
// in table order whose raw data holds v (ImageBase + VirtualAddress <= v <
// ImageBase + VirtualAddress + SizeOfRawData) gives the file offset PointerToRawData +
// (v - ImageBase - VirtualAddress). From there at most 50 bytes are taken, clamped to
// the file (a negative offset reads from the start of the file), up to the first zero
// byte. When the offset, so clamped, lies at or past the end of the file there is none.
std::optional<std::string> ReadStringOperand(std::uint32_t v, const StringOperandSource& source);

// The two texts that line pass 1 builds, each a sequence of lines ended by CR LF.
struct Statements {
  std::string declarations;
  std::string body;
};

// Line pass 1 over the working text.
Statements AssembleStatements(std::string_view text, const StringOperandSource& source);

// Stage 8: every "=" of the body spaced as " = ", then declarations + CR LF + body.
std::string JoinStatements(const Statements& statements);

}  // namespace tessor
