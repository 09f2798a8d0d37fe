#include "signatures/pattern_matcher.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "text/hex.h"
#include "text/text_ops.h"

namespace tessor {

namespace {

// The pattern text with every ASCII and full-width blank removed.
std::string CompactPattern(std::string_view pattern) {
  std::string compact;
  compact.reserve(pattern.size());
  for (std::size_t at = 0; at < pattern.size();) {
    const std::size_t n = CharLength(pattern, at);
    const std::string_view ch = pattern.substr(at, n);
    if (ch != " " && ch != "\xA1\xA1") compact.append(ch);
    at += n;
  }
  return compact;
}

bool IsWildcard(std::string_view token) { return token == "??" || token == "**"; }

// How often a byte turns up in code and data, roughly: anchors avoid the common ones so
// that few places in a file need the whole pattern checked.
int Commonness(std::uint8_t b) {
  switch (b) {
    case 0x00: return 10;
    case 0xFF: return 7;
    case 0xCC: return 6;
    case 0x90: case 0x8B: return 5;
    case 0x55: case 0x89: case 0xEC: case 0xE8: case 0x83: case 0x48: return 4;
    case 0x45: case 0xC4: case 0x24: case 0x04: case 0x01: case 0x08: case 0xC3: case 0x5D: case 0x0F: return 3;
    default: return 1;
  }
}

// The key of a run of 1 to 4 bytes: its bytes in little-endian order.
std::uint32_t Load(const std::uint8_t* p, std::size_t length) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < length; ++i) v |= std::uint32_t{p[i]} << (8 * i);
  return v;
}

// The same key as Load, for a length known at compile time: one load for four bytes
// (x86 is little-endian), single-byte loads below that (a partial copy into a wider
// value stalls the load that reads it back).
template <std::size_t length>
std::uint32_t LoadFixed(const std::uint8_t* p) {
  if constexpr (length == 4) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  } else {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < length; ++i) v |= std::uint32_t{p[i]} << (8 * i);
    return v;
  }
}

}  // namespace

std::int32_t FindPattern(ByteView data, std::string_view pattern, std::int32_t start) {
  const std::string text = CompactPattern(pattern);
  if (text.size() % 2 != 0) return -1;
  const std::int64_t n = static_cast<std::int64_t>(text.size() / 2);
  const std::int64_t size = static_cast<std::int64_t>(data.size());
  const std::int64_t first = start < 1 ? 1 : start;
  const std::int64_t last = size - n + 1;
  if (first > last) return -1;

  // (position in the pattern, value) of every fixed token, made once per search.
  std::vector<std::pair<std::int64_t, std::uint8_t>> fixed;
  for (std::int64_t j = 0; j < n; ++j) {
    const std::string_view token(text.data() + 2 * j, 2);
    if (!IsWildcard(token)) fixed.emplace_back(j, static_cast<std::uint8_t>(HexToInt(token) & 0xFF));
  }
  const auto bytes = data.span();
  if (fixed.empty()) return static_cast<std::int32_t>(first);
  const auto [lead_at, lead] = fixed.front();
  for (std::int64_t x = first; x <= last;) {
    // A plain byte scan for the first fixed token, then the other tokens where it is.
    const std::uint8_t* from = bytes.data() + (x - 1 + lead_at);
    const std::uint8_t* end = bytes.data() + (last - 1 + lead_at) + 1;
    const void* hit = std::memchr(from, lead, static_cast<std::size_t>(end - from));
    if (!hit) return -1;
    x = (static_cast<const std::uint8_t*>(hit) - bytes.data()) - lead_at + 1;
    bool all = true;
    for (const auto& [j, v] : fixed) {
      if (bytes[static_cast<std::size_t>(x - 1 + j)] != v) {
        all = false;
        break;
      }
    }
    if (all) return static_cast<std::int32_t>(x);
    ++x;
  }
  return -1;
}

CompiledPattern CompilePattern(std::string_view pattern) {
  CompiledPattern c;
  const std::string text = CompactPattern(pattern);
  if (text.size() % 2 != 0) return c;
  const std::size_t n = text.size() / 2;
  c.value.resize(n);
  c.fixed.resize(n);
  for (std::size_t j = 0; j < n; ++j) {
    const std::string_view token(text.data() + 2 * j, 2);
    if (IsWildcard(token)) continue;
    c.value[j] = static_cast<std::uint8_t>(HexToInt(token) & 0xFF);
    c.fixed[j] = 1;
    c.usable = true;
  }
  return c;
}

CompiledPattern ExactPattern(std::vector<std::uint8_t> bytes) {
  CompiledPattern c;
  c.fixed.assign(bytes.size(), 1);
  c.usable = !bytes.empty();
  c.value = std::move(bytes);
  return c;
}

struct PatternSet::Impl {
  struct Pattern {
    std::vector<std::uint8_t> value;
    std::vector<std::uint8_t> mask;  // 0xFF for a fixed byte, 0 for a wildcard
    std::uint64_t anchor = 0;        // offset of the anchor run within the pattern
  };
  struct Anchor {
    std::uint32_t pattern;
  };
  // The anchors of one run length (1 to 4 bytes): two bit filters over a hash of the
  // run and the exact runs with the patterns anchored on them. The small filter stays
  // in the first-level cache and turns most places away; the large one, asked only
  // where the small one lets a place through, keeps the exact look-ups rare.
  struct Group {
    std::size_t length = 0;
    std::vector<std::uint64_t> small;
    std::vector<std::uint64_t> large;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> patterns;
  };
  static constexpr int kSmallBits = 18;
  static constexpr int kLargeBits = 24;

