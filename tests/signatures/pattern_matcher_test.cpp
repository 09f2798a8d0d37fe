#include "signatures/pattern_matcher.h"

#include <gtest/gtest.h>

#include <random>

#include "text/hex.h"

namespace tessor {
namespace {

using Data = std::vector<std::uint8_t>;

TEST(FindPattern, TokensBlanksAndWildcards) {
  const Data data = {0x00, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x55, 0x8B, 0xEC};
  const ByteView view(data);
  struct Case {
    const char* pattern;
    std::int32_t start, expected;
  };
  const Case cases[] = {
      {"55 8B EC", 1, 2},
      {"558BEC", 1, 2},
      {"55\xA1\xA1" "8B\xA1\xA1" "EC", 1, 2},  // full-width blanks
      {"558bec", 1, 2},                     // lower-case digits
      {"55 8B EC", 3, 8},
      {"55 8B EC", 9, -1},
      {"?? 8B 45", 1, 4},
      {"** 8B 45", 1, 4},
      {"8B ?? 08", 1, 5},
      {"55 8B E", 1, -1},  // five characters
      {"EC", 10, 10},
      {"EC ??", 10, -1},   // the match must lie wholly inside the data
      {"00 55 8B EC 8B 45 08 55 8B EC 00", 1, -1},
      {"GG", 1, -1},       // G counts -2: the byte 0xDE
      {"", 1, 1},          // no tokens: the first candidate matches
      {"?? ??", 1, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(FindPattern(view, c.pattern, c.start), c.expected) << c.pattern << " @" << c.start;
  const Data de = {0x01, 0xDE};
  EXPECT_EQ(FindPattern(ByteView(de), "GG", 1), 2);
}

// Patterns of 1 to 40 tokens drawn from the data itself (so most occur) or random,
// with wildcards first, last and anywhere.
std::vector<std::string> GeneratePatterns(const Data& data, std::mt19937& rng, std::size_t count) {
  std::vector<std::string> patterns;
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t tokens = 1 + pick(40);
    const bool from_data = pick(4) != 0;
    const std::size_t at = pick(data.size() - tokens);
    std::string p;
    for (std::size_t t = 0; t < tokens; ++t) {
      const bool wild = (t == 0 && pick(5) == 0) || (t + 1 == tokens && pick(5) == 0) || pick(8) == 0;
      if (wild) p += pick(2) ? "??" : "**";
      else p += ByteToHex(from_data ? data[at + t] : static_cast<std::uint8_t>(pick(256)));
      if (pick(3) == 0) p += ' ';
    }
    patterns.push_back(p);
    if (pick(10) == 0) patterns.push_back(p);  // repeated entries
  }
  // Degenerate ones never match.
  patterns.insert(patterns.end(), {"", "??", "?? ** ??", "55 8", "  "});
  return patterns;
}

void ExpectSameAsReference(const Data& data, const std::vector<std::string>& patterns, std::uint64_t from) {
  std::vector<CompiledPattern> compiled;
  for (const auto& p : patterns) compiled.push_back(CompilePattern(p));
  const PatternSet set(std::move(compiled));
  const auto found = set.FirstMatches(ByteView(data), from);
  ASSERT_EQ(found.size(), patterns.size());
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    const CompiledPattern c = CompilePattern(patterns[i]);
    const std::int64_t expected =
        c.usable ? std::int64_t{FindPattern(ByteView(data), patterns[i], static_cast<std::int32_t>(from + 1))} - 1 : -1;
    EXPECT_EQ(found[i], expected < 0 ? -1 : expected) << '"' << patterns[i] << '"';
  }
}

TEST(PatternSet, FindsWhatTheReferenceFindsOnRandomData) {
  std::mt19937 rng(20261211);
  Data data(200000);
  // Few distinct bytes, so short patterns recur and overlapping matches are common.
  for (auto& b : data) b = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 7)(rng) * 0x25);
  ExpectSameAsReference(data, GeneratePatterns(data, rng, 400), 500);
}

TEST(PatternSet, FindsWhatTheReferenceFindsOnCodeLikeData) {
  std::mt19937 rng(7);
  Data data;
  const Data prologue = {0x55, 0x8B, 0xEC, 0x83, 0xEC};
  while (data.size() < 300000) {
    data.insert(data.end(), prologue.begin(), prologue.end());
    const std::size_t body = std::uniform_int_distribution<std::size_t>(4, 200)(rng);
    for (std::size_t i = 0; i < body; ++i) data.push_back(static_cast<std::uint8_t>(rng()));
    data.push_back(0xC3);
    data.insert(data.end(), 1 + rng() % 12, 0xCC);
  }
  auto patterns = GeneratePatterns(data, rng, 600);
  // Patterns that straddle the 500-byte boundary: their only earlier match is cut off.
  for (std::size_t start = 480; start < 510; start += 3) {
    std::string p;
    for (std::size_t t = 0; t < 24; ++t) p += ByteToHex(data[start + t]);
    patterns.push_back(p);
  }
  for (std::uint64_t from : {0ull, 500ull, 299000ull}) ExpectSameAsReference(data, patterns, from);
}

TEST(PatternSet, ExactPatternsAndEdges) {
  const Data data = {1, 2, 3, 1, 2, 3, 4};
  std::vector<CompiledPattern> compiled;
  compiled.push_back(ExactPattern({1, 2, 3}));
  compiled.push_back(ExactPattern({3, 4}));
  compiled.push_back(ExactPattern({4, 5}));     // runs past the end
  compiled.push_back(ExactPattern({}));         // empty: never
  compiled.push_back(ExactPattern({2}));
  const PatternSet set(std::move(compiled));
  EXPECT_EQ(set.FirstMatches(ByteView(data)), (std::vector<std::int64_t>{0, 5, -1, -1, 1}));
  EXPECT_EQ(set.FirstMatches(ByteView(data), 1), (std::vector<std::int64_t>{3, 5, -1, -1, 1}));
  EXPECT_EQ(set.FirstMatches(ByteView(data), 7), (std::vector<std::int64_t>{-1, -1, -1, -1, -1}));
  EXPECT_EQ(set.FirstMatches(ByteView()), (std::vector<std::int64_t>{-1, -1, -1, -1, -1}));
}

}  // namespace
}  // namespace tessor
