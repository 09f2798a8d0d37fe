#include "app/analysis.h"

#include <algorithm>
#include <atomic>

#include <gtest/gtest.h>

#include "support/pe_builder.h"
#include "support/temp_dir.h"

namespace tessor {
namespace {

using namespace tessor::testing;
using Rows = std::vector<std::vector<std::string>>;

Rows RowsOf(const ReportTable& table) {
  Rows rows;
  for (std::size_t i = 0; i < table.RowCount(); ++i) rows.push_back(table.RowAt(i));
  return rows;
}

std::vector<std::string> Column(const ReportTable& table, std::size_t column) {
  std::vector<std::string> cells;
  for (std::size_t i = 0; i < table.RowCount(); ++i) cells.push_back(table.Cell(i, column));
  return cells;
}

AnalysisSnapshot Analyse(const Bytes& bytes) {
  auto file = std::make_shared<const FileBytes>(bytes);
  return AnalyseBytes(file, "test.bin", AnalysisOptions{});
}

// A DLL with everything this analysis shows: an entry point, an import, exports and a
// debug entry.
PeImage FullDll() {
  PeBuilder b;
  auto& h = b.Headers();
  h.characteristics = kFileExecutable | kFileDll;
  h.addressOfEntryPoint = 0x1000;
  Bytes code(0x200, 0xCC);
  PutBytes(code, 0, {0x55, 0x8B, 0xEC, 0xC3});
  b.AddSection({.name = ".text", .data = code, .characteristics = kCode});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess", 0x0120), ByOrdinal(0x0010)}});
  b.SetExports({.moduleName = "demo.dll", .base = 1, .functions = {{"Alpha", 0x1000}, {"Beta", 0x1002}}});
  b.AddDebugEntry({.timeDateStamp = 0x5E000000, .type = 2});
  return b.Build();
}

// A program that carries two further images after its sections.
Bytes ProgramWithTwoImages() {
  PeBuilder inner;
  inner.Headers().fileAlignment = 0x20;
  inner.Headers().e_lfanew = 0x40;
  inner.AddSection({.name = ".text", .data = Bytes(0x20, 0), .characteristics = kCode});
  const Bytes image = inner.Build().bytes;  // 384 bytes
  PeBuilder host;
  host.Headers().addressOfEntryPoint = 0x1000;
  host.AddSection({.name = ".text", .data = Bytes(0x200, 0x90), .characteristics = kCode});
  host.Append(image);
  host.Append(Bytes(100, 0));
  host.Append(image);
  return host.Build().bytes;  // images at 0x400 and 0x400 + 484
}

TEST(Analysis, InformationListReadsInReverseOrderOfWriting) {
  const auto analysis = Analyse(FullDll().bytes);
  ASSERT_NE(analysis, nullptr);
  const ReportTable& info = analysis->report.Table(ListId::PeInfo);
  const std::vector<std::string> labels = {
      // second section-table read
      "运行平台",
      // debug directory
      "调试表Ptr:", "调试表原始地址:", "调试表数据大小:", "调试表类型:", "调试表次版本:", "调试表主版本:",
      "调试表时间戳:", "调试表特性:",
      // export directory
      "导出表名称序数地址:", "导出表名称地址:", "导出表函数地址:", "导出表名称数量:", "导出表函数数量:",
      "导出表基址:", "导出表名称:", "导出表名称:", "导出表版本:", "导出表时间戳:", "导出表特性:",
      // first section-table read (with the section list)
      "运行平台",
      // header rows
      "调试长度:", "调试基址:", "tls长度:", "tls:", "资源长度:", "资源基址:", "导入长度:", "导入:", "导出长度:",
      "导出:", "RAV与大小的数量:", "可选头部大小:", "校验:", "特性:", "头部大小:", "时间戳:", "区段数量:", "幻数:",
      "文件校正:", "区段校正:", "数据基址:", "代码基址:", "映像大小:", "映像基址:",
      // entry-point rows
      "子系统:", "首字节:", "EP区段:", "链接器:", "文件偏移:", "入口点:",
  };
  EXPECT_EQ(Column(info, 0), labels);
  ASSERT_EQ(info.RowCount(), labels.size());
  EXPECT_EQ(info.Cell(0, 1), "X32");
  EXPECT_EQ(info.Cell(15, 1), "demo.dll");  // the name, written after its RVA
  EXPECT_EQ(info.Cell(16, 1), HexText(FullDll().exportNameRva, 8));
  EXPECT_EQ(info.Cell(20, 1), "X32");
  EXPECT_EQ(info.Cell(labels.size() - 1, 1), "00001000");
  EXPECT_EQ(info.Cell(labels.size() - 5, 1), "55,8B,EC,C3");
}

TEST(Analysis, ListsAndState) {
  const PeImage image = FullDll();
  const auto analysis = Analyse(image.bytes);
  ASSERT_NE(analysis, nullptr);
  EXPECT_EQ(analysis->imageBase, 0x400000u);
  EXPECT_EQ(analysis->fileAlignment, 0x200);
  EXPECT_EQ(analysis->filePath, std::filesystem::path("test.bin"));

  const Rows sections = {
      {".text", "00001000", "00000200", "00000400", "00000200", "60000020"},
      {".idata", "00002000", HexText(image.sections[1].virtualSize, 8), "00000600", "00000200", "C0000040"},
      {".edata", "00003000", HexText(image.sections[2].virtualSize, 8), "00000800", "00000200", "40000040"},
      {".rdata", "00004000", "0000001C", "00000A00", "00000200", "40000040"},
  };
  EXPECT_EQ(RowsOf(analysis->report.Table(ListId::Sections)), sections);
  ASSERT_EQ(analysis->sections.size(), 4u);

  const std::uint32_t slot = image.imports[0].firstThunkRva;
  const Rows imports = {
      {HexText(slot, 8), HexText(slot - 0x1A00, 8), HexText(image.imports[0].hintNameRvas[0], 8), "0120",
       "ExitProcess"},
      {HexText(slot + 4, 8), HexText(slot + 4 - 0x1A00, 8), "80000010", "0010", "(按序数)"},
  };
  EXPECT_EQ(RowsOf(analysis->report.Table(ListId::Imports)), imports);
  ASSERT_EQ(analysis->imports.size(), 2u);
  EXPECT_EQ(analysis->imports[0][4], "ExitProcess");

  const Rows exports = {
      {"0001", "00001000", "00000400", "Alpha"},
      {"0002", "00001002", "00000402", "Beta"},
  };
  EXPECT_EQ(RowsOf(analysis->report.Table(ListId::Exports)), exports);
  EXPECT_EQ(analysis->report.Table(ListId::Images).RowCount(), 0u);
}

TEST(Analysis, ImagesListShowsTheLastImageFirst) {
  const auto analysis = Analyse(ProgramWithTwoImages());
  ASSERT_NE(analysis, nullptr);
  ASSERT_EQ(analysis->images.size(), 2u);
  EXPECT_EQ(analysis->images[0].offset, 0x400u);
  EXPECT_EQ(analysis->images[1].offset, 0x400u + 484);
  const Rows rows = {
      {"PE1509", "1509", "384", "4C 01", "Windows控制台", ".exe"},
      {"PE1025", "1025", "384", "4C 01", "Windows控制台", ".exe"},
  };
  EXPECT_EQ(RowsOf(analysis->report.Table(ListId::Images)), rows);
}

TEST(Analysis, Pe32PlusProgram) {
  PeBuilder b(ImageKind::Pe32Plus);
  b.Headers().imageBase = 0x0000000140000000ull;
  b.Headers().addressOfEntryPoint = 0x1000;
  b.AddSection({.name = ".text", .data = {0x48, 0x83, 0xEC, 0x28, 0xC3}, .characteristics = kCode});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess"), ByOrdinal(0x0010)}});
  const PeImage image = b.Build();
  const auto analysis = Analyse(image.bytes);
  ASSERT_NE(analysis, nullptr);
  EXPECT_EQ(analysis->imageBase, 0x0000000140000000ull);
  const ReportTable& info = analysis->report.Table(ListId::PeInfo);
  const Rows all = RowsOf(info);
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(Rows(all.begin(), all.begin() + 2), (Rows{{"运行平台", "X64"}, {"运行平台", "X64"}}));
  EXPECT_NE(std::find(all.begin(), all.end(), std::vector<std::string>{"映像基址:", "0000000140000000"}), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), std::vector<std::string>{"数据基址:", ""}), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), std::vector<std::string>{"首字节:", "48,83,EC,28"}), all.end());
  const ReportTable& imports = analysis->report.Table(ListId::Imports);
  ASSERT_EQ(imports.RowCount(), 2u);
  EXPECT_EQ(imports.Cell(0, 2), HexText(image.imports[0].hintNameRvas[0], 16));
  EXPECT_EQ(imports.Cell(1, 2), "8000000000000010");
  EXPECT_EQ(imports.Cell(1, 0), HexText(image.imports[0].firstThunkRva + 8, 8));
}