  static std::uint32_t Mix(std::uint32_t key) { return key * 0x9E3779B1u; }
  static void Set(std::vector<std::uint64_t>& filter, std::uint32_t bit) { filter[bit >> 6] |= std::uint64_t{1} << (bit & 63); }
  static bool Test(const std::uint64_t* filter, std::uint32_t bit) { return (filter[bit >> 6] >> (bit & 63)) & 1; }

  std::vector<Pattern> patterns;
  std::array<Group, 5> groups;  // by run length; 0 unused

  explicit Impl(std::vector<CompiledPattern> compiled) {
    patterns.resize(compiled.size());
    for (std::size_t g = 1; g <= 4; ++g) groups[g].length = g;
    for (std::size_t i = 0; i < compiled.size(); ++i) {
      CompiledPattern& c = compiled[i];
      if (!c.usable) continue;  // never matches
      Pattern& p = patterns[i];
      const std::size_t n = c.value.size();
      p.mask.resize(n);
      for (std::size_t j = 0; j < n; ++j) p.mask[j] = c.fixed[j] ? 0xFF : 0;
      // The longest run of fixed bytes decides the anchor length (at most 4); among
      // the windows of that length, the one of the rarest bytes.
      std::size_t longest = 0;
      for (std::size_t j = 0, run = 0; j < n; ++j) {
        run = c.fixed[j] ? run + 1 : 0;
        longest = std::max(longest, run);
      }
      const std::size_t length = std::min<std::size_t>(longest, 4);
      std::size_t best = 0;
      int best_score = 1 << 30;
      for (std::size_t j = 0; j + length <= n; ++j) {
        int score = 0;
        bool whole = true;
        for (std::size_t k = j; k < j + length; ++k) {
          if (!c.fixed[k]) whole = false;
          score += Commonness(c.value[k]);
        }
        if (whole && score < best_score) {
          best_score = score;
          best = j;
        }
      }
      p.anchor = best;
      p.value = std::move(c.value);
      Group& group = groups[length];
      if (group.small.empty()) {
        group.small.assign((std::size_t{1} << kSmallBits) / 64, 0);
        group.large.assign((std::size_t{1} << kLargeBits) / 64, 0);
      }
      const std::uint32_t key = Load(p.value.data() + best, length);
      Set(group.small, Mix(key) >> (32 - kSmallBits));
      Set(group.large, Mix(key) >> (32 - kLargeBits));
      group.patterns[key].push_back(static_cast<std::uint32_t>(i));
    }
  }

  bool MatchesAt(const Pattern& p, const std::uint8_t* at) const {
    const std::size_t n = p.value.size();
    for (std::size_t j = 0; j < n; ++j)
      if ((at[j] ^ p.value[j]) & p.mask[j]) return false;
    return true;
  }

  template <std::size_t length>
  void Scan(const Group& group, ByteView data, std::uint64_t from, std::vector<std::int64_t>& found,
            std::size_t& open) const {
    const auto bytes = data.span();
    const std::size_t size = bytes.size();
    if (group.patterns.empty() || size < length || open == 0) return;
    const std::uint8_t* base = bytes.data();
    const std::uint64_t* small = group.small.data();
    const std::uint64_t* large = group.large.data();
    for (std::size_t at = static_cast<std::size_t>(from); at + length <= size; ++at) {
      const std::uint32_t key = LoadFixed<length>(base + at);
      const std::uint32_t h = Mix(key);
      if (!Test(small, h >> (32 - kSmallBits)) || !Test(large, h >> (32 - kLargeBits))) continue;
      const auto it = group.patterns.find(key);
      if (it == group.patterns.end()) continue;
      for (const std::uint32_t index : it->second) {
        if (found[index] >= 0) continue;
        const Pattern& p = patterns[index];
        if (at < p.anchor) continue;
        const std::size_t start = at - p.anchor;
        if (start < from || start + p.value.size() > size) continue;
        if (!MatchesAt(p, base + start)) continue;
        found[index] = static_cast<std::int64_t>(start);
        if (--open == 0) return;
      }
    }
  }
};

PatternSet::PatternSet(std::vector<CompiledPattern> patterns) : impl_(std::make_unique<Impl>(std::move(patterns))) {}
PatternSet::PatternSet(PatternSet&&) noexcept = default;
PatternSet& PatternSet::operator=(PatternSet&&) noexcept = default;
PatternSet::~PatternSet() = default;

std::size_t PatternSet::size() const { return impl_->patterns.size(); }

std::vector<std::int64_t> PatternSet::FirstMatches(ByteView data, std::uint64_t from) const {
  std::vector<std::int64_t> found(impl_->patterns.size(), -1);
  std::size_t open = 0;
  for (const auto& p : impl_->patterns) open += p.value.empty() ? 0 : 1;
  // Patterns are anchored at offsets at or after their start, so each pass over a run
  // length finds every pattern's first match in increasing order of start.
  impl_->Scan<4>(impl_->groups[4], data, from, found, open);
  impl_->Scan<3>(impl_->groups[3], data, from, found, open);
  impl_->Scan<2>(impl_->groups[2], data, from, found, open);
  impl_->Scan<1>(impl_->groups[1], data, from, found, open);
  return found;
}

}  // namespace tessor
