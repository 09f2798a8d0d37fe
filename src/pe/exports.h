// The export directory: its rows in the PE information list and the export list.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "pe/pe_headers.h"

namespace tessor {

// "序数", "RAV", "偏移", "名称".
using ExportRow = std::array<std::string, 4>;

struct ExportTable {
  InfoRows infoRows;             // "导出表特性:" ... "导出表名称序数地址:", in writing order
  std::vector<ExportRow> rows;   // one per exported name, in AddressOfNames order
};

ExportTable ReadExports(const PeHeaders& headers, ByteView file);

}  // namespace tessor
