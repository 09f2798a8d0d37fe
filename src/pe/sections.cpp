#include "pe/sections.h"

#include "text/hex.h"

namespace tessor {

namespace {

std::int32_t S32(ByteView file, std::uint64_t offset) { return static_cast<std::int32_t>(file.U32(offset)); }

// The 8 name bytes up to the first zero byte.
std::string SectionName(ByteView file, std::uint64_t offset) {
  const auto bytes = file.Slice(offset, 8);
  std::string name;
  for (const auto b : bytes) {
    if (b == 0) break;
    name += static_cast<char>(b);
  }
  return name;
}

}  // namespace

SectionEntry ReadSectionEntry(ByteView file, std::uint64_t offset) {
  SectionEntry e;
  e.Name = SectionName(file, offset);
  e.VirtualSize = S32(file, offset + 8);
  e.VirtualAddress = S32(file, offset + 12);
  e.SizeOfRawData = S32(file, offset + 16);
  e.PointerToRawData = S32(file, offset + 20);
  e.PointerToRelocations = S32(file, offset + 24);
  e.PointerToLinenumbers = S32(file, offset + 28);
  e.NumberOfRelocations = file.U16(offset + 32);
  e.NumberOfLinenumbers = file.U16(offset + 34);
  e.Characteristics = S32(file, offset + 36);
  return e;
}

SectionTable ReadSectionTable(ByteView file) {
  SectionTable table;
  table.platform = "X32";
  const std::int32_t e_lfanew = ReadInt32LE(file.Slice(60, 4));
  if (e_lfanew < 0 || !file.Holds(static_cast<std::uint64_t>(e_lfanew), 4)) return table;
  const auto nt = static_cast<std::uint64_t>(e_lfanew);
  if (file.U32(nt) != 0x00004550) return table;
  table.hasSignature = true;
  if (file.U16(nt + 4) == 0x8664) table.platform = "X64";
  const std::uint16_t count = file.U16(nt + 6);
  std::uint64_t at = nt + 24 + file.U16(nt + 20);
  table.sections.reserve(count);
  for (std::uint16_t i = 0; i < count; ++i, at += kSectionHeaderSize) table.sections.push_back(ReadSectionEntry(file, at));
  return table;
}

std::array<std::string, 6> SectionRow(const SectionEntry& e) {
  auto hex = [](std::int32_t v) { return Hex8(static_cast<std::uint32_t>(v)); };
  return {e.Name, hex(e.VirtualAddress), hex(e.VirtualSize), hex(e.PointerToRawData), hex(e.SizeOfRawData),
          hex(e.Characteristics)};
}

std::optional<std::uint64_t> OffsetToAddress(const std::vector<SectionEntry>& sections, std::uint64_t imageBase,
                                             std::uint64_t offset) {
  const auto off = static_cast<std::int64_t>(offset);
  for (const auto& s : sections) {
    const std::int64_t raw = s.PointerToRawData;
    if (raw <= off && off < raw + s.SizeOfRawData)
      return imageBase + static_cast<std::uint64_t>(std::int64_t{s.VirtualAddress} + (off - raw));
  }
  return std::nullopt;
}

}  // namespace tessor
