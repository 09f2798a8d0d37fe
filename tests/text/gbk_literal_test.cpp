// The system's texts are GBK: narrow literals in the sources (UTF-8) must reach the
// program as code page 936 bytes.
#include <gtest/gtest.h>

#include <string_view>

TEST(GbkLiterals, NarrowLiteralsAreCodePage936) {
  EXPECT_EQ(std::string_view("分析中"), std::string_view("\xB7\xD6\xCE\xF6\xD6\xD0"));
  EXPECT_EQ(std::string_view("pe信息"), std::string_view("pe\xD0\xC5\xCF\xA2"));
  EXPECT_EQ(std::string_view("　"), std::string_view("\xA1\xA1"));
  EXPECT_EQ(sizeof("一"), 3u);
}
