#include "pe/embedded_images.h"

#include <functional>

#include <gtest/gtest.h>

#include "support/pe_builder.h"
#include "support/temp_dir.h"

namespace tessor {
namespace {

using namespace tessor::testing;

using Row = std::array<std::string, 6>;

// A compact image of one section: 384 bytes for PE32 (416 for PE32+), its size on disk
// being the end of that section's raw data.
Bytes SmallImage(ImageKind kind = ImageKind::Pe32, std::uint16_t subsystem = 3,
                 std::uint16_t characteristics = kFileExecutable, std::uint32_t e_lfanew = 0x40) {
  PeBuilder b(kind);
  b.Headers().e_lfanew = e_lfanew;
  b.Headers().fileAlignment = 0x20;
  b.Headers().subsystem = subsystem;
  b.Headers().characteristics = characteristics;
  b.AddSection({.name = ".text", .data = Bytes(0x20, 0), .characteristics = kCode});
  return b.Build().bytes;
}

// A PE file without sections whose appended bytes start at offset 512.
PeBuilder Host() { return PeBuilder(); }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<EmbeddedImage> Scan(const Bytes& bytes) { return ScanEmbeddedImages(ByteView(bytes)); }

TEST(EmbeddedImages, AnImageAppendedToAProgram) {
  PeBuilder host;
  host.AddSection({.name = ".text", .data = Bytes(0x200, 0x90), .characteristics = kCode});
  PeImage built = host.Build();
  Bytes file = built.bytes;
  file.resize(0x2000, 0);
  const Bytes image = SmallImage();
  ASSERT_EQ(image.size(), 384u);
  PutBytes(file, 0x2000, image);
  PutBytes(file, file.size(), Bytes(0x100, 0xEE));

  const auto images = Scan(file);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].offset, 0x2000u);
  EXPECT_EQ(images[0].length, 384u);
  EXPECT_EQ(images[0].row, (Row{"PE8193", "8193", "384", "4C 01", "Windows控制台", ".exe"}));
}

TEST(EmbeddedImages, KindAndFileName) {
  struct Case {
    std::uint16_t subsystem;
    std::uint16_t characteristics;
    const char* kind;
    const char* suffix;
    const char* fileName;
  };
  const Case cases[] = {
      {1, kFileExecutable, "驱动程序", ".sys", "PE513.sys"},
      {2, kFileExecutable, "Windows图形界面", ".exe ，.dll", "PE513.exe"},
      {2, kFileExecutable | kFileDll, "Windows图形界面", ".exe ，.dll", "PE513.dll"},
      {3, kFileExecutable, "Windows控制台", ".exe", "PE513.exe"},
      {3, kFileExecutable | kFileDll, "Windows控制台", ".exe", "PE513.dll"},
      {10, kFileExecutable, "", "", "PE513.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subsystem * 0x10000 + c.characteristics);
    const Bytes file = Concat({Host().Build().bytes, SmallImage(ImageKind::Pe32, c.subsystem, c.characteristics)});
    const auto images = Scan(file);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].row[0], "PE513");
    EXPECT_EQ(images[0].row[4], c.kind);
    EXPECT_EQ(images[0].row[5], c.suffix);
    EXPECT_EQ(ExportFileName(images[0]), c.fileName);
  }
}

TEST(EmbeddedImages, MachineBytesOfA64BitImage) {
  const Bytes file = Concat({Host().Build().bytes, SmallImage(ImageKind::Pe32Plus, 2)});
  const auto images = Scan(file);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].row, (Row{"PE513", "513", "416", "64 86", "Windows图形界面", ".exe ，.dll"}));
}