TEST(Analysis, ImportsRightAfterAnUninitialisedSection) {
  // .bss covers 2000..3000 without raw data, and the import directory starts at 3000.
  PeBuilder b;
  b.Headers().addressOfEntryPoint = 0x1000;
  b.AddSection({.name = ".text", .data = Bytes(0x200, 0x90), .characteristics = kCode});
  b.AddSection({.name = ".bss", .characteristics = kUninitialised, .virtualSize = 0x1000});
  b.AddImport({.name = "KERNEL32.dll", .functions = {ByName("ExitProcess"), ByName("GetTickCount")}});
  const PeImage image = b.Build();
  ASSERT_EQ(image.importRva, 0x3000u);
  const auto analysis = Analyse(image.bytes);
  ASSERT_NE(analysis, nullptr);
  EXPECT_EQ(Column(analysis->report.Table(ListId::Imports), 4),
            (std::vector<std::string>{"ExitProcess", "GetTickCount"}));
  const ReportTable& info = analysis->report.Table(ListId::PeInfo);
  EXPECT_EQ(info.Cell(info.RowCount() - 1, 0), "入口点:");
}

TEST(Analysis, NotAPeFileGetsOnlyItsPlatformRowsAndNothingOfThePreviousFile) {
  ASSERT_NE(Analyse(FullDll().bytes), nullptr);
  const auto analysis = Analyse(ToBytes("Just a text file. MZ, PE, d\x86, nothing more."));
  ASSERT_NE(analysis, nullptr);
  EXPECT_EQ(RowsOf(analysis->report.Table(ListId::PeInfo)), (Rows{{"运行平台", "X32"}, {"运行平台", "X32"}}));
  for (const ListId id : {ListId::Imports, ListId::Images, ListId::Sections, ListId::Exports}) {
    EXPECT_EQ(analysis->report.Table(id).RowCount(), 0u) << ListDefinition(id).cliName;
  }
  EXPECT_TRUE(analysis->imports.empty());
  EXPECT_TRUE(analysis->sections.empty());
  EXPECT_EQ(analysis->imageBase, 0u);
}

