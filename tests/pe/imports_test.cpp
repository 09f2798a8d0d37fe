#include "pe/imports.h"

#include <functional>

#include <gtest/gtest.h>

#include "support/pe_builder.h"

namespace tessor {
namespace {

using namespace tessor::testing;

std::vector<ImportRow> Read(const Bytes& bytes) {
  const ByteView view(bytes);
  return ReadImports(ReadPeHeaders(view), view);
}

std::vector<std::string> Names(const std::vector<ImportRow>& rows) {
  std::vector<std::string> names;
  for (const auto& row : rows) names.push_back(row[4]);
  return names;
}

// KERNEL32 by name and by ordinal with a lookup array, USER32 without one.
PeImage ThreeImports(ImageKind kind) {
  PeBuilder b(kind);
  b.AddSection({.name = ".text", .data = Bytes(0x200, 0x90), .characteristics = kCode});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess", 0x01A2), ByOrdinal(0x0010)}});
  b.AddImport({.name = "USER32.dll", .functions = {ByName("MessageBoxA", 0x0200)}, .withLookup = false});
  return b.Build();
}

TEST(Imports, RowsOfA32BitImage) {
  const PeImage image = ThreeImports(ImageKind::Pe32);
  ASSERT_EQ(image.importRva, 0x2000u);
  ASSERT_EQ(image.OffsetOf(0x2000), 0x400u);
  const std::vector<ImportRow> expected = {
      {"00002048", "00000448", "0000205C", "01A2", "ExitProcess"},
      {"0000204C", "0000044C", "80000010", "0010", "(按序数)"},
      {"00002054", "00000454", "0000206A", "0200", "MessageBoxA"},
  };
  EXPECT_EQ(Read(image.bytes), expected);
}

TEST(Imports, RowsOfA64BitImage) {
  // Eight-byte slots; the ordinal flag is bit 63 and the values show 16 digits.
  const PeImage image = ThreeImports(ImageKind::Pe32Plus);
  ASSERT_EQ(image.importRva, 0x2000u);
  ASSERT_EQ(image.OffsetOf(0x2000), 0x400u);
  const std::vector<ImportRow> expected = {
      {"00002054", "00000454", "000000000000207C", "01A2", "ExitProcess"},
      {"0000205C", "0000045C", "8000000000000010", "0010", "(按序数)"},
      {"0000206C", "0000046C", "000000000000208A", "0200", "MessageBoxA"},
  };
  EXPECT_EQ(Read(image.bytes), expected);
}

TEST(Imports, SlotValueIsShownAndNamesComeFromTheLookupArray) {
  // A bound import table: the slot holds an address, the lookup array the name.
  PeImage image = ThreeImports(ImageKind::Pe32);
  PutU32(image.bytes, image.OffsetOf(image.imports[0].firstThunkRva), 0x7C801234);
  const auto rows = Read(image.bytes);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (ImportRow{"00002048", "00000448", "7C801234", "01A2", "ExitProcess"}));
}

TEST(Imports, EveryDescriptorIsWalked) {
  PeBuilder b;
  b.AddSection({.name = ".text", .data = Bytes(0x10, 0xC3), .characteristics = kCode});
  std::vector<std::string> expected;
  for (int i = 1; i <= 12; ++i) {
    const std::string name = "F" + std::to_string(i);
    b.AddImport({.name = "DLL" + std::to_string(i) + ".dll", .functions = {ByName(name, static_cast<std::uint16_t>(i))}});
    expected.push_back(name);
  }
  const auto rows = Read(b.Build().bytes);
  EXPECT_EQ(Names(rows), expected);
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[11][3], "000C");
}

TEST(Imports, NoImportDirectoryOrOneOutsideTheFile) {
  PeBuilder b;
  b.AddSection({.name = ".text", .data = Bytes(0x10, 0xC3), .characteristics = kCode});
  EXPECT_TRUE(Read(b.Build().bytes).empty());

  PeImage image = ThreeImports(ImageKind::Pe32);
  PutU32(image.bytes, image.DataDirectoryOffset(kImportDirectory), 0x00100000);
  EXPECT_TRUE(Read(image.bytes).empty());
}

PeImage OneImport(ImageKind kind) {
  PeBuilder b(kind);
  b.AddSection({.name = ".text", .data = Bytes(0x10, 0xC3), .characteristics = kCode});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess", 7)}});
  return b.Build();
}

