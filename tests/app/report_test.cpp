#include "app/report.h"

#include <gtest/gtest.h>

namespace tessor {
namespace {

TEST(Pages, TheWindowsListsInPageOrder) {
  ASSERT_EQ(kLists.size(), 9u);
  const char* titles[] = {"pe信息", "伪代码", "导入表", "PE资源", "区段", "导出表", "保护标记", "支持库", "首页"};
  const char* names[] = {"pe", "subs", "imports", "images", "sections", "exports", "markers", "esig", ""};
  for (std::size_t i = 0; i < kLists.size(); ++i) {
    EXPECT_EQ(static_cast<std::size_t>(kLists[i].id), i);
    EXPECT_EQ(kLists[i].page, static_cast<int>(i));
    EXPECT_EQ(kLists[i].pageTitle, titles[i]);
    EXPECT_EQ(kLists[i].cliName, names[i]);
  }
  const auto& imports = ListDefinition(ListId::Imports);
  EXPECT_EQ(imports.control, "超级列表框_函数列表");
  ASSERT_EQ(imports.columns.size(), 5u);
  EXPECT_EQ(imports.columns[0].title, "Thunk RAV");
  EXPECT_EQ(imports.columns[4].title, "API 名称");
  EXPECT_EQ(imports.columns[4].width, 200);
  EXPECT_EQ(ListDefinition(ListId::Subroutines).columns[3].title, "OD假名称");
  EXPECT_EQ(ListDefinition(ListId::Markers).columns[1].width, 500);
  for (const auto& column : ListDefinition(ListId::Sections).columns) EXPECT_EQ(column.width, 80);
  EXPECT_EQ(FindListByCliName("esig"), &ListDefinition(ListId::Signatures));
  EXPECT_EQ(FindListByCliName(""), nullptr);
  EXPECT_EQ(FindListByCliName("home"), nullptr);
}

TEST(ReportTable, RowOperations) {
  ReportTable table(ListDefinition(ListId::PeInfo));
  // Rows written at the top read in reverse order of writing.
  for (const char* label : {"入口点", "链接器版本", "运行平台"}) {
    table.InsertTop({label});
    table.SetCell(0, 1, std::string(label) + "!");
  }
  ASSERT_EQ(table.RowCount(), 3u);
  EXPECT_EQ(table.Cell(0, 0), "运行平台");
  EXPECT_EQ(table.Cell(0, 1), "运行平台!");
  EXPECT_EQ(table.Cell(2, 0), "入口点");

  table.AppendRow({"a", "b", "surplus"});
  EXPECT_EQ(table.RowAt(3).size(), 2u);
  table.DeleteRow(1);
  EXPECT_EQ(table.RowCount(), 3u);
  EXPECT_EQ(table.Cell(1, 0), "入口点");

  // Cells that do not exist read as empty and ignore writes.
  table.SetCell(9, 0, "x");
  table.SetCell(0, 2, "x");
  table.DeleteRow(9);
  EXPECT_EQ(table.Cell(9, 0), "");
  EXPECT_EQ(table.Cell(0, 2), "");
  EXPECT_EQ(table.RowCount(), 3u);

  table.Clear();
  EXPECT_EQ(table.RowCount(), 0u);
}

TEST(Report, HoldsEveryListAndClearsThemAll) {
  Report report;
  for (const auto& def : kLists) {
    EXPECT_EQ(&report.Table(def.id).Definition(), &def);
    report.Table(def.id).AppendRow();
  }
  EXPECT_EQ(report.Table(ListId::Exports).ColumnCount(), 4u);
  report.Clear();
  for (const auto& def : kLists) EXPECT_EQ(report.Table(def.id).RowCount(), 0u);
}

}  // namespace
}  // namespace tessor
