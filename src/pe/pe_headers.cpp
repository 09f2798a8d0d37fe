#include "pe/pe_headers.h"

#include "text/hex.h"

namespace tessor {

namespace {

std::int32_t S32(ByteView file, std::uint64_t offset) { return static_cast<std::int32_t>(file.U32(offset)); }

// The rule of the entry-point section: both ends inclusive, VirtualSize only.
const SectionEntry* EntryPointSection(const PeHeaders& h) {
  const std::int64_t ep = h.AddressOfEntryPoint;
  for (const auto& s : h.conversionList) {
    if (std::int64_t{s.VirtualAddress} <= ep && ep <= std::int64_t{s.VirtualAddress} + s.VirtualSize) return &s;
  }
  return nullptr;
}

}  // namespace

std::string Hex8Text(std::int64_t value) { return Hex8(static_cast<std::uint32_t>(value)); }

std::string Hex4Text(std::int64_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return v > 0xFFFF ? IntToHex(v) : HexDigits(v, 4);
}

std::string ImageBaseText(const PeHeaders& headers) {
  return headers.isPe32Plus ? HexDigits(headers.ImageBase, 16) : Hex8(static_cast<std::uint32_t>(headers.ImageBase));
}

std::string AddressText(const PeHeaders& headers, std::uint64_t address) {
  return headers.isPe32Plus ? IntToHex64(address) : IntToHex(static_cast<std::int64_t>(address));
}

std::optional<std::string> ReadZeroTerminated(ByteView file, std::int64_t offset, std::size_t limit) {
  if (offset < 0 || static_cast<std::uint64_t>(offset) >= file.size()) return std::nullopt;
  const auto bytes = file.Slice(static_cast<std::uint64_t>(offset), limit);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == 0) return std::string(reinterpret_cast<const char*>(bytes.data()), i);
  // No zero: cut at the limit when the file goes on, unreadable when it ends first.
  if (bytes.size() == limit) return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return std::nullopt;
}

PeHeaders ReadPeHeaders(ByteView file) {
  PeHeaders h;
  h.e_lfanew = ReadInt32LE(file.Slice(60, 4));
  if (file.size() < 64 || h.e_lfanew < 0 || !file.Holds(static_cast<std::uint64_t>(h.e_lfanew), 4)) return h;
  const auto nt = static_cast<std::uint64_t>(h.e_lfanew);
  if (file.U32(nt) != 0x00004550) return h;
  h.hasSignature = true;

  h.Machine = file.U16(nt + 4);
  h.NumberOfSections = file.U16(nt + 6);
  h.TimeDateStamp = S32(file, nt + 8);
  h.SizeOfOptionalHeader = file.U16(nt + 20);
  h.Characteristics = file.U16(nt + 22);
  h.Magic = file.U16(nt + 24);
  h.isPe32Plus = h.Magic == kMagicPe32Plus;
  h.MajorLinkerVersion = file.U8(nt + 26);
  h.MinorLinkerVersion = file.U8(nt + 27);
  h.AddressOfEntryPoint = S32(file, nt + 40);
  h.BaseOfCode = S32(file, nt + 44);
  std::uint64_t directories = 0;
  if (h.isPe32Plus) {
    h.ImageBase = file.U64(nt + 48);
    h.NumberOfRvaAndSizes = S32(file, nt + 132);
    directories = nt + 136;
  } else {
    h.BaseOfData = S32(file, nt + 48);
    h.ImageBase = file.U32(nt + 52);
    h.NumberOfRvaAndSizes = S32(file, nt + 116);
    directories = nt + 120;
  }
  h.SectionAlignment = S32(file, nt + 56);
  h.FileAlignment = S32(file, nt + 60);
  h.SizeOfImage = S32(file, nt + 80);
  h.SizeOfHeaders = S32(file, nt + 84);
  h.CheckSum = S32(file, nt + 88);
  h.Subsystem = file.U16(nt + 92);
  for (std::size_t i = 0; i < h.DataDirectories.size(); ++i) {
    h.DataDirectories[i].VirtualAddress = S32(file, directories + 8 * i);
    h.DataDirectories[i].Size = S32(file, directories + 8 * i + 4);
  }

  const std::uint64_t table = nt + 24 + h.SizeOfOptionalHeader;
  if (file.Holds(table, kSectionHeaderSize * h.NumberOfSections)) {
    h.conversionList.reserve(h.NumberOfSections);
    for (std::uint64_t i = 0; i < h.NumberOfSections; ++i)
      h.conversionList.push_back(ReadSectionEntry(file, table + kSectionHeaderSize * i));
  }
  return h;
}

