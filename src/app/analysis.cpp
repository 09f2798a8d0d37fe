#include "app/analysis.h"

#include <system_error>

#include "pe/debug_directory.h"
#include "pe/exports.h"

namespace tessor {

namespace {

// The PE information list takes every row at its top, so it shows the rows in the
// reverse order of writing.
void WriteInfoRows(ReportTable& table, const InfoRows& rows) {
  for (const auto& [label, value] : rows) table.InsertTop({label, value});
}

template <std::size_t N>
ReportTable::Row ToRow(const std::array<std::string, N>& cells) {
  return ReportTable::Row(cells.begin(), cells.end());
}

// Runs the stages in their fixed order, each writing only its own lists.
class Driver {
 public:
  Driver(Analysis& a, const AnalysisControl& control) : a_(a), control_(control) {}

  bool Run() {
    const ByteView file = a_.file->View();
    Report& report = a_.report;
    ReportTable& info = report.Table(ListId::PeInfo);

    if (!Step("入口点", 0.0)) return false;
    info.Clear();
    a_.headers = ReadPeHeaders(file);
    WriteInfoRows(info, EntryPointRows(a_.headers, file));

    if (!Step("导入表", 0.1)) return false;
    a_.imports = ReadImports(a_.headers, file);
    ReportTable& imports = report.Table(ListId::Imports);
    imports.Clear();
    for (const auto& row : a_.imports) imports.AppendRow(ToRow(row));

    if (!Step("PE头", 0.2)) return false;
    report.Table(ListId::Sections).Clear();
    report.Table(ListId::Exports).Clear();
    WriteInfoRows(info, HeaderRows(a_.headers));
    a_.imageBase = a_.headers.hasSignature ? a_.headers.ImageBase : 0;
    a_.fileAlignment = a_.headers.hasSignature ? a_.headers.FileAlignment : 0;

    if (!Step("区段", 0.3)) return false;
    ReadSections();
    ReportTable& sections = report.Table(ListId::Sections);
    for (const auto& entry : a_.sections) sections.AppendRow(ToRow(SectionRow(entry)));

    if (!Step("PE资源", 0.5)) return false;
    a_.images = ScanEmbeddedImages(file);
    ReportTable& images = report.Table(ListId::Images);
    images.Clear();
    for (const auto& image : a_.images) images.InsertTop(ToRow(image.row));

    if (!Step("导出表", 0.7)) return false;
    const ExportTable exports = ReadExports(a_.headers, file);
    WriteInfoRows(info, exports.infoRows);
    ReportTable& export_list = report.Table(ListId::Exports);
    for (const auto& row : exports.rows) export_list.AppendRow(ToRow(row));

    if (!Step("调试表", 0.8)) return false;
    WriteInfoRows(info, ReadDebugDirectory(a_.headers, file));

    if (!Step("区段", 0.9)) return false;
    ReadSections();
    Step("完成", 1.0);
    return true;
  }

 private:
  // Each reading of the section table writes its own platform row.
  void ReadSections() {
    SectionTable table = ReadSectionTable(a_.file->View());
    a_.report.Table(ListId::PeInfo).InsertTop({kPlatformLabel, table.platform});
    a_.sections = std::move(table.sections);
  }

  bool Step(std::string_view stage, double fraction) {
    if (control_.cancel && control_.cancel->load(std::memory_order_relaxed)) return false;
    if (control_.progress) control_.progress(stage, fraction);
    return true;
  }

  Analysis& a_;
  const AnalysisControl& control_;
};

}  // namespace

AnalysisSnapshot AnalyseBytes(SharedFileBytes file, const std::filesystem::path& path,
                              const AnalysisOptions& options, const AnalysisControl& control) {
  (void)options;
  auto analysis = std::make_shared<Analysis>();
  analysis->filePath = path;
  analysis->file = file ? std::move(file) : std::make_shared<const FileBytes>(std::vector<std::uint8_t>{});
  if (!Driver(*analysis, control).Run()) return nullptr;
  return analysis;
}

AnalysisSnapshot AnalyseFile(const std::filesystem::path& path, const AnalysisOptions& options,
                             std::string& error, const AnalysisControl& control) {
  SharedFileBytes file = ReadFileBytes(path, error);
  if (!file) return nullptr;
  AnalysisSnapshot result = AnalyseBytes(std::move(file), path, options, control);
  if (!result) error = "cancelled";
  return result;
}

ExportResult ExportAllImages(const Analysis& analysis, const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    const auto name = folder.u8string();
    return {0, std::string(name.begin(), name.end()) + ": " + ec.message()};
  }
  // The list shows the image found last first; the files are written in list order.
  std::vector<EmbeddedImage> in_list_order(analysis.images.rbegin(), analysis.images.rend());
  return ExportAllImages(in_list_order, analysis.file->View(), folder);
}

}  // namespace tessor
