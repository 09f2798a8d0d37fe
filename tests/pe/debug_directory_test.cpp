#include "pe/debug_directory.h"

#include <functional>

#include <gtest/gtest.h>

#include "support/pe_builder.h"

namespace tessor {
namespace {

using namespace tessor::testing;

InfoRows Read(const Bytes& bytes) {
  const ByteView view(bytes);
  return ReadDebugDirectory(ReadPeHeaders(view), view);
}

PeImage WithTwoEntries() {
  PeBuilder b;
  b.AddSection({.name = ".text", .data = Bytes(0x10, 0xC3), .characteristics = kCode});
  b.AddDebugEntry({.characteristics = 0,
                   .timeDateStamp = 0x5E000000,
                   .majorVersion = 0,
                   .minorVersion = 3,
                   .type = 2,
                   .sizeOfData = 0x40,
                   .addressOfRawData = 0x3100,
                   .pointerToRawData = 0x900});
  b.AddDebugEntry({.characteristics = 0x11, .type = 13});
  return b.Build();
}

TEST(DebugDirectory, FirstEntryOnlyEveryValueInEightDigits) {
  const InfoRows expected = {
      {"调试表特性:", "00000000"},     {"调试表时间戳:", "5E000000"},   {"调试表主版本:", "00000000"},
      {"调试表次版本:", "00000003"},   {"调试表类型:", "00000002"},     {"调试表数据大小:", "00000040"},
      {"调试表原始地址:", "00003100"}, {"调试表Ptr:", "00000900"},
  };
  EXPECT_EQ(Read(WithTwoEntries().bytes), expected);
}

TEST(DebugDirectory, NoRowsWithoutAWholeEntry) {
  struct Case {
    const char* what;
    std::function<void(PeImage&)> patch;
  };
  const Case cases[] = {
      {"Size 0", [](PeImage& image) { PutU32(image.bytes, image.DataDirectoryOffset(6) + 4, 0); }},
      {"Size negative", [](PeImage& image) { PutU32(image.bytes, image.DataDirectoryOffset(6) + 4, 0xFFFFFFE4); }},
      {"directory outside the file",
       [](PeImage& image) { PutU32(image.bytes, image.DataDirectoryOffset(6), 0x00F00000); }},
      {"entry cut by the end of the file",
       [](PeImage& image) {
         const auto at = static_cast<std::uint32_t>(image.bytes.size());
         PutBytes(image.bytes, at, Bytes(27, 1));
         PutU32(image.bytes, image.DataDirectoryOffset(6), at);  // below every section: its own offset
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PeImage image = WithTwoEntries();
    ASSERT_LT(image.bytes.size(), 0x1000u);
    c.patch(image);
    EXPECT_TRUE(Read(image.bytes).empty());
  }
}

}  // namespace
}  // namespace tessor
