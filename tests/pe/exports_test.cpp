#include "pe/exports.h"

#include <functional>

#include <gtest/gtest.h>

#include "support/pe_builder.h"

namespace tessor {
namespace {

using namespace tessor::testing;

ExportTable Read(const Bytes& bytes) {
  const ByteView view(bytes);
  return ReadExports(ReadPeHeaders(view), view);
}

std::vector<std::string> Names(const ExportTable& table) {
  std::vector<std::string> names;
  for (const auto& row : table.rows) names.push_back(row[3]);
  return names;
}

// A DLL without imports: Alpha, an export by ordinal only, and Beta.
PeImage DemoDll(std::uint32_t base = 10) {
  PeBuilder b;
  b.Headers().characteristics = kFileExecutable | kFileDll;
  b.AddSection({.name = ".text", .data = Bytes(0x200, 0xC3), .characteristics = kCode});
  b.SetExports({.moduleName = "demo.dll",
                .base = base,
                .characteristics = 4,
                .timeDateStamp = 0x12345678,
                .majorVersion = 10,
                .minorVersion = 2,
                .functions = {{"Alpha", 0x1010}, {"", 0x1020}, {"Beta", 0x1030}}});
  return b.Build();
}

TEST(Exports, DirectoryRowsAndExportList) {
  const PeImage image = DemoDll();
  ASSERT_EQ(image.exportRva, 0x2000u);
  ASSERT_EQ(image.sections[0].rawOffset, 0x200u);
  const ExportTable table = Read(image.bytes);
  const InfoRows info = {
      {"导出表特性:", "00000004"},       {"导出表时间戳:", "12345678"},   {"导出表版本:", "10.2"},
      {"导出表名称:", "00002040"},       {"导出表名称:", "demo.dll"},     {"导出表基址:", "0000000A"},
      {"导出表函数数量:", "00000003"},   {"导出表名称数量:", "00000002"}, {"导出表函数地址:", "00002028"},
      {"导出表名称地址:", "00002034"},   {"导出表名称序数地址:", "0000203C"},
  };
  EXPECT_EQ(table.infoRows, info);
  // "序数" is Base + the ordinal index: Alpha is index 0, Beta index 2.
  const std::vector<ExportRow> rows = {
      {"000A", "00001010", "00000210", "Alpha"},
      {"000C", "00001030", "00000230", "Beta"},
  };
  EXPECT_EQ(table.rows, rows);
}

TEST(Exports, OrdinalIsBasePlusIndex) {
  struct Case {
    std::uint32_t base;
    const char* alpha;
    const char* beta;
  };
  const Case cases[] = {{1, "0001", "0003"}, {0, "0000", "0002"}, {0x12340, "12340", "12342"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base);
    const ExportTable table = Read(DemoDll(c.base).bytes);
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[0][0], c.alpha);
    EXPECT_EQ(table.rows[1][0], c.beta);
  }
}

TEST(Exports, EveryNameIsListed) {
  PeBuilder b;
  b.AddSection({.name = ".text", .data = Bytes(0x10, 0xC3), .characteristics = kCode});
  ExportDef exports{.moduleName = "many.dll"};
  for (int i = 0; i < 6000; ++i)
    exports.functions.push_back({"Fn" + std::to_string(i), 0x1008});
  b.SetExports(exports);
  const ExportTable table = Read(b.Build().bytes);
  ASSERT_EQ(table.rows.size(), 6000u);
  EXPECT_EQ(table.rows[5000][3], "Fn5000");
  EXPECT_EQ(table.rows[5999], (ExportRow{"1770", "00001008", "00000208", "Fn5999"}));
}

TEST(Exports, NothingWithoutAReadableDirectory) {
  struct Case {
    const char* what;
    std::function<void(PeImage&)> patch;
  };
  const Case cases[] = {
      {"no export directory", [](PeImage& image) { PutU32(image.bytes, image.DataDirectoryOffset(0) + 4, 0); }},
      {"directory outside the file",
       [](PeImage& image) { PutU32(image.bytes, image.DataDirectoryOffset(0), 0x00F00000); }},
      {"directory cut by the end of the file",
       [](PeImage& image) { Truncate(image.bytes, image.OffsetOf(image.exportRva) + 39); }},
      {"Name 0", [](PeImage& image) { PutU32(image.bytes, image.OffsetOf(image.exportRva) + 12, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PeImage image = DemoDll();
    c.patch(image);
    const ExportTable table = Read(image.bytes);
    EXPECT_TRUE(table.infoRows.empty());
    EXPECT_TRUE(table.rows.empty());
  }
}

// The list is bounded by the file: a read past its end ends the list, whatever the
// directory claims.
TEST(Exports, ListEndsWhereTheFileEnds) {
  struct Case {
    const char* what;
    std::function<void(PeImage&)> patch;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"NumberOfNames FFFFFFFF, the name array at the end of the file",
       [](PeImage& image) {
         const std::uint64_t dir = image.OffsetOf(image.exportRva);
         const auto at = static_cast<std::uint32_t>(image.bytes.size());
         const auto names = image.bytes.begin() + static_cast<std::ptrdiff_t>(image.OffsetOf(image.namesRva));
         PutBytes(image.bytes, at, Bytes(names, names + 8));  // both name RVAs, moved to the end
         PutU32(image.bytes, dir + 32, at);
         PutU32(image.bytes, dir + 24, 0xFFFFFFFF);
       },
       {"Alpha", "Beta"}},
      {"a name without its zero byte at the end of the file",
       [](PeImage& image) {
         const auto at = static_cast<std::uint32_t>(image.bytes.size());
         PutText(image.bytes, at, "Gamm");
         PutU32(image.bytes, image.OffsetOf(image.namesRva) + 4, at);
       },
       {"Alpha"}},
      {"name array outside the file",
       [](PeImage& image) { PutU32(image.bytes, image.OffsetOf(image.exportRva) + 32, 0x00F00000); },
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PeImage image = DemoDll();
    ASSERT_LT(image.bytes.size(), 0x1000u);  // below every section: RVAs are their own offsets
    c.patch(image);
    const ExportTable table = Read(image.bytes);
    EXPECT_EQ(table.infoRows.size(), 11u);
    EXPECT_EQ(Names(table), c.names);
  }
}

TEST(Exports, NameCountRowShowsTheDirectoryValue) {
  PeImage image = DemoDll();
  PutU32(image.bytes, image.OffsetOf(image.exportRva) + 24, 0xFFFFFFFF);
  const ExportTable table = Read(image.bytes);
  ASSERT_EQ(table.infoRows.size(), 11u);
  EXPECT_EQ(table.infoRows[7], (InfoRow{"导出表名称数量:", "FFFFFFFF"}));
}

}  // namespace
}  // namespace tessor
