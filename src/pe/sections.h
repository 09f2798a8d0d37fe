// The section table as records, the platform row and the section list's rows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pe/file_bytes.h"

namespace tessor {

// One 40-byte section header.
struct SectionEntry {
  std::string Name;  // the 8 name bytes up to the first zero byte
  std::int32_t VirtualSize = 0;
  std::int32_t VirtualAddress = 0;
  std::int32_t SizeOfRawData = 0;
  std::int32_t PointerToRawData = 0;
  std::int32_t PointerToRelocations = 0;
  std::int32_t PointerToLinenumbers = 0;
  std::uint16_t NumberOfRelocations = 0;
  std::uint16_t NumberOfLinenumbers = 0;
  std::int32_t Characteristics = 0;
};

inline constexpr std::uint64_t kSectionHeaderSize = 40;

// Reads one section header at a file offset; fields past the end of the file are 0.
SectionEntry ReadSectionEntry(ByteView file, std::uint64_t offset);

struct SectionTable {
  // "X64" when the signature is at e_lfanew and Machine is 0x8664, else "X32".
  std::string platform;
  bool hasSignature = false;
  // NumberOfSections entries read from e_lfanew + 24 + SizeOfOptionalHeader; a table
  // that runs past the end of the file gives entries whose missing fields are 0.
  std::vector<SectionEntry> sections;
};

// Reads the platform and the section table of the whole file.
SectionTable ReadSectionTable(ByteView file);

// The platform row's label.
inline constexpr const char* kPlatformLabel = "运行平台";

// The six texts of a section list row: Name, VirtualAddress, VirtualSize,
// PointerToRawData, SizeOfRawData and Characteristics, the numbers as "%.8X".
std::array<std::string, 6> SectionRow(const SectionEntry& entry);

// The virtual address of a file offset: imageBase + VirtualAddress + the offset's
// distance from PointerToRawData, for the first section whose raw data holds it.
std::optional<std::uint64_t> OffsetToAddress(const std::vector<SectionEntry>& sections, std::uint64_t imageBase,
                                             std::uint64_t offset);

}  // namespace tessor
