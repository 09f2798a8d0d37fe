#include "signatures/markers.h"

#include <cstring>

#include "signatures/pattern_matcher.h"
#include "text/hex.h"

namespace tessor {

namespace {

struct MarkerDef {
  const char* label;
  const char* pattern;  // hexadecimal bytes
};

constexpr MarkerDef kHead[] = {
    {"UPX executable packer 3.3.0.0:", "55 50 58 21 0D 09"},
    {"花指令:", "90 90 48 40 40 4A 55 60"},
};

// Each is a short jump over an embedded tag.
constexpr MarkerDef kWholeFile[] = {
    {"ZProtect加密保护标记头:", "EB 08 53 54 5F 53 54 41 52 54"},
    {"ZProtect加密保护标记尾:", "EB 08 53 54 5F 53 54 45 4E 44"},
    {"ZProtect代码清除标记头:", "EB 08 4F 43 5F 53 54 41 52 54"},
    {"ZProtect动态解码标记头:", "EB 08 44 59 5F 53 54 41 52 54"},
    {"ZProtect动态解码标记尾:", "EB 08 44 59 5F 44 59 45 4E 44"},
    {"ZProtect注册解码标记头:", "EB 08 52 44 5F 53 54 41 52 54"},
    {"ZProtect注册解码标记尾:", "EB 08 52 44 5F 52 44 45 4E 44"},
    {"ZProtect虚拟机加密标记头:", "EB 08 56 4D 5F 53 54 41 52 54"},
    {"ZProtect虚拟机加密标记尾:", "EB 08 56 4D 5F 56 4D 45 4E 44"},
    {"VMProtect保护开始标志头:", "EB 10 56 4D 50 72 6F 74 65 63 74 20 62 65 67 69 6E 00"},
    {"VMProtect保护开始标志尾:", "EB 0E 56 4D 50 72 6F 74 65 63 74 20 65 6E 64 00"},
    {"Enigma加密保护开始标志头:", "EB 0A 45 43 52 4F 4E 45 58 45 43 42"},
    {"Enigma加密保护开始标志尾:", "EB 0A 45 43 52 4F 4E 45 58 45 43 45"},
    {"NoobyProtect加密保护开始标志头:", "EB 06 4E 50 42 45 47 4E"},
    {"NoobyProtect加密保护开始标志尾:", "EB 06 4E 50 45 4E 44 50"},
    {"穿山甲功能型加密DEMO标志头:", "EB 03 D6 D7 01"},
    {"穿山甲功能型加密DEMO标志尾:", "EB 03 D6 D7 00"},
};

template <std::size_t N>
std::vector<MarkerEntry> Build(const MarkerDef (&defs)[N]) {
  std::vector<MarkerEntry> entries;
  for (const auto& d : defs) entries.push_back({d.label, HexTextToBytes(d.pattern)});
  return entries;
}

PatternSet ExactSet(const std::vector<MarkerEntry>& markers) {
  std::vector<CompiledPattern> patterns;
  for (const auto& m : markers) patterns.push_back(ExactPattern(m.pattern));
  return PatternSet(std::move(patterns));
}

void AppendFound(const std::vector<MarkerEntry>& markers, const PatternSet& set, ByteView data,
                 std::vector<std::array<std::string, 2>>& rows) {
  const auto found = set.FirstMatches(data);
  for (std::size_t i = 0; i < markers.size(); ++i)
    if (found[i] >= 0) rows.push_back({markers[i].label, BytesToBraceText(markers[i].pattern)});
}

}  // namespace

const std::vector<MarkerEntry>& HeadMarkers() {
  static const std::vector<MarkerEntry> markers = Build(kHead);
  return markers;
}

const std::vector<MarkerEntry>& WholeFileMarkers() {
  static const std::vector<MarkerEntry> markers = Build(kWholeFile);
  return markers;
}

namespace {

// Every whole-file marker is a short jump: one pass looks for the jump opcode with
// memchr and compares the markers only where it stands. The result equals that of the
// general matcher, which handles any table whose markers do not share a first byte.
std::vector<bool> FindShortJumpMarkers(const std::vector<MarkerEntry>& markers, ByteView data) {
  std::vector<bool> found(markers.size(), false);
  const auto bytes = data.span();
  std::size_t open = markers.size();
  for (std::size_t at = 0; open > 0 && at < bytes.size();) {
    const void* hit = std::memchr(bytes.data() + at, 0xEB, bytes.size() - at);
    if (!hit) break;
    at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - bytes.data());
    const std::size_t left = bytes.size() - at;
    for (std::size_t i = 0; i < markers.size(); ++i) {
      const auto& p = markers[i].pattern;
      if (found[i] || p.size() > left || std::memcmp(bytes.data() + at, p.data(), p.size()) != 0) continue;
      found[i] = true;
      --open;
    }
    ++at;
  }
  return found;
}

bool AllStartWith(const std::vector<MarkerEntry>& markers, std::uint8_t first) {
  for (const auto& m : markers)
    if (m.pattern.empty() || m.pattern[0] != first) return false;
  return true;
}

}  // namespace

std::vector<std::array<std::string, 2>> ScanMarkers(ByteView file) {
  static const PatternSet head = ExactSet(HeadMarkers());
  static const PatternSet whole = ExactSet(WholeFileMarkers());
  static const bool short_jumps = AllStartWith(WholeFileMarkers(), 0xEB);
  std::vector<std::array<std::string, 2>> rows;
  AppendFound(HeadMarkers(), head, ByteView(file.Slice(0, kHeadMarkerReach)), rows);
  if (short_jumps) {
    const auto found = FindShortJumpMarkers(WholeFileMarkers(), file);
    for (std::size_t i = 0; i < found.size(); ++i)
      if (found[i]) rows.push_back({WholeFileMarkers()[i].label, BytesToBraceText(WholeFileMarkers()[i].pattern)});
  } else {
    AppendFound(WholeFileMarkers(), whole, file, rows);
  }
  return rows;
}

}  // namespace tessor
