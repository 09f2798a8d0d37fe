// A small builder of PE images for tests: headers of the 32-bit (PE32) or 64-bit
// (PE32+) layout, sections, an import directory, an export directory, debug entries and
// appended bytes. It builds well-formed files; hostile ones are made from them with the
// patch helpers at the end, using the positions the built image reports.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessor::testing {

using Bytes = std::vector<std::uint8_t>;

enum class ImageKind { Pe32, Pe32Plus };

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineX64 = 0x8664;
inline constexpr std::uint16_t kFileExecutable = 0x0002;
inline constexpr std::uint16_t kFileDll = 0x2000;
inline constexpr std::uint32_t kCode = 0x60000020;          // code, execute, read
inline constexpr std::uint32_t kData = 0xC0000040;          // initialised data, read, write
inline constexpr std::uint32_t kUninitialised = 0xC0000080;  // uninitialised data, read, write

struct SectionDef {
  std::string name;                          // at most 8 bytes are stored
  Bytes data;                                // raw bytes; none gives PointerToRawData 0
  std::uint32_t characteristics = kData;
  std::optional<std::uint32_t> rva;          // default: after the previous section
  std::optional<std::uint32_t> virtualSize;  // default: the size of data
};

struct ImportFunction {
  std::string name;                    // empty: imported by ordinal
  std::uint16_t hint = 0;
  std::uint16_t ordinal = 0;
};
inline ImportFunction ByName(std::string name, std::uint16_t hint = 0) { return {std::move(name), hint, 0}; }
inline ImportFunction ByOrdinal(std::uint16_t ordinal) { return {"", 0, ordinal}; }

struct ImportDll {
  std::string name;
  std::vector<ImportFunction> functions;
  bool withLookup = true;  // false: OriginalFirstThunk is 0, names come from FirstThunk
};

struct ExportFunction {
  std::string name;  // empty: exported by ordinal only (no entry in AddressOfNames)
  std::uint32_t rva = 0;
};

struct ExportDef {
  std::string moduleName;
  std::uint32_t base = 1;
  std::uint32_t characteristics = 0;
  std::uint32_t timeDateStamp = 0;
  std::uint16_t majorVersion = 0;
  std::uint16_t minorVersion = 0;
  std::vector<ExportFunction> functions;  // AddressOfFunctions in this order
};

struct DebugEntry {
  std::uint32_t characteristics = 0;
  std::uint32_t timeDateStamp = 0;
  std::uint16_t majorVersion = 0;
  std::uint16_t minorVersion = 0;
  std::uint32_t type = 2;  // CodeView
  std::uint32_t sizeOfData = 0;
  std::uint32_t addressOfRawData = 0;
  std::uint32_t pointerToRawData = 0;
};

// Header fields. Unset optional values are derived from the layout (or the kind).
struct HeaderFields {
  std::uint32_t e_lfanew = 0x80;
  std::optional<std::uint16_t> machine;              // 014C for PE32, 8664 for PE32+
  std::uint32_t timeDateStamp = 0;
  std::optional<std::uint16_t> sizeOfOptionalHeader;  // 224 or 240; larger leaves a gap
  std::uint16_t characteristics = kFileExecutable;
  std::optional<std::uint16_t> magic;                // 010B or 020B
  std::uint8_t majorLinkerVersion = 6;
  std::uint8_t minorLinkerVersion = 0;
  std::uint32_t addressOfEntryPoint = 0;
  std::uint32_t baseOfCode = 0x1000;
  std::uint32_t baseOfData = 0x2000;                 // PE32 only
  std::optional<std::uint64_t> imageBase;            // 00400000 or 0000000140000000
  std::uint32_t sectionAlignment = 0x1000;
  std::uint32_t fileAlignment = 0x200;
  std::optional<std::uint32_t> sizeOfImage;
  std::optional<std::uint32_t> sizeOfHeaders;
  std::uint32_t checkSum = 0;
  std::uint16_t subsystem = 3;                       // console
  std::uint32_t numberOfRvaAndSizes = 16;
  // Directories to write as given; the builder's own import, export and debug
  // directories replace entries 1, 0 and 6.
  std::array<std::pair<std::uint32_t, std::uint32_t>, 16> dataDirectories{};
};

