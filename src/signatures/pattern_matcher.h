// Wildcard byte patterns: the reference search of one pattern, and a matcher that finds
// the first match of every pattern of a large set in a single pass over the data.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "pe/file_bytes.h"

namespace tessor {

// The 1-based position of the first match of the pattern at or after `start`, or -1.
// The pattern is two-character tokens once ASCII and full-width blanks are removed:
// "??" and "**" match any byte, any other token the byte HexToInt(token) mod 256. An odd
// number of characters matches nothing.
std::int32_t FindPattern(ByteView data, std::string_view pattern, std::int32_t start);

// A pattern turned into byte values and a mask of the fixed bytes.
struct CompiledPattern {
  std::vector<std::uint8_t> value;
  std::vector<std::uint8_t> fixed;  // 1 for a fixed byte, 0 for a wildcard
  bool usable = false;  // false for an odd, empty or all-wildcard pattern: it never matches
};

CompiledPattern CompilePattern(std::string_view pattern);

// A pattern of exact bytes.
CompiledPattern ExactPattern(std::vector<std::uint8_t> bytes);

// Finds, for every pattern of a set, its first match that starts at or after a given
// 0-based offset. Each pattern is anchored on a short run of its fixed bytes; one scan
// over the data looks the runs up and checks the whole pattern only where a run occurs.
class PatternSet {
 public:
  explicit PatternSet(std::vector<CompiledPattern> patterns);
  PatternSet(const PatternSet&) = delete;
  PatternSet& operator=(const PatternSet&) = delete;
  PatternSet(PatternSet&&) noexcept;
  PatternSet& operator=(PatternSet&&) noexcept;
  ~PatternSet();

  std::size_t size() const;

  // For each pattern, in the order given: the 0-based offset of its first match at or
  // after `from`, or -1.
  std::vector<std::int64_t> FirstMatches(ByteView data, std::uint64_t from = 0) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessor
