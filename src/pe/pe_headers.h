// The DOS and NT headers of the analysed file, the conversion list of section headers
// that turns RVAs into file offsets, and the PE information rows built from them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pe/file_bytes.h"
#include "pe/sections.h"

namespace tessor {

// A row of the PE information list: label and value, in the order they are written.
using InfoRow = std::pair<std::string, std::string>;
using InfoRows = std::vector<InfoRow>;

struct DataDirectory {
  std::int32_t VirtualAddress = 0;
  std::int32_t Size = 0;
};

inline constexpr int kExportDirectory = 0;
inline constexpr int kImportDirectory = 1;
inline constexpr int kResourceDirectory = 2;
inline constexpr int kDebugDirectory = 6;
inline constexpr int kTlsDirectory = 9;

inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;

// What the header load read. Fields follow the PE format's names; 32-bit values are
// signed as the format's readers hold them. A PE32+ image is read with its own layout.
struct PeHeaders {
  std::int32_t e_lfanew = 0;
  bool hasSignature = false;  // "PE\0\0" at e_lfanew: the file is a PE image
  bool isPe32Plus = false;    // Magic 0x20B

  std::uint16_t Machine = 0;
  std::uint16_t NumberOfSections = 0;
  std::int32_t TimeDateStamp = 0;
  std::uint16_t SizeOfOptionalHeader = 0;
  std::uint16_t Characteristics = 0;
  std::uint16_t Magic = 0;
  std::uint8_t MajorLinkerVersion = 0;
  std::uint8_t MinorLinkerVersion = 0;
  std::int32_t AddressOfEntryPoint = 0;
  std::int32_t BaseOfCode = 0;
  std::int32_t BaseOfData = 0;  // PE32 only
  std::uint64_t ImageBase = 0;
  std::int32_t SectionAlignment = 0;
  std::int32_t FileAlignment = 0;
  std::int32_t SizeOfImage = 0;
  std::int32_t SizeOfHeaders = 0;
  std::int32_t CheckSum = 0;
  std::uint16_t Subsystem = 0;
  std::int32_t NumberOfRvaAndSizes = 0;
  std::array<DataDirectory, 16> DataDirectories{};

  // The section headers at e_lfanew + 24 + SizeOfOptionalHeader, when all
  // NumberOfSections of them lie inside the file; empty otherwise.
  std::vector<SectionEntry> conversionList;
};

// Reads the headers. Bytes missing at the end of the file count as zero; a file
// without the PE signature gives hasSignature false and nothing else.
PeHeaders ReadPeHeaders(ByteView file);

// The delta that turns an RVA into a file offset (offset = RVA - delta): VirtualAddress -
// PointerToRawData of the first section of the conversion list that covers the RVA,
// [VirtualAddress, VirtualAddress + VirtualSize), SizeOfRawData standing in for a
// VirtualSize of 0. An RVA outside every section gives 0: it is its own offset.
std::int64_t SectionDeltaForRva(const PeHeaders& headers, std::int64_t rva);

// The file offset of an RVA, by SectionDeltaForRva.
inline std::int64_t RvaToOffset(const PeHeaders& headers, std::int64_t rva) {
  return rva - SectionDeltaForRva(headers, rva);
}

// The entry-point rows ("入口点:" ... "子系统:") in writing order; none for a file without
// the signature, without an import directory, or whose entry point lies in no section.
InfoRows EntryPointRows(const PeHeaders& headers, ByteView file);

// The 24 header and data-directory rows ("映像基址:" ... "调试长度:") in writing order;
// none for a file without the signature.
InfoRows HeaderRows(const PeHeaders& headers);

// "%.8X" of a 32-bit value, "%.4X" of a 16-bit one, and the image base: 8 digits for
// PE32, 16 for PE32+.
std::string Hex8Text(std::int64_t value);
std::string Hex4Text(std::int64_t value);  // at least four digits
std::string ImageBaseText(const PeHeaders& headers);

// An address as uppercase hexadecimal without leading zeros: modulo 2^32 for a PE32
// image, the full 64-bit value for a PE32+ one.
std::string AddressText(const PeHeaders& headers, std::uint64_t address);

// The zero-terminated text at a file offset, at most `limit` bytes. nullopt when the
// offset is outside the file or the file ends before a zero byte within the limit;
// a text that reaches the limit is cut there.
std::optional<std::string> ReadZeroTerminated(ByteView file, std::int64_t offset, std::size_t limit);

inline constexpr std::size_t kNameLimit = 4096;

}  // namespace tessor
