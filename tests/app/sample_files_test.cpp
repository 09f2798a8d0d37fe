// The bundled sample program and DLL, built by the MinGW compilers for 32 and 64 bits.
// The expected values were read from these files with i686-w64-mingw32-objdump -p / -h
// and x86_64-w64-mingw32-objdump -p / -h (and -s at the entry point), not from this
// program's own output.
#include <algorithm>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "app/analysis.h"

namespace tessor {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::filesystem::path SampleFile(const char* bits, const char* name) {
  return std::filesystem::path(TESSOR_SAMPLE_DIR) / (std::string("sample") + bits) / name;
}

class SampleFiles : public ::testing::Test {
 protected:
  AnalysisSnapshot Load(const char* bits, const char* name) {
    if (std::string(TESSOR_SAMPLE_DIR).empty()) {
      ADD_FAILURE() << "the build found no MinGW compilers to build the sample with";
      return nullptr;
    }
    const auto path = SampleFile(bits, name);
    std::string error;
    auto analysis = AnalyseFile(path, AnalysisOptions{}, error);
    EXPECT_NE(analysis, nullptr) << path.string() << ": " << error;
    return analysis;
  }
};

// The value of the first row with this label, from the top of the list.
std::string Info(const Analysis& analysis, const std::string& label) {
  const ReportTable& info = analysis.report.Table(ListId::PeInfo);
  for (std::size_t i = 0; i < info.RowCount(); ++i)
    if (info.Cell(i, 0) == label) return info.Cell(i, 1);
  return "(no row " + label + ")";
}

std::vector<std::string> Column(const ReportTable& table, std::size_t column) {
  std::vector<std::string> cells;
  for (std::size_t i = 0; i < table.RowCount(); ++i) cells.push_back(table.Cell(i, column));
  return cells;
}

bool HasRow(const ReportTable& table, const std::vector<std::string>& row) {
  for (std::size_t i = 0; i < table.RowCount(); ++i)
    if (table.RowAt(i) == row) return true;
  return false;
}

void ExpectPlatform(const Analysis& analysis, const char* platform) {
  const ReportTable& info = analysis.report.Table(ListId::PeInfo);
  std::size_t rows = 0;
  for (std::size_t i = 0; i < info.RowCount(); ++i) {
    if (info.Cell(i, 0) != "运行平台") continue;
    ++rows;
    EXPECT_EQ(info.Cell(i, 1), platform);
  }
  EXPECT_EQ(rows, 2u);
}

void ExpectImportsOf(const Analysis& analysis, std::initializer_list<const char*> names) {
  const auto imported = Column(analysis.report.Table(ListId::Imports), 4);
  for (const char* name : names)
    EXPECT_NE(std::find(imported.begin(), imported.end(), name), imported.end()) << name;
}

TEST_F(SampleFiles, Program32) {
  const auto analysis = Load("32", "sample.exe");
  ASSERT_NE(analysis, nullptr);
  ExpectPlatform(*analysis, "X32");
  EXPECT_EQ(Info(*analysis, "入口点:"), "000014B0");
  EXPECT_EQ(Info(*analysis, "文件偏移:"), "000008B0");
  EXPECT_EQ(Info(*analysis, "链接器:"), "2.40");
  EXPECT_EQ(Info(*analysis, "EP区段:"), ".text");
  EXPECT_EQ(Info(*analysis, "首字节:"), "C7,05,6C,60");
  EXPECT_EQ(Info(*analysis, "子系统:"), "0003");
  EXPECT_EQ(Info(*analysis, "映像基址:"), "00400000");
  EXPECT_EQ(Info(*analysis, "数据基址:"), "00003000");
  EXPECT_EQ(Info(*analysis, "幻数:"), "010B");
  EXPECT_EQ(Info(*analysis, "区段数量:"), "0009");
  EXPECT_EQ(Info(*analysis, "特性:"), "030E");
  EXPECT_EQ(Info(*analysis, "校验:"), "00011DAB");
  EXPECT_EQ(Info(*analysis, "导入:"), "00007000");
  EXPECT_EQ(Info(*analysis, "导入长度:"), "00000564");
  EXPECT_EQ(Info(*analysis, "tls:"), "00004078");

  const ReportTable& sections = analysis->report.Table(ListId::Sections);
  EXPECT_EQ(Column(sections, 0), (std::vector<std::string>{".text", ".data", ".rdata", ".eh_fram", ".bss",
                                                            ".idata", ".CRT", ".tls", ".reloc"}));
  EXPECT_EQ(sections.Cell(0, 1), "00001000");
  EXPECT_EQ(sections.Cell(0, 2), "000017C4");
  EXPECT_EQ(sections.Cell(0, 3), "00000400");
  EXPECT_EQ(sections.Cell(4, 3), "00000000");  // .bss has no raw data

  // KERNEL32 19 functions, msvcrt 24, USER32 1, sample.dll 1.
  const ReportTable& imports = analysis->report.Table(ListId::Imports);
  EXPECT_EQ(imports.RowCount(), 45u);
  EXPECT_EQ(imports.Cell(0, 4), "DeleteCriticalSection");
  EXPECT_TRUE(HasRow(imports, {"000071DC", "00002FDC", "0000745C", "03FC", "wsprintfA"}));
  EXPECT_TRUE(HasRow(imports, {"000071E4", "00002FE4", "00007468", "0001", "SampleChecksum@4"}));
  ExpectImportsOf(*analysis, {"WriteFile", "GetStdHandle", "GetTickCount", "lstrlenA", "__getmainargs"});
  EXPECT_EQ(analysis->report.Table(ListId::Exports).RowCount(), 0u);
}

TEST_F(SampleFiles, Dll32) {
  const auto analysis = Load("32", "sample.dll");
  ASSERT_NE(analysis, nullptr);
  ExpectPlatform(*analysis, "X32");
  EXPECT_EQ(Info(*analysis, "入口点:"), "00001390");
  EXPECT_EQ(Info(*analysis, "首字节:"), "83,EC,0C,C7");
  EXPECT_EQ(Info(*analysis, "映像基址:"), "62640000");
  EXPECT_EQ(Info(*analysis, "特性:"), "230E");
  EXPECT_EQ(Info(*analysis, "导出:"), "00007000");
  EXPECT_EQ(Info(*analysis, "导出长度:"), "0000004E");
  EXPECT_EQ(Info(*analysis, "导出表基址:"), "00000001");
  EXPECT_EQ(Info(*analysis, "导出表函数数量:"), "00000001");
  EXPECT_EQ(Info(*analysis, "导出表名称数量:"), "00000001");
  EXPECT_EQ(Info(*analysis, "导出表函数地址:"), "00007028");
  EXPECT_EQ(Info(*analysis, "导出表名称地址:"), "0000702C");
  EXPECT_EQ(Info(*analysis, "导出表名称序数地址:"), "00007030");
  EXPECT_EQ(Info(*analysis, "导出表名称:"), "sample.dll");  // the upper of the two rows
  const Rows exports = {{"0001", "000014B0", "000008B0", "SampleChecksum@4"}};
  const ReportTable& table = analysis->report.Table(ListId::Exports);
  ASSERT_EQ(table.RowCount(), 1u);
  EXPECT_EQ(table.RowAt(0), exports[0]);
  EXPECT_EQ(analysis->report.Table(ListId::Imports).RowCount(), 26u);  // KERNEL32 13, msvcrt 13
}

TEST_F(SampleFiles, Program64) {
  const auto analysis = Load("64", "sample.exe");
  ASSERT_NE(analysis, nullptr);
  ExpectPlatform(*analysis, "X64");
  EXPECT_EQ(analysis->imageBase, 0x0000000140000000ull);
  EXPECT_EQ(Info(*analysis, "入口点:"), "000014D0");
  EXPECT_EQ(Info(*analysis, "文件偏移:"), "000008D0");
  EXPECT_EQ(Info(*analysis, "首字节:"), "48,83,EC,28");
  EXPECT_EQ(Info(*analysis, "链接器:"), "2.40");
  EXPECT_EQ(Info(*analysis, "映像基址:"), "0000000140000000");
  EXPECT_EQ(Info(*analysis, "数据基址:"), "");
  EXPECT_EQ(Info(*analysis, "幻数:"), "020B");
  EXPECT_EQ(Info(*analysis, "区段数量:"), "000A");
  EXPECT_EQ(Info(*analysis, "可选头部大小:"), "00F0");
  EXPECT_EQ(Info(*analysis, "映像大小:"), "0000C000");
  EXPECT_EQ(Info(*analysis, "校验:"), "00006351");
  EXPECT_EQ(Info(*analysis, "导入:"), "00008000");
  EXPECT_EQ(Info(*analysis, "导入长度:"), "00000684");
  EXPECT_EQ(Info(*analysis, "tls:"), "00004060");
  EXPECT_EQ(Info(*analysis, "tls长度:"), "00000028");

  const ReportTable& sections = analysis->report.Table(ListId::Sections);
  EXPECT_EQ(Column(sections, 0), (std::vector<std::string>{".text", ".data", ".rdata", ".pdata", ".xdata", ".bss",
                                                            ".idata", ".CRT", ".tls", ".reloc"}));
  EXPECT_EQ(sections.Cell(6, 1), "00008000");
  EXPECT_EQ(sections.Cell(6, 3), "00003000");

  // KERNEL32 16 functions, msvcrt 24, USER32 1, sample.dll 1; eight-byte slots.
  const ReportTable& imports = analysis->report.Table(ListId::Imports);
  EXPECT_EQ(imports.RowCount(), 42u);
  EXPECT_TRUE(HasRow(imports, {"00008328", "00003328", "0000000000008586", "03BE", "wsprintfA"}));
  EXPECT_TRUE(HasRow(imports, {"00008338", "00003338", "0000000000008594", "0001", "SampleChecksum"}));
  ExpectImportsOf(*analysis, {"WriteFile", "GetStdHandle", "GetTickCount", "lstrlenA", "__C_specific_handler"});
}

TEST_F(SampleFiles, Dll64) {
  const auto analysis = Load("64", "sample.dll");
  ASSERT_NE(analysis, nullptr);
  ExpectPlatform(*analysis, "X64");
  EXPECT_EQ(Info(*analysis, "入口点:"), "00001320");
  EXPECT_EQ(Info(*analysis, "首字节:"), "48,8B,05,F9");
  EXPECT_EQ(analysis->imageBase, 0x0000000371150000ull);
  EXPECT_EQ(Info(*analysis, "映像基址:"), "0000000371150000");
  EXPECT_EQ(Info(*analysis, "特性:"), "222E");
  EXPECT_EQ(Info(*analysis, "导出:"), "00008000");
  EXPECT_EQ(Info(*analysis, "导出表名称:"), "sample.dll");
  EXPECT_EQ(Info(*analysis, "导出表名称地址:"), "0000802C");
  const ReportTable& table = analysis->report.Table(ListId::Exports);
  ASSERT_EQ(table.RowCount(), 1u);
  EXPECT_EQ(table.RowAt(0), (std::vector<std::string>{"0001", "00001370", "00000770", "SampleChecksum"}));
  EXPECT_EQ(analysis->report.Table(ListId::Imports).RowCount(), 22u);  // KERNEL32 9, msvcrt 13
}

}  // namespace
}  // namespace tessor
