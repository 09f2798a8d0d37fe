#include "cli/cli.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/output.h"
#include "support/temp_dir.h"

namespace tessor {
namespace {

using testing::TempDir;

std::string U8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

struct ToolRun {
  int status;
  std::string out, err;
};

ToolRun RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), "tessor");
  std::ostringstream out, err;
  const int status = RunCli(args, out, err);
  return {status, out.str(), err.str()};
}

class CliTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string text_file = dir.Write("notes.txt", std::string("not a PE file")).string();
};

TEST_F(CliTest, HelpAndVersionExitZero) {
  const ToolRun help = RunTool({"--help"});
  EXPECT_EQ(help.status, kExitDone);
  EXPECT_NE(help.out.find("--page"), std::string::npos);
  EXPECT_NE(help.out.find("--export-images"), std::string::npos);
  const ToolRun version = RunTool({"--version"});
  EXPECT_EQ(version.status, kExitDone);
  EXPECT_EQ(version.out, "tessor 0.1.0\n");
}

TEST_F(CliTest, BadUsageExitsTwoWithUsageOnStderr) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--page", "nosuch", text_file},
      {"--format", "xml", text_file},
      {"--encoding", "latin1", text_file},
      {"--frobnicate", text_file},
      {text_file, "second-file"},
      {"--pseudo", "1", text_file},   // the file has only the one empty row
      {"--listing", "x", text_file},
  };
  for (const auto& args : cases) {
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.status, kExitUsage) << (args.empty() ? "" : args[0]);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("tessor:"), std::string::npos) << run.err;
  }
  EXPECT_NE(RunTool({}).err.find("Usage"), std::string::npos);
}

TEST_F(CliTest, UnreadableFileExitsOne) {
  const std::string missing = (dir.path() / "missing.exe").string();
  const ToolRun run = RunTool({missing});
  EXPECT_EQ(run.status, kExitUnreadable);
  EXPECT_EQ(run.err.rfind("tessor: cannot open " + missing + ": ", 0), 0u) << run.err;
  EXPECT_GT(run.err.size(), ("tessor: cannot open " + missing + ": \n").size());
  EXPECT_TRUE(run.out.empty());
  EXPECT_EQ(RunTool({dir.path().string()}).status, kExitUnreadable);
}

TEST_F(CliTest, PrintsEveryPageInPageOrderByDefault) {
  const ToolRun run = RunTool({"--format", "tsv", text_file});
  ASSERT_EQ(run.status, kExitDone) << run.err;
  std::vector<std::string> names;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("# ", 0) == 0) names.push_back(line.substr(2));
  EXPECT_EQ(names, (std::vector<std::string>{"pe", "subs", "imports", "images", "sections", "exports",
                                               "markers", "esig"}));
}

TEST_F(CliTest, SelectedPagesInTheOrderGiven) {
  const ToolRun run = RunTool({"--format", "tsv", "--page", "imports", "--page", "pe", text_file});
  ASSERT_EQ(run.status, kExitDone) << run.err;
  // A file that is not a PE gets only its two platform rows.
  EXPECT_EQ(run.out, U8(u8"# imports\nThunk RAV\tThunk 偏移\tThunk 值\t提示/序数\tAPI 名称\n"
                        u8"# pe\n名称\t基地址\n运行平台\tX32\n运行平台\tX32\n"));
}

TEST_F(CliTest, TextFormatInUtf8OrGbk) {
  const ToolRun utf8 = RunTool({"--page", "pe", text_file});
  ASSERT_EQ(utf8.status, kExitDone);
  EXPECT_EQ(utf8.out, U8(u8"== pe信息 (pe) ==\n名称      基地址\n运行平台  X32\n运行平台  X32\n\n"));
  const ToolRun gbk = RunTool({"--page", "pe", "--encoding", "gbk", text_file});
  EXPECT_EQ(gbk.out, "== pe信息 (pe) ==\n名称      基地址\n运行平台  X32\n运行平台  X32\n\n");
}

TEST_F(CliTest, JsonDocument) {
  const ToolRun run = RunTool({"--format", "json", "--page", "sections", text_file});
  ASSERT_EQ(run.status, kExitDone);
  const auto doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc["file"], text_file);
  ASSERT_EQ(doc["pages"].size(), 1u);
  EXPECT_EQ(doc["pages"]["sections"]["title"], U8(u8"区段"));
  EXPECT_EQ(doc["pages"]["sections"]["columns"][1], U8(u8"V.偏移"));
  EXPECT_TRUE(doc["pages"]["sections"]["rows"].empty());
  EXPECT_TRUE(doc["listing"].is_array());
  EXPECT_TRUE(doc["pseudo"].is_array());
  EXPECT_TRUE(doc["disasm"].is_array());
}

