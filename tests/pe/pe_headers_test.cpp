#include "pe/pe_headers.h"

#include <gtest/gtest.h>

#include "support/pe_builder.h"

namespace tessor {
namespace {

using namespace tessor::testing;

// A console program: code at 1000 with a few known bytes at the entry point, data,
// one import, one debug entry, and a resource and TLS directory entry to show.
PeImage SampleProgram() {
  PeBuilder b;
  auto& h = b.Headers();
  h.timeDateStamp = 0x5F000000;
  h.characteristics = 0x0102;
  h.addressOfEntryPoint = 0x1010;
  h.checkSum = 0x1234;
  h.subsystem = 2;
  h.dataDirectories[2] = {0x5000, 0x80};
  h.dataDirectories[9] = {0x6000, 0x18};
  Bytes code(0x200, 0xCC);
  PutBytes(code, 0x10, {0x55, 0x8B, 0xEC, 0x90});
  b.AddSection({.name = ".text", .data = code, .characteristics = kCode});
  b.AddSection({.name = ".data", .data = Bytes(0x100, 1)});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess")}});
  b.AddDebugEntry({});
  return b.Build();
}

PeHeaders Read(const PeImage& image) { return ReadPeHeaders(ByteView(image.bytes)); }
PeHeaders Read(const Bytes& bytes) { return ReadPeHeaders(ByteView(bytes)); }

TEST(PeHeaders, EntryPointRowsOfAProgram) {
  const PeImage image = SampleProgram();
  const PeHeaders headers = Read(image);
  ASSERT_TRUE(headers.hasSignature);
  const InfoRows expected = {
      {"入口点:", "00001010"}, {"文件偏移:", "00000410"}, {"链接器:", "6.0"},
      {"EP区段:", ".text"},    {"首字节:", "55,8B,EC,90"}, {"子系统:", "0002"},
  };
  EXPECT_EQ(EntryPointRows(headers, ByteView(image.bytes)), expected);
}

TEST(PeHeaders, HeaderRowsOfA32BitProgram) {
  const PeImage image = SampleProgram();
  ASSERT_EQ(image.sections.size(), 4u);  // .text .data .idata .rdata
  const InfoRows expected = {
      {"映像基址:", "00400000"}, {"映像大小:", "00005000"}, {"代码基址:", "00001000"},
      {"数据基址:", "00002000"}, {"区段校正:", "00001000"}, {"文件校正:", "00000200"},
      {"幻数:", "010B"},         {"区段数量:", "0004"},     {"时间戳:", "5F000000"},
      {"头部大小:", "00000400"}, {"特性:", "0102"},         {"校验:", "00001234"},
      {"可选头部大小:", "00E0"}, {"RAV与大小的数量:", "00000010"},
      {"导出:", "00000000"},     {"导出长度:", "00000000"}, {"导入:", "00003000"},
      {"导入长度:", "00000028"}, {"资源基址:", "00005000"}, {"资源长度:", "00000080"},
      {"tls:", "00006000"},      {"tls长度:", "00000018"},  {"调试基址:", "00004000"},
      {"调试长度:", "0000001C"},
  };
  EXPECT_EQ(HeaderRows(Read(image)), expected);
}

TEST(PeHeaders, Pe32PlusHeadersAreReadWithTheirOwnLayout) {
  PeBuilder b(ImageKind::Pe32Plus);
  auto& h = b.Headers();
  h.imageBase = 0x0000000140000000ull;
  h.addressOfEntryPoint = 0x1000;
  h.majorLinkerVersion = 2;
  h.minorLinkerVersion = 40;
  h.checkSum = 0xABCDEF01;
  h.subsystem = 3;
  h.numberOfRvaAndSizes = 16;
  h.dataDirectories[9] = {0x6060, 0x28};
  b.AddSection({.name = ".text", .data = {0x48, 0x83, 0xEC, 0x28}, .characteristics = kCode});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess")}});
  const PeImage image = b.Build();
  const PeHeaders headers = Read(image);
  ASSERT_TRUE(headers.hasSignature);
  EXPECT_TRUE(headers.isPe32Plus);
  EXPECT_EQ(headers.ImageBase, 0x0000000140000000ull);

  const InfoRows expected = {
      {"映像基址:", "0000000140000000"}, {"映像大小:", "00003000"}, {"代码基址:", "00001000"},
      {"数据基址:", ""},                 {"区段校正:", "00001000"}, {"文件校正:", "00000200"},
      {"幻数:", "020B"},                 {"区段数量:", "0002"},     {"时间戳:", "00000000"},
      {"头部大小:", "00000200"},         {"特性:", "0002"},         {"校验:", "ABCDEF01"},
      {"可选头部大小:", "00F0"},         {"RAV与大小的数量:", "00000010"},
      {"导出:", "00000000"},             {"导出长度:", "00000000"}, {"导入:", "00002000"},
      {"导入长度:", "00000028"},         {"资源基址:", "00000000"}, {"资源长度:", "00000000"},
      {"tls:", "00006060"},              {"tls长度:", "00000028"},  {"调试基址:", "00000000"},
      {"调试长度:", "00000000"},
  };
  EXPECT_EQ(HeaderRows(headers), expected);
  const InfoRows entry = {
      {"入口点:", "00001000"}, {"文件偏移:", "00000200"},     {"链接器:", "2.40"},
      {"EP区段:", ".text"},    {"首字节:", "48,83,EC,28"},   {"子系统:", "0003"},
  };
  EXPECT_EQ(EntryPointRows(headers, ByteView(image.bytes)), entry);
}

// The section that holds the entry point: both ends of a section count, the first
// section in table order wins, and an entry point in no section gives no rows.
TEST(PeHeaders, EntryPointSection) {
  struct Case {
    const char* what;
    std::uint32_t entryPoint;
    const char* section;  // nullptr: no entry-point rows
  };
  const Case cases[] = {
      {"at the start of .text", 0x1000, ".text"},
      {"exactly at VirtualAddress + VirtualSize of .text", 0x1100, ".text"},
      {"in the overlap of .text and .over, first in table order", 0x1080, ".text"},
      {"in .over only", 0x1101, ".over"},
      {"below every section (a DLL's 0)", 0, nullptr},
      {"above every section", 0x9000, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PeBuilder b;
    b.Headers().addressOfEntryPoint = c.entryPoint;
    b.AddSection({.name = ".text", .data = Bytes(0x100, 0x90), .characteristics = kCode});
    b.AddSection({.name = ".over", .data = Bytes(0x200, 0xC3), .rva = 0x1080});
    b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess")}});
    const PeImage image = b.Build();
    const PeHeaders headers = Read(image);
    const InfoRows rows = EntryPointRows(headers, ByteView(image.bytes));
    if (!c.section) {
      EXPECT_TRUE(rows.empty());
      EXPECT_EQ(HeaderRows(headers).size(), 24u);
      continue;
    }
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[3], (InfoRow{"EP区段:", c.section}));
  }
}

TEST(PeHeaders, NoEntryPointRowsWithoutAnImportDirectory) {
  PeBuilder b;
  b.Headers().addressOfEntryPoint = 0x1000;
  b.AddSection({.name = ".text", .data = Bytes(0x200, 0x90), .characteristics = kCode});
  const PeImage image = b.Build();
  const PeHeaders headers = Read(image);
  EXPECT_TRUE(EntryPointRows(headers, ByteView(image.bytes)).empty());
  EXPECT_EQ(HeaderRows(headers).size(), 24u);
  // The conversion list is still read.
  ASSERT_EQ(headers.conversionList.size(), 1u);
  EXPECT_EQ(headers.conversionList[0].Name, ".text");
  EXPECT_EQ(RvaToOffset(headers, 0x1010), 0x210);
}

TEST(PeHeaders, FirstBytesRowIsLeftOutWhenTheFileEndsAtTheEntryPoint) {
  PeBuilder b;
  b.Headers().addressOfEntryPoint = 0x11FE;
  b.AddSection({.name = ".text", .data = Bytes(0x200, 0x90), .characteristics = kCode});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess")}});
  PeImage image = b.Build();
  ASSERT_EQ(image.sections[0].rawOffset, 0x200u);
  Truncate(image.bytes, 0x400);  // two bytes left at the entry point's offset 3FE
  const InfoRows rows = EntryPointRows(Read(image), ByteView(image.bytes));
  const InfoRows expected = {
      {"入口点:", "000011FE"}, {"文件偏移:", "000003FE"}, {"链接器:", "6.0"},
      {"EP区段:", ".text"},    {"子系统:", "0003"},
  };
  EXPECT_EQ(rows, expected);
}

// RVA to file offset: a section covers [VirtualAddress, VirtualAddress + VirtualSize),
// SizeOfRawData standing in for a VirtualSize of 0; an RVA in no section is its own
// offset.
TEST(PeHeaders, ConversionOfRvasToFileOffsets) {
  PeBuilder b;
  b.AddSection({.name = ".text", .data = Bytes(0x200, 0x90), .characteristics = kCode});         // 1000, raw 400
  b.AddSection({.name = ".bss", .characteristics = kUninitialised, .virtualSize = 0x1000});      // 2000..3000
  b.AddSection({.name = ".rdata", .data = Bytes(0x300, 1), .virtualSize = 0});                   // 3000, raw 600, 400 long
  b.AddSection({.name = ".data", .data = Bytes(0x10, 2)});                                       // 4000, raw A00
  const PeImage image = b.Build();
  ASSERT_EQ(image.sections[2].rva, 0x3000u);
  ASSERT_EQ(image.sections[2].rawOffset, 0x600u);
  ASSERT_EQ(image.sections[3].rawOffset, 0xA00u);
  const PeHeaders headers = Read(image);
  ASSERT_EQ(headers.conversionList.size(), 4u);

  struct Case {
    std::int64_t rva, offset;
  };
  const Case cases[] = {
      {0x0100, 0x0100},  // below every section
      {0x1000, 0x0400},
      {0x11FF, 0x05FF},
      {0x2FFF, 0x0FFF},  // inside .bss: its delta 2000
      {0x3000, 0x0600},  // where .bss ends .rdata begins
      {0x33FF, 0x09FF},  // VirtualSize 0: SizeOfRawData 400 counts
      {0x3400, 0x3400},  // past it: in no section
      {0x4000, 0x0A00},  // where the fixed .data starts
      {0x4010, 0x4010},  // VirtualAddress + VirtualSize is outside
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RvaToOffset(headers, c.rva), c.offset) << std::hex << "rva " << c.rva;
  }
}

TEST(PeHeaders, ConversionListFollowsTheDeclaredOptionalHeaderSize) {
  PeBuilder b;
  b.Headers().sizeOfOptionalHeader = 224 + 0x20;
  b.Headers().addressOfEntryPoint = 0x1004;
  b.AddSection({.name = ".text", .data = {0x90, 0x90, 0x90, 0x90, 0xC3, 0xCC, 0xCC, 0xCC},
                .characteristics = kCode});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess")}});
  const PeImage image = b.Build();
  ASSERT_EQ(image.sectionTableOffset, 0x80u + 24 + 224 + 0x20);
  const PeHeaders headers = Read(image);
  ASSERT_EQ(headers.conversionList.size(), 2u);
  EXPECT_EQ(headers.conversionList[0].Name, ".text");
  EXPECT_EQ(headers.conversionList[1].Name, ".idata");
  const InfoRows rows = EntryPointRows(headers, ByteView(image.bytes));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[4], (InfoRow{"首字节:", "C3,CC,CC,CC"}));
}