TEST(Imports, DescriptorsWithoutEndStopAtTheEndOfTheFile) {
  PeImage image = OneImport(ImageKind::Pe32);
  const auto single = Read(image.bytes);
  ASSERT_EQ(single.size(), 1u);
  // 50 copies of the descriptor, the last cut short, and no descriptor with Name 0.
  const std::uint64_t chain = image.bytes.size();
  ASSERT_LT(chain, 0x1000u);  // below every section: the RVA is its own offset
  const std::uint64_t descriptor = image.OffsetOf(image.importRva);
  const Bytes one(image.bytes.begin() + static_cast<std::ptrdiff_t>(descriptor),
                  image.bytes.begin() + static_cast<std::ptrdiff_t>(descriptor + 20));
  for (int i = 0; i < 50; ++i) PutBytes(image.bytes, image.bytes.size(), one);
  PutBytes(image.bytes, image.bytes.size(), Bytes(one.begin(), one.begin() + 7));
  PutU32(image.bytes, image.DataDirectoryOffset(kImportDirectory), static_cast<std::uint32_t>(chain));
  const auto rows = Read(image.bytes);
  ASSERT_EQ(rows.size(), 50u);
  for (const auto& row : rows) EXPECT_EQ(row, single[0]);
}

TEST(Imports, SlotsRunningToTheEndOfTheFile) {
  for (const auto kind : {ImageKind::Pe32, ImageKind::Pe32Plus}) {
    SCOPED_TRACE(kind == ImageKind::Pe32 ? "PE32" : "PE32+");
    PeImage image = OneImport(kind);
    const std::uint32_t hintName = image.imports[0].hintNameRvas[0];
    const std::uint32_t width = image.ThunkSize();
    // A FirstThunk array of 30 slots without the closing zero, then half a slot.
    const std::uint64_t slots = image.bytes.size();
    ASSERT_LT(slots, 0x1000u);
    for (int i = 0; i < 30; ++i) {
      if (width == 8) PutU64(image.bytes, slots + width * i, hintName);
      else PutU32(image.bytes, slots + width * i, hintName);
    }
    PutU16(image.bytes, image.bytes.size(), 0x1111);
    const std::uint64_t descriptor = image.OffsetOf(image.importRva);
    PutU32(image.bytes, descriptor + 0, 0);  // no lookup array
    PutU32(image.bytes, descriptor + 16, static_cast<std::uint32_t>(slots));
    const auto rows = Read(image.bytes);
    ASSERT_EQ(rows.size(), 30u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string at = HexText(slots + width * i, 8);
      EXPECT_EQ(rows[i], (ImportRow{at, at, HexText(hintName, width * 2), "0007", "ExitProcess"}));
    }
  }
}

// A slot, lookup value or hint/name that cannot be read ends the walk of its
// descriptor; the following descriptors are still walked.
TEST(Imports, UnreadableEntriesEndTheirDescriptor) {
  struct Case {
    const char* what;
    std::function<void(PeImage&)> patch;
    std::vector<std::string> names;
  };
  // Sets the second function's lookup value and slot of KERNEL32 to `value`.
  const auto second = [](PeImage& image, std::uint32_t value) {
    PutU32(image.bytes, image.OffsetOf(image.imports[0].lookupRva) + 4, value);
    PutU32(image.bytes, image.OffsetOf(image.imports[0].firstThunkRva) + 4, value);
  };
  const Case cases[] = {
      {"intact", [](PeImage&) {}, {"ExitProcess", "Sleep", "GetTickCount", "MessageBoxA"}},
      {"hint/name outside the file", [&](PeImage& image) { second(image, 0x00F00000); },
       {"ExitProcess", "MessageBoxA"}},
      {"name without its zero byte at the end of the file",
       [&](PeImage& image) {
         const auto at = static_cast<std::uint32_t>(image.bytes.size());
         PutText(image.bytes, at, std::string_view("\x05\x00NoEnd", 7));
         second(image, at);
       },
       {"ExitProcess", "MessageBoxA"}},
      {"hint cut by the end of the file",
       [&](PeImage& image) {
         const auto at = static_cast<std::uint32_t>(image.bytes.size());
         PutU8(image.bytes, at, 0x05);
         second(image, at);
       },
       {"ExitProcess", "MessageBoxA"}},
      {"lookup array outside the file",
       [](PeImage& image) { PutU32(image.bytes, image.OffsetOf(image.importRva), 0x00F00000); },
       {"MessageBoxA"}},
      {"FirstThunk outside the file",
       [](PeImage& image) { PutU32(image.bytes, image.OffsetOf(image.importRva) + 16, 0x00F00000); },
       {"MessageBoxA"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PeBuilder b;
    b.AddSection({.name = ".text", .data = Bytes(0x10, 0xC3), .characteristics = kCode});
    b.AddImport({.name = "KERNEL32.dll",
                 .functions = {ByName("ExitProcess"), ByName("Sleep"), ByName("GetTickCount")}});
    b.AddImport({.name = "USER32.dll", .functions = {ByName("MessageBoxA")}});
    PeImage image = b.Build();
    ASSERT_LT(image.bytes.size(), 0x1000u);
    c.patch(image);
    EXPECT_EQ(Names(Read(image.bytes)), c.names);
  }
}

}  // namespace
}  // namespace tessor