TEST(EmbeddedImages, ImagesCloseTogetherAndEarlyInTheFileAreAllFound) {
  // Images at 512 and 896 (both in the first 1000 bytes, 384 apart), then a stray "MZ"
  // with ten bytes, then an image right after it. The file's own header is no image.
  const Bytes stray = ToBytes("MZ stray..");
  const Bytes file = Concat({Host().Build().bytes, SmallImage(), SmallImage(ImageKind::Pe32Plus), stray,
                             SmallImage(ImageKind::Pe32, 1), Bytes(16, 0)});
  const auto images = Scan(file);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0].row, (Row{"PE513", "513", "384", "4C 01", "Windows控制台", ".exe"}));
  EXPECT_EQ(images[1].row, (Row{"PE897", "897", "416", "64 86", "Windows控制台", ".exe"}));
  EXPECT_EQ(images[2].row, (Row{"PE1323", "1323", "384", "4C 01", "驱动程序", ".sys"}));
  EXPECT_TRUE(Scan(Host().Build().bytes).empty());
}

TEST(EmbeddedImages, CandidatesThatAreNoImage) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> patch;  // on the image, before it is appended
    bool found;
  };
  const Case cases[] = {
      {"intact", [](Bytes&) {}, true},
      {"e_lfanew past the end of the file", [](Bytes& b) { PutU32(b, 60, 0x00100000); }, false},
      {"e_lfanew with upper bytes set", [](Bytes& b) { PutU32(b, 60, 0x01000040); }, false},
      {"negative e_lfanew", [](Bytes& b) { PutU32(b, 60, 0xFFFFFF40); }, false},
      {"signature PE\\1\\0", [](Bytes& b) { PutU8(b, 0x42, 1); }, false},
      {"no signature", [](Bytes& b) { PutText(b, 0x40, "PX"); }, false},
      {"no sections", [](Bytes& b) { PutU16(b, 0x46, 0); }, false},
      {"97 sections", [](Bytes& b) { PutU16(b, 0x46, 97); }, false},
      {"96 sections", [](Bytes& b) { PutU16(b, 0x46, 96); }, true},
      {"section table cut by the end of the file", [](Bytes& b) { Truncate(b, 0x138 + 20); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes image = SmallImage();
    c.patch(image);
    // 96 section headers need 3840 bytes: pad the file unless the case cuts it.
    const bool cut = image.size() < 384;
    const Bytes file = Concat({Host().Build().bytes, image, cut ? Bytes{} : Bytes(4000, 0)});
    const auto images = Scan(file);
    ASSERT_EQ(images.size(), c.found ? 1u : 0u);
    if (c.found) {
      EXPECT_EQ(images[0].row[2], "384");
    }
  }
}

TEST(EmbeddedImages, HeadersFarFromTheDosHeaderAreFound) {
  const Bytes image = SmallImage(ImageKind::Pe32, 3, kFileExecutable, 0x100);
  const auto images = Scan(Concat({Host().Build().bytes, image}));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].length, image.size());
}

TEST(EmbeddedImages, SizeIsClampedToTheEndOfTheFile) {
  Bytes file = Concat({Host().Build().bytes, SmallImage()});
  Truncate(file, file.size() - 16);  // into the raw data of the image's one section
  const auto images = Scan(file);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].length, 368u);
  EXPECT_EQ(images[0].row[2], "368");
}

TEST(EmbeddedImages, ExportWritesOneFilePerImage) {
  const Bytes exe = SmallImage(ImageKind::Pe32, 3);
  const Bytes dll = SmallImage(ImageKind::Pe32Plus, 2, kFileExecutable | kFileDll);
  const Bytes sys = SmallImage(ImageKind::Pe32, 1);
  const Bytes file = Concat({Host().Build().bytes, exe, dll, sys, Bytes(32, 0xAB)});
  const auto images = Scan(file);
  ASSERT_EQ(images.size(), 3u);

  TempDir dir;
  const ExportResult result = ExportAllImages(images, ByteView(file), dir.path());
  EXPECT_EQ(result.written, 3u);
  EXPECT_EQ(result.firstFailure, "");
  EXPECT_EQ(ReadAll(dir.path() / "PE513.exe"), exe);
  EXPECT_EQ(ReadAll(dir.path() / "PE897.dll"), dll);
  EXPECT_EQ(ReadAll(dir.path() / "PE1313.sys"), sys);

  const ExportResult missing = ExportAllImages(images, ByteView(file), dir.path() / "no" / "such" / "folder");
  EXPECT_EQ(missing.written, 0u);
  EXPECT_NE(missing.firstFailure, "");
}

}  // namespace
}  // namespace tessor