// Two copies of a minimal image inside a file that is not one itself.
std::vector<std::uint8_t> TwoEmbeddedImages() {
  std::vector<std::uint8_t> image(0x200, 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) { image[at] = v & 0xFF; image[at + 1] = v >> 8; };
  auto put32 = [&](std::size_t at, std::uint32_t v) { for (int i = 0; i < 4; ++i) image[at + i] = (v >> (8 * i)) & 0xFF; };
  image[0] = 'M'; image[1] = 'Z';
  put32(60, 0x40);
  put32(0x40, 0x4550);
  put16(0x44, 0x14C);
  put16(0x46, 1);       // one section
  put16(0x54, 0xE0);    // SizeOfOptionalHeader
  put16(0x56, 0x2102);  // a DLL
  put16(0x40 + 92, 2);  // graphical subsystem
  const std::size_t section = 0x40 + 24 + 0xE0;
  put32(section + 16, 0x100);  // SizeOfRawData
  put32(section + 20, 0x100);  // PointerToRawData
  std::vector<std::uint8_t> file(16, 0xCC);
  file.insert(file.end(), image.begin(), image.end());
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

TEST_F(CliTest, ExportImagesWritesEveryImage) {
  const auto input = dir.Write("carrier.bin", TwoEmbeddedImages()).string();
  const auto out_dir = dir.path() / "out" / "nested";
  const ToolRun run = RunTool({"--page", "images", "--format", "tsv", "--export-images", out_dir.string(), input});
  ASSERT_EQ(run.status, kExitDone) << run.err;
  EXPECT_NE(run.err.find("2 images written"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, U8(u8"# images\nPE文件\t起点\t长度\t运行平台\t项目格式\t后缀名\n"
                        u8"PE529\t529\t512\t4C 01\tWindows图形界面\t.exe ，.dll\n"
                        u8"PE17\t17\t512\t4C 01\tWindows图形界面\t.exe ，.dll\n"));
  const auto bytes = TwoEmbeddedImages();
  EXPECT_EQ(testing::ReadAll(out_dir / "PE17.dll"), std::vector<std::uint8_t>(bytes.begin() + 16, bytes.begin() + 16 + 512));
  EXPECT_EQ(testing::ReadAll(out_dir / "PE529.dll"), std::vector<std::uint8_t>(bytes.begin() + 528, bytes.end()));

  // A folder that cannot be made is a failure with its reason.
  const auto blocked = dir.Write("plain-file", std::string("x"));
  const ToolRun failed = RunTool({"--export-images", (blocked / "sub").string(), input});
  EXPECT_EQ(failed.status, kExitUnreadable);
  EXPECT_EQ(failed.err.rfind("tessor: cannot write ", 0), 0u) << failed.err;
}

// The writers on a report with content.
class OutputTest : public ::testing::Test {
 protected:
  OutputTest() {
    auto& table = analysis.report.Table(ListId::Exports);
    table.AppendRow({"1", "00001000", "00000400", "导出"});
    table.AppendRow({"22", "tab\there", "line\r\nbreak", "\x81"});  // "\x81" alone is not GBK
    content.file = "x.dll";
    content.pages = {&ListDefinition(ListId::Exports)};
    content.listings = {{0, ".子程序 sub_00401000", "PUSH EBP\r\nRETN\r\n"}};
    content.disasm = {{0x1000, 1, "55", "PUSH EBP"}};
  }
  std::string Write(OutputFormat format, OutputEncoding encoding = OutputEncoding::Utf8) {
    std::ostringstream out;
    WriteOutput(analysis, content, format, encoding, out);
    return out.str();
  }
  Analysis analysis;
  OutputContent content;
};

TEST_F(OutputTest, TextAlignsColumnsUnderTheirTitles) {
  const std::string gbk = Write(OutputFormat::Text, OutputEncoding::Gbk);
  const std::string expected =
      "== 导出表 (exports) ==\n"
      "序数  RAV       偏移         名称\n"
      "1     00001000  00000400     导出\n"
      "22    tab\there  line\r\nbreak  \x81\n"
      "\n"
      "# 0 .子程序 sub_00401000\n"
      "PUSH EBP\r\nRETN\r\n"
      "# disasm\n"
      "00001000\t1\t55\tPUSH EBP\n";
  EXPECT_EQ(gbk, expected);
}

TEST_F(OutputTest, TsvEscapesBreaksInsideCells) {
  const std::string tsv = Write(OutputFormat::Tsv);
  EXPECT_NE(tsv.find("22\ttab\\there\tline\\r\\nbreak\t" + U8(u8"\uFFFD") + "\n"), std::string::npos) << tsv;
  EXPECT_NE(tsv.find(U8(u8"1\t00001000\t00000400\t导出\n")), std::string::npos);
}

TEST_F(OutputTest, JsonIsAlwaysValidUtf8) {
  content.file = "bad\xFFname";
  const auto doc = nlohmann::json::parse(Write(OutputFormat::Json, OutputEncoding::Gbk));
  EXPECT_EQ(doc["file"], U8(u8"bad\uFFFDname"));
  const auto& rows = doc["pages"]["exports"]["rows"];
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][3], U8(u8"导出"));
  EXPECT_EQ(rows[1][2], "line\r\nbreak");
  EXPECT_EQ(rows[1][3], U8(u8"\uFFFD"));
  EXPECT_EQ(doc["listing"][0]["title"], U8(u8".子程序 sub_00401000"));
  EXPECT_EQ(doc["disasm"][0], nlohmann::json::parse(R"(["00001000",1,"55","PUSH EBP"])"));
}

}  // namespace
}  // namespace tessor