std::int64_t SectionDeltaForRva(const PeHeaders& headers, std::int64_t rva) {
  for (const auto& s : headers.conversionList) {
    const std::int64_t start = s.VirtualAddress;
    const std::int64_t size = s.VirtualSize != 0 ? s.VirtualSize : s.SizeOfRawData;
    if (start <= rva && rva < start + size) return start - s.PointerToRawData;
  }
  return 0;
}

InfoRows EntryPointRows(const PeHeaders& h, ByteView file) {
  InfoRows rows;
  if (!h.hasSignature || h.DataDirectories[kImportDirectory].Size <= 0) return rows;
  const SectionEntry* s = EntryPointSection(h);
  if (!s) return rows;
  const std::int64_t offset =
      std::int64_t{h.AddressOfEntryPoint} - (std::int64_t{s->VirtualAddress} - s->PointerToRawData);
  rows.emplace_back("入口点:", Hex8Text(h.AddressOfEntryPoint));
  rows.emplace_back("文件偏移:", Hex8Text(offset));
  rows.emplace_back("链接器:", std::to_string(h.MajorLinkerVersion) + "." + std::to_string(h.MinorLinkerVersion));
  rows.emplace_back("EP区段:", s->Name);
  if (offset >= 0 && file.Holds(static_cast<std::uint64_t>(offset), 4)) {
    const auto b = file.Slice(static_cast<std::uint64_t>(offset), 4);
    rows.emplace_back("首字节:", ByteToHex(b[0]) + "," + ByteToHex(b[1]) + "," + ByteToHex(b[2]) + "," + ByteToHex(b[3]));
  }
  rows.emplace_back("子系统:", HexDigits(h.Subsystem, 4));
  return rows;
}

InfoRows HeaderRows(const PeHeaders& h) {
  InfoRows rows;
  if (!h.hasSignature) return rows;
  const auto& d = h.DataDirectories;
  rows = {
      {"映像基址:", ImageBaseText(h)},
      {"映像大小:", Hex8Text(h.SizeOfImage)},
      {"代码基址:", Hex8Text(h.BaseOfCode)},
      {"数据基址:", h.isPe32Plus ? std::string() : Hex8Text(h.BaseOfData)},
      {"区段校正:", Hex8Text(h.SectionAlignment)},
      {"文件校正:", Hex8Text(h.FileAlignment)},
      {"幻数:", HexDigits(h.Magic, 4)},
      {"区段数量:", HexDigits(h.NumberOfSections, 4)},
      {"时间戳:", Hex8Text(h.TimeDateStamp)},
      {"头部大小:", Hex8Text(h.SizeOfHeaders)},
      {"特性:", HexDigits(h.Characteristics, 4)},
      {"校验:", Hex8Text(h.CheckSum)},
      {"可选头部大小:", HexDigits(h.SizeOfOptionalHeader, 4)},
      {"RAV与大小的数量:", Hex8Text(h.NumberOfRvaAndSizes)},
      {"导出:", Hex8Text(d[kExportDirectory].VirtualAddress)},
      {"导出长度:", Hex8Text(d[kExportDirectory].Size)},
      {"导入:", Hex8Text(d[kImportDirectory].VirtualAddress)},
      {"导入长度:", Hex8Text(d[kImportDirectory].Size)},
      {"资源基址:", Hex8Text(d[kResourceDirectory].VirtualAddress)},
      {"资源长度:", Hex8Text(d[kResourceDirectory].Size)},
      {"tls:", Hex8Text(d[kTlsDirectory].VirtualAddress)},
      {"tls长度:", Hex8Text(d[kTlsDirectory].Size)},
      {"调试基址:", Hex8Text(d[kDebugDirectory].VirtualAddress)},
      {"调试长度:", Hex8Text(d[kDebugDirectory].Size)},
  };
  return rows;
}

}  // namespace tessor
