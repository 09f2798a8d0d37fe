#include "signatures/markers.h"

#include <gtest/gtest.h>

#include "text/hex.h"

namespace tessor {
namespace {

using Rows = std::vector<std::array<std::string, 2>>;
using Data = std::vector<std::uint8_t>;

void Plant(Data& data, std::size_t at, const Data& bytes) { std::copy(bytes.begin(), bytes.end(), data.begin() + at); }

TEST(Markers, TheTables) {
  ASSERT_EQ(HeadMarkers().size(), 2u);
  ASSERT_EQ(WholeFileMarkers().size(), 17u);
  EXPECT_EQ(BytesToBraceText(HeadMarkers()[0].pattern), "{85,80,88,33,13,9}");
  EXPECT_STREQ(WholeFileMarkers()[16].label, "穿山甲功能型加密DEMO标志尾:");
  // Every whole-file marker is a short jump over the rest of it.
  for (const auto& m : WholeFileMarkers()) {
    ASSERT_GE(m.pattern.size(), 2u);
    EXPECT_EQ(m.pattern[0], 0xEB);
    EXPECT_EQ(m.pattern[1] + 2u, m.pattern.size()) << m.label;
  }
}

TEST(Markers, EveryMarkerPlantedOnceAndTwice) {
  for (const int copies : {1, 2}) {
    Data data(100000, 0x90);
    Plant(data, 10, HeadMarkers()[0].pattern);
    Plant(data, 4995, HeadMarkers()[1].pattern);  // straddles the reach: not found
    std::size_t at = 6000;
    for (int c = 0; c < copies; ++c)
      for (const auto& m : WholeFileMarkers()) {
        Plant(data, at, m.pattern);
        at += 40;
      }
    Rows expected = {{"UPX executable packer 3.3.0.0:", "{85,80,88,33,13,9}"}};
    for (const auto& m : WholeFileMarkers()) expected.push_back({m.label, BytesToBraceText(m.pattern)});
    EXPECT_EQ(ScanMarkers(ByteView(data)), expected) << copies;
  }
}

TEST(Markers, ReachAndExactBytes) {
  Data data(8000, 0);
  Plant(data, 5000, HeadMarkers()[0].pattern);  // beyond the first 5000 bytes
  // The VMProtect begin tag without its zero byte.
  Data tag = WholeFileMarkers()[9].pattern;
  tag.at(tag.size() - 1) = 0x20;
  Plant(data, 100, tag);
  EXPECT_TRUE(ScanMarkers(ByteView(data)).empty());
  Plant(data, 4994, HeadMarkers()[0].pattern);  // ends at byte 5000
  EXPECT_EQ(ScanMarkers(ByteView(data)).size(), 1u);
  EXPECT_TRUE(ScanMarkers(ByteView()).empty());
}

}  // namespace
}  // namespace tessor
