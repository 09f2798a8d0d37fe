// The import table: every imported function as the five texts of the import list.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "pe/pe_headers.h"

namespace tessor {

// "Thunk RAV", "Thunk 偏移", "Thunk 值", "提示/序数", "API 名称".
using ImportRow = std::array<std::string, 5>;

inline constexpr const char* kByOrdinal = "(按序数)";

// Walks every import descriptor until one whose Name is 0 or one that cannot be read
// whole, and every thunk of each until a zero slot or a slot, lookup value or hint/name
// that cannot be read. PE32+ images have 8-byte thunks with the ordinal flag in bit 63.
std::vector<ImportRow> ReadImports(const PeHeaders& headers, ByteView file);

}  // namespace tessor
