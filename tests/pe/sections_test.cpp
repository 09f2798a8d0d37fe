#include "pe/sections.h"

#include <gtest/gtest.h>

#include "support/pe_builder.h"

namespace tessor {
namespace {

using namespace tessor::testing;

SectionTable Read(const Bytes& bytes) { return ReadSectionTable(ByteView(bytes)); }

PeImage TwoSections(ImageKind kind) {
  PeBuilder b(kind);
  b.AddSection({.name = ".textbss", .data = Bytes(0x80, 0x90), .characteristics = kCode});
  b.AddSection({.name = "DATA", .data = Bytes(0x10, 1), .virtualSize = 0x1234});
  return b.Build();
}

// The platform is read from the Machine field of a PE image, never guessed from the
// bytes 64 86 found somewhere in the file.
TEST(SectionTable, PlatformComesFromTheMachineField) {
  struct Case {
    const char* what;
    Bytes bytes;
    const char* platform;
  };
  std::vector<Case> cases;
  {
    PeBuilder b;
    b.AddSection({.name = ".data", .data = {0x64, 0x86, 0x64, 0x86}});
    b.Append({0x64, 0x86});
    cases.push_back({"32-bit image holding the bytes 64 86", b.Build().bytes, "X32"});
  }
  cases.push_back({"64-bit image", TwoSections(ImageKind::Pe32Plus).bytes, "X64"});
  {
    PeBuilder b;
    b.Headers().machine = kMachineX64;  // a PE32 optional header, but the Machine says AMD64
    b.AddSection({.name = ".text", .data = {0xC3}, .characteristics = kCode});
    cases.push_back({"Machine 8664 in a PE32 layout", b.Build().bytes, "X64"});
  }
  {
    PeImage image = TwoSections(ImageKind::Pe32Plus);
    PutU8(image.bytes, image.ntOffset + 2, 1);  // "PE\1\0"
    cases.push_back({"Machine 8664 without the signature", image.bytes, "X32"});
  }
  {
    Bytes text = ToBytes("just text, then the bytes d\x86 and MZ");
    cases.push_back({"a text file holding 64 86", text, "X32"});
  }
  cases.push_back({"an empty file", {}, "X32"});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Read(c.bytes).platform, c.platform);
  }
}

TEST(SectionTable, EntriesInTableOrder) {
  const PeImage image = TwoSections(ImageKind::Pe32);
  const SectionTable table = Read(image.bytes);
  ASSERT_TRUE(table.hasSignature);
  ASSERT_EQ(table.sections.size(), 2u);
  const SectionEntry& text = table.sections[0];
  EXPECT_EQ(text.Name, ".textbss");  // eight bytes, no zero byte
  EXPECT_EQ(text.VirtualAddress, 0x1000);
  EXPECT_EQ(text.VirtualSize, 0x80);
  EXPECT_EQ(text.PointerToRawData, 0x200);
  EXPECT_EQ(text.SizeOfRawData, 0x200);
  EXPECT_EQ(text.Characteristics, static_cast<std::int32_t>(kCode));
  EXPECT_EQ(table.sections[1].Name, "DATA");  // four bytes, then zeros
  EXPECT_EQ(SectionRow(text),
            (std::array<std::string, 6>{".textbss", "00001000", "00000080", "00000200", "00000200", "60000020"}));
  EXPECT_EQ(SectionRow(table.sections[1]),
            (std::array<std::string, 6>{"DATA", "00002000", "00001234", "00000400", "00000200", "C0000040"}));
}

TEST(SectionTable, FollowsTheOptionalHeaderSize) {
  // PE32+: 240 bytes of optional header put the table at e_lfanew + 264.
  const PeImage plus = TwoSections(ImageKind::Pe32Plus);
  ASSERT_EQ(plus.sectionTableOffset, plus.ntOffset + 264);
  const SectionTable table = Read(plus.bytes);
  ASSERT_EQ(table.sections.size(), 2u);
  EXPECT_EQ(table.sections[0].Name, ".textbss");
  EXPECT_EQ(table.sections[1].VirtualSize, 0x1234);

  PeBuilder b;
  b.Headers().sizeOfOptionalHeader = 0x100;
  b.AddSection({.name = ".odd", .data = {1}});
  const SectionTable odd = Read(b.Build().bytes);
  ASSERT_EQ(odd.sections.size(), 1u);
  EXPECT_EQ(odd.sections[0].Name, ".odd");
}

TEST(SectionTable, NotAPeImage) {
  Bytes bytes = TwoSections(ImageKind::Pe32).bytes;
  PutU32(bytes, 60, 0xFFFFFFF8);  // negative e_lfanew
  const SectionTable table = Read(bytes);
  EXPECT_FALSE(table.hasSignature);
  EXPECT_TRUE(table.sections.empty());
  EXPECT_EQ(table.platform, "X32");
}

TEST(SectionTable, TableRunningPastTheEndKeepsItsCount) {
  PeImage image = TwoSections(ImageKind::Pe32);
  PutU16(image.bytes, image.ntOffset + 6, 0xFFFF);
  const SectionTable table = Read(image.bytes);
  ASSERT_EQ(table.sections.size(), 0xFFFFu);
  EXPECT_EQ(table.sections[0].Name, ".textbss");
  EXPECT_EQ(table.sections[1].Name, "DATA");
  const SectionEntry& last = table.sections.back();
  EXPECT_EQ(last.Name, "");
  EXPECT_EQ(last.VirtualAddress, 0);
  EXPECT_EQ(last.SizeOfRawData, 0);
  EXPECT_EQ(last.Characteristics, 0);
}

}  // namespace
}  // namespace tessor
