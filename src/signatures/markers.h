// Protector and packer markers: fixed byte sequences that packers and protectors leave
// in the files they process.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/file_bytes.h"

namespace tessor {

struct MarkerEntry {
  const char* label;
  std::vector<std::uint8_t> pattern;
};

// Searched in the first 5000 bytes only, and in the whole file.
const std::vector<MarkerEntry>& HeadMarkers();
const std::vector<MarkerEntry>& WholeFileMarkers();

inline constexpr std::uint64_t kHeadMarkerReach = 5000;

// The marker list's rows ("保护标记", "数据") in the order they are written: the head
// markers found, then the whole-file markers found, each in table order, one row per
// marker however often it occurs.
std::vector<std::array<std::string, 2>> ScanMarkers(ByteView file);

}  // namespace tessor