struct BuiltSection {
  std::string name;
  std::uint32_t rva = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t rawSize = 0;
};

// Where the builder put each structure, as RVAs (and file offsets where named so).
struct BuiltImport {
  std::uint32_t descriptorRva = 0;
  std::uint32_t lookupRva = 0;      // 0 without a lookup array
  std::uint32_t firstThunkRva = 0;
  std::uint32_t nameRva = 0;
  std::vector<std::uint32_t> hintNameRvas;  // per function; 0 for ordinals
};

struct PeImage {
  Bytes bytes;
  ImageKind kind = ImageKind::Pe32;
  std::uint64_t ntOffset = 0;              // the "PE\0\0" signature
  std::uint64_t optionalHeaderOffset = 0;  // ntOffset + 24
  std::uint64_t sectionTableOffset = 0;
  std::vector<BuiltSection> sections;
  std::uint32_t importRva = 0;
  std::vector<BuiltImport> imports;
  std::uint32_t exportRva = 0;
  std::uint32_t exportNameRva = 0;
  std::uint32_t functionsRva = 0;
  std::uint32_t namesRva = 0;
  std::uint32_t ordinalsRva = 0;
  std::uint32_t debugRva = 0;
  std::uint64_t overlayOffset = 0;  // where the appended bytes start (the end of the sections)

  std::uint32_t ThunkSize() const { return kind == ImageKind::Pe32Plus ? 8 : 4; }
  // The file offset of an RVA inside a built section.
  std::uint64_t OffsetOf(std::uint32_t rva) const;
  // The file offset of DataDirectory[index].VirtualAddress (Size follows 4 bytes later).
  std::uint64_t DataDirectoryOffset(int index) const;
};

class PeBuilder {
 public:
  explicit PeBuilder(ImageKind kind = ImageKind::Pe32) : kind_(kind) {}

  HeaderFields& Headers() { return headers_; }
  PeBuilder& AddSection(SectionDef section);
  PeBuilder& AddImport(ImportDll dll);
  PeBuilder& SetExports(ExportDef exports);
  PeBuilder& AddDebugEntry(DebugEntry entry);
  // Bytes written after the last section's raw data (an overlay; another image, say).
  PeBuilder& Append(const Bytes& bytes);

  // Sections are laid out in the order added; the import (".idata"), export (".edata")
  // and debug (".rdata") sections follow, each only when it has content.
  PeImage Build() const;

 private:
  ImageKind kind_;
  HeaderFields headers_;
  std::vector<SectionDef> sections_;
  std::vector<ImportDll> imports_;
  std::optional<ExportDef> exports_;
  std::vector<DebugEntry> debug_;
  Bytes overlay_;
};

// Raw patch helpers for hostile files. Writes past the end grow the bytes with zeros.
void PutU8(Bytes& bytes, std::uint64_t offset, std::uint8_t value);
void PutU16(Bytes& bytes, std::uint64_t offset, std::uint16_t value);
void PutU32(Bytes& bytes, std::uint64_t offset, std::uint32_t value);
void PutU64(Bytes& bytes, std::uint64_t offset, std::uint64_t value);
void PutBytes(Bytes& bytes, std::uint64_t offset, const Bytes& value);
void PutText(Bytes& bytes, std::uint64_t offset, std::string_view text);  // no zero byte added
void Truncate(Bytes& bytes, std::uint64_t size);

// The bytes of a text (GBK in, bytes out), for comparing file contents.
Bytes ToBytes(std::string_view text);

// Exactly `digits` uppercase hexadecimal digits, for writing expected cell texts.
std::string HexText(std::uint64_t value, int digits);

}  // namespace tessor::testing
