#include "text/hex.h"

#include <gtest/gtest.h>

namespace tessor {
namespace {

using B = Bytes;

TEST(Hex, ReadInt32LE) {
  struct Case {
    B bytes;
    std::int32_t expected;
  };
  const Case cases[] = {
      {{}, 0},
      {{0x4D}, 0x4D},
      {{0x4C, 0x01}, 0x014C},
      {{0xFF, 0xFF}, 0xFFFF},
      {{0x50, 0x45, 0x00}, 0x4550},
      {{0x78, 0x56, 0x34, 0x12}, 0x12345678},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1},
      {{0x00, 0x00, 0x00, 0x80, 0x99}, INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadInt32LE(c.bytes), c.expected) << c.bytes.size();
}

TEST(Hex, HexTextToBytes) {
  struct Case {
    std::string text;
    B expected;
  };
  const Case cases[] = {
      {"55 50 58 21", {0x55, 0x50, 0x58, 0x21}},
      {"6486", {0x64, 0x86}},
      {"ABC", {0xAB}},
      {"", {}},
      {"\xA1\xA1" "4D\xA1\xA1" "5A", {0x4D, 0x5A}},
      // Tabs are not blanks: "\t4" pairs the tab (-2) with 4.
      {"\t4", {static_cast<std::uint8_t>(-2 * 16 + 4)}},
      // Lower case is not recognised: 'f' counts as -2.
      {"ff", {static_cast<std::uint8_t>(-2 * 16 - 2)}},
      {"G0", {static_cast<std::uint8_t>(-32)}},
      // A full-width blank is removed only where it stands as a character.
      {"\xB0\xA1\xA1\xA1", {static_cast<std::uint8_t>(-34)}},
  };
  for (const auto& c : cases) EXPECT_EQ(HexTextToBytes(c.text), c.expected) << c.text;
}

TEST(Hex, HexTextToInteger) {
  struct Case {
    std::string text;
    std::int64_t expected;
  };
  const Case cases[] = {{"", 0},        {"0", 0},          {"ff", 255},  {"FF", 255},
                        {"1G", 0},      {"G1", 0},         {"1 2", 0},   {"00004550", 0x4550},
                        {"7FFFFFFFFFFFFFFF", INT64_MAX}, {"FFFFFFFFFFFFFFFF", -1}};
  for (const auto& c : cases) EXPECT_EQ(HexTextToInteger(c.text), c.expected) << c.text;
}

TEST(Hex, HexTextToNumberBytes) {
  struct Case {
    std::string text;
    B expected;
  };
  const Case cases[] = {
      {"00004550", {0x50, 0x45, 0x00, 0x00}},
      {"0102", {0x02, 0x01}},
      {"4D", {0x4D}},
      {"123", {0x23, 0x01, 0, 0, 0, 0, 0, 0}},
      {"", {0, 0, 0, 0, 0, 0, 0, 0}},
      {"zz", {0}},
  };
  for (const auto& c : cases) EXPECT_EQ(HexTextToNumberBytes(c.text), c.expected) << c.text;
}

TEST(Hex, ByteTexts) {
  EXPECT_EQ(BytesToHexText(B{0x50, 0x45}), "50 45");
  EXPECT_EQ(BytesToHexText(B{0x0A}), "0A");
  EXPECT_EQ(BytesToHexText(B{}), "");
  EXPECT_EQ(ByteToHex(0x0A), "0A");
  EXPECT_EQ(ByteToHex(0xFF), "FF");
  EXPECT_EQ(ByteToHex(0x00), "00");
  EXPECT_EQ(BytesToBraceText(B{0x55, 0x50, 0x58, 0x21, 0x0D, 0x09}), "{85,80,88,33,13,9}");
  EXPECT_EQ(BytesToBraceText(B{0}), "{0}");
  EXPECT_EQ(BytesToBraceText(B{}), "{ }");
}

TEST(Hex, FixedAndFreeWidth) {
  EXPECT_EQ(Hex8(4198400), "00401000");
  EXPECT_EQ(Hex8(0), "00000000");
  EXPECT_EQ(Hex8(0xFFFFFFFF), "FFFFFFFF");
  EXPECT_EQ(HexDigits(0x14C, 4), "014C");
  EXPECT_EQ(HexDigits(0x1234, 2), "34");
  EXPECT_EQ(IntToHex(4198400), "401000");
  EXPECT_EQ(IntToHex(0), "0");
  EXPECT_EQ(IntToHex(-1), "FFFFFFFF");
  EXPECT_EQ(IntToHex(0x1'0000'0010LL), "10");
  EXPECT_EQ(IntToHex64(0x140001000ULL), "140001000");
  EXPECT_EQ(IntToHex64(0), "0");
  EXPECT_EQ(IntToHex64(UINT64_MAX), "FFFFFFFFFFFFFFFF");
}

TEST(Hex, HexToInt) {
  struct Case {
    std::string text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"1000", 4096},
      {"ff", 255},
      {"FF", 255},
      {"", 0},
      {"G1", -31},
      {"G", -2},
      {"MOV00405000", 0x405000},
      {"FFFFFFFF", -1},
      {"100000000", 0},
      {"123456789", 0x23456789},
      // Letters far to the left vanish, however long the text.
      {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx00000010", 16},
      {"-1", -2 * 16 + 1},
      {"\xB7\xD6", -2 * 16 - 2},
  };
  for (const auto& c : cases) EXPECT_EQ(HexToInt(c.text), c.expected) << c.text;
}

TEST(Hex, HexTextToValue) {
  struct Case {
    std::string text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"0000A000", 40960}, {"00002000", 8192}, {"0000F000", 61440}, {"000G", 15},
      {"e", 14},           {"f", 15},          {" ", 15},           {"", 0},
      {"FFFFFFFF", -1},    {"100000000", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(HexTextToValue(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace tessor