// Files that are not PE images, or whose headers are cut or out of range: no rows that
// the file does not back, and no crash.
TEST(PeHeaders, HostileHeaders) {
  const PeImage good = SampleProgram();
  struct Case {
    const char* what;
    Bytes bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty file", {}});
  cases.push_back({"shorter than a DOS header", ToBytes("MZ\x90\x00\x03")});
  {
    Bytes b = good.bytes;
    PutU32(b, 60, 0x00100000);
    cases.push_back({"e_lfanew past the end", b});
  }
  {
    Bytes b = good.bytes;
    PutU32(b, 60, 0xFFFFFFF0);
    cases.push_back({"negative e_lfanew", b});
  }
  {
    Bytes b = good.bytes;
    PutU32(b, 60, static_cast<std::uint32_t>(b.size() - 2));
    cases.push_back({"e_lfanew two bytes before the end", b});
  }
  {
    Bytes b = good.bytes;
    PutText(b, good.ntOffset, "PX");
    cases.push_back({"no PE signature", b});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const PeHeaders headers = Read(c.bytes);
    EXPECT_FALSE(headers.hasSignature);
    EXPECT_TRUE(HeaderRows(headers).empty());
    EXPECT_TRUE(EntryPointRows(headers, ByteView(c.bytes)).empty());
    EXPECT_TRUE(headers.conversionList.empty());
    EXPECT_EQ(RvaToOffset(headers, 0x3000), 0x3000);
  }
}

TEST(PeHeaders, NtHeadersCutShortReadAsZero) {
  Bytes bytes = SampleProgram().bytes;
  Truncate(bytes, 0x80 + 24 + 20);  // up to AddressOfEntryPoint of the optional header
  const PeHeaders headers = Read(bytes);
  ASSERT_TRUE(headers.hasSignature);
  const InfoRows rows = HeaderRows(headers);
  ASSERT_EQ(rows.size(), 24u);
  EXPECT_EQ(rows[0], (InfoRow{"映像基址:", "00000000"}));
  EXPECT_EQ(rows[6], (InfoRow{"幻数:", "010B"}));
  EXPECT_EQ(rows[7], (InfoRow{"区段数量:", "0004"}));
  EXPECT_EQ(rows[16], (InfoRow{"导入:", "00000000"}));
  // No import directory is left, and no section table: no entry-point rows.
  EXPECT_TRUE(EntryPointRows(headers, ByteView(bytes)).empty());
  EXPECT_TRUE(headers.conversionList.empty());
}

TEST(PeHeaders, SectionCountBeyondTheFile) {
  PeImage image = SampleProgram();
  PutU16(image.bytes, image.ntOffset + 6, 0xFFFF);
  const PeHeaders headers = Read(image);
  ASSERT_TRUE(headers.hasSignature);
  const InfoRows rows = HeaderRows(headers);
  ASSERT_EQ(rows.size(), 24u);
  EXPECT_EQ(rows[7], (InfoRow{"区段数量:", "FFFF"}));
  // 65535 section headers cannot lie in the file: no conversion list, so RVAs are their
  // own offsets and the entry point lies in no section.
  EXPECT_TRUE(headers.conversionList.empty());
  EXPECT_EQ(RvaToOffset(headers, 0x1010), 0x1010);
  EXPECT_TRUE(EntryPointRows(headers, ByteView(image.bytes)).empty());
}

}  // namespace
}  // namespace tessor
