#include "cli/encoding.h"

#include <gtest/gtest.h>

namespace tessor {
namespace {

std::string U8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

TEST(Encoding, GbkToUtf8) {
  struct Case {
    std::string gbk;
    std::string utf8;
  };
  const Case cases[] = {
      {"", ""},
      {"PUSH EBP\r\n", "PUSH EBP\r\n"},
      {"分析中", U8(u8"分析中")},
      {"\xA1\xA1", U8(u8"\u3000")},
      {"\x80", U8(u8"\u20AC")},
      // Bytes that start no GBK character become U+FFFD, one each, and the rest goes on.
      {"\x81", U8(u8"\uFFFD")},
      {"a\x81 b", U8(u8"a\uFFFD b")},
      {"\xFF\xFF", U8(u8"\uFFFD\uFFFD")},
      {"\x81\x7F" "A", U8(u8"\uFFFD\u007FA")},
      {"\xB7\xD6\xB7", U8(u8"分\uFFFD")},
  };
  for (const auto& c : cases) EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8) << c.gbk;
}

TEST(Encoding, Utf8ToGbk) {
  EXPECT_EQ(Utf8ToGbk(U8(u8"整个.text")), "整个.text");
  EXPECT_EQ(Utf8ToGbk("2000"), "2000");
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk(U8(u8"伪代码分析长度:"))), U8(u8"伪代码分析长度:"));
}

}  // namespace
}  // namespace tessor