TEST(Analysis, AnalyseFileReadsTheFile) {
  TempDir dir;
  const Bytes bytes = FullDll().bytes;
  const auto path = dir.Write("demo.dll", bytes);
  std::string error;
  const auto analysis = AnalyseFile(path, AnalysisOptions{}, error);
  ASSERT_NE(analysis, nullptr) << error;
  EXPECT_EQ(analysis->filePath, path);
  ASSERT_NE(analysis->file, nullptr);
  EXPECT_EQ(analysis->file->size(), bytes.size());
  const auto fromBytes = Analyse(bytes);
  EXPECT_EQ(RowsOf(analysis->report.Table(ListId::PeInfo)), RowsOf(fromBytes->report.Table(ListId::PeInfo)));
  EXPECT_EQ(RowsOf(analysis->report.Table(ListId::Imports)), RowsOf(fromBytes->report.Table(ListId::Imports)));

  error.clear();
  EXPECT_EQ(AnalyseFile(dir.path() / "missing.exe", AnalysisOptions{}, error), nullptr);
  EXPECT_NE(error, "");
}

TEST(Analysis, CancelledBeforeItStarts) {
  const std::atomic<bool> cancel{true};
  AnalysisControl control;
  control.cancel = &cancel;
  auto file = std::make_shared<const FileBytes>(FullDll().bytes);
  EXPECT_EQ(AnalyseBytes(file, "demo.dll", AnalysisOptions{}, control), nullptr);
}

TEST(Analysis, ProgressGoesForward) {
  std::vector<double> fractions;
  AnalysisControl control;
  control.progress = [&](std::string_view stage, double fraction) {
    EXPECT_FALSE(stage.empty());
    fractions.push_back(fraction);
  };
  auto file = std::make_shared<const FileBytes>(FullDll().bytes);
  ASSERT_NE(AnalyseBytes(file, "demo.dll", AnalysisOptions{}, control), nullptr);
  ASSERT_FALSE(fractions.empty());
  EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
  EXPECT_GE(fractions.front(), 0.0);
  EXPECT_LE(fractions.back(), 1.0);
}

TEST(Analysis, ExportAllImagesCreatesTheFolder) {
  const Bytes bytes = ProgramWithTwoImages();
  const auto analysis = Analyse(bytes);
  ASSERT_NE(analysis, nullptr);
  TempDir dir;
  const auto folder = dir.path() / "out" / "images";
  const ExportResult result = ExportAllImages(*analysis, folder);
  EXPECT_EQ(result.written, 2u);
  EXPECT_EQ(result.firstFailure, "");
  const Bytes first(bytes.begin() + 0x400, bytes.begin() + 0x400 + 384);
  EXPECT_EQ(ReadAll(folder / "PE1025.exe"), first);
  EXPECT_EQ(ReadAll(folder / "PE1509.exe"), first);
}

}  // namespace
}  // namespace tessor
