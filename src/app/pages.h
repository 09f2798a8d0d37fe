// The window's report lists: which page each one lives on, the page titles, the column
// titles and initial widths, and the page names the command-line tool uses. Both front
// ends build their lists from this one table.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace tessor {

enum class ListId : std::size_t {
  PeInfo,       // 超级列表框1
  Subroutines,  // 列表框1
  Imports,      // 超级列表框_函数列表
  Images,       // 超级列表框_PE文件
  Sections,     // 超级列表框_区段列表
  Exports,      // 超级列表框_导出函数
  Markers,      // 超级列表框_保护标记
  Signatures,   // esig列表框
  Home,         // 广告列表框
};

inline constexpr std::size_t kListCount = 9;

struct ColumnDef {
  std::string_view title;
  int width;
};

struct ListDef {
  ListId id;
  std::string_view control;    // the control's name in the window's design
  int page;                    // page of the tab control, from 0
  std::string_view pageTitle;
  std::string_view cliName;    // empty: not offered by the command-line tool
  std::span<const ColumnDef> columns;
};

namespace columns {
inline constexpr ColumnDef kPeInfo[] = {{"名称", 200}, {"基地址", 300}};
inline constexpr ColumnDef kSubroutines[] = {{"名称", 160}, {"地址", 100}, {"库名", 100}, {"OD假名称", 200}};
inline constexpr ColumnDef kImports[] = {
    {"Thunk RAV", 80}, {"Thunk 偏移", 80}, {"Thunk 值", 80}, {"提示/序数", 80}, {"API 名称", 200}};
inline constexpr ColumnDef kImages[] = {{"PE文件", 110}, {"起点", 100},    {"长度", 100},
                                        {"运行平台", 70}, {"项目格式", 120}, {"后缀名", 100}};
inline constexpr ColumnDef kSections[] = {{"名称", 80},  {"V.偏移", 80}, {"V.大小", 80},
                                          {"R.偏移", 80}, {"R.大小", 80}, {"标志", 80}};
inline constexpr ColumnDef kExports[] = {{"序数", 80}, {"RAV", 80}, {"偏移", 80}, {"名称", 200}};
inline constexpr ColumnDef kMarkers[] = {{"保护标记", 200}, {"数据", 500}};
inline constexpr ColumnDef kSignatures[] = {{"名称", 160}, {"地址", 100}, {"库名", 200}};
inline constexpr ColumnDef kHome[] = {{"名称", 500}};
}  // namespace columns

// In page order; element i describes ListId i.
inline constexpr std::array<ListDef, kListCount> kLists = {{
    {ListId::PeInfo, "超级列表框1", 0, "pe信息", "pe", columns::kPeInfo},
    {ListId::Subroutines, "列表框1", 1, "伪代码", "subs", columns::kSubroutines},
    {ListId::Imports, "超级列表框_函数列表", 2, "导入表", "imports", columns::kImports},
    {ListId::Images, "超级列表框_PE文件", 3, "PE资源", "images", columns::kImages},
    {ListId::Sections, "超级列表框_区段列表", 4, "区段", "sections", columns::kSections},
    {ListId::Exports, "超级列表框_导出函数", 5, "导出表", "exports", columns::kExports},
    {ListId::Markers, "超级列表框_保护标记", 6, "保护标记", "markers", columns::kMarkers},
    {ListId::Signatures, "esig列表框", 7, "支持库", "esig", columns::kSignatures},
    {ListId::Home, "广告列表框", 8, "首页", "", columns::kHome},
}};

constexpr const ListDef& ListDefinition(ListId id) { return kLists[static_cast<std::size_t>(id)]; }

// The list that the command-line page name selects, or nullptr.
constexpr const ListDef* FindListByCliName(std::string_view name) {
  for (const auto& def : kLists)
    if (!def.cliName.empty() && def.cliName == name) return &def;
  return nullptr;
}

}  // namespace tessor
