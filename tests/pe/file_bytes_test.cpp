#include "pe/file_bytes.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tessor {
namespace {

using testing::TempDir;

TEST(ByteView, ReadsPastTheEndYieldOnlyThePresentBytes) {
  const std::vector<std::uint8_t> data = {0x4D, 0x5A, 0x90, 0x00, 0x03};
  const ByteView view(data);
  EXPECT_EQ(view.U16(0), 0x5A4D);
  EXPECT_EQ(view.U32(1), 0x0300905Au);
  EXPECT_EQ(view.U8(4), 0x03);
  EXPECT_EQ(view.U8(5), 0x00);
  EXPECT_EQ(view.U32(3), 0x0300u);       // two bytes present, two missing
  EXPECT_EQ(view.U32(5), 0u);            // at the end
  EXPECT_EQ(view.U32(UINT64_MAX), 0u);   // far past it, no wrap
  EXPECT_EQ(view.U64(0), 0x0300905A4Dull);
  EXPECT_EQ(view.Slice(3, 10).size(), 2u);
  EXPECT_TRUE(view.Slice(5, 1).empty());
  EXPECT_TRUE(view.Slice(UINT64_MAX - 1, 4).empty());
  EXPECT_TRUE(view.Holds(0, 5));
  EXPECT_TRUE(view.Holds(5, 0));
  EXPECT_FALSE(view.Holds(4, 2));
  EXPECT_FALSE(view.Holds(1, UINT64_MAX));
}

TEST(FileBytes, ReadsTheWholeFile) {
  TempDir dir;
  std::vector<std::uint8_t> data(3 * 1024 * 1024 + 17);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  std::string reason;
  const auto file = ReadFileBytes(dir.Write("big.bin", data), reason);
  ASSERT_NE(file, nullptr) << reason;
  ASSERT_EQ(file->size(), data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), file->View().span().begin()));

  const auto empty = ReadFileBytes(dir.Write("empty.bin", std::vector<std::uint8_t>{}), reason);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->size(), 0u);
}

TEST(FileBytes, UnreadableFilesGiveAReason) {
  TempDir dir;
  std::string reason;
  EXPECT_EQ(ReadFileBytes(dir.path() / "missing.exe", reason), nullptr);
  EXPECT_FALSE(reason.empty());
  reason.clear();
  EXPECT_EQ(ReadFileBytes(dir.path(), reason), nullptr);
  EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace tessor
