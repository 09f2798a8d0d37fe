#include "app/analysis.h"

#include <algorithm>
#include <system_error>

#include "pe/debug_directory.h"
#include "app/subroutine_names.h"
#include "pe/exports.h"
#include "signatures/markers.h"
#include "text/text_ops.h"

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
  Driver(Analysis& a, const AnalysisOptions& options, const AnalysisControl& control)
      : a_(a), options_(options), control_(control) {}

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
    MatchSignatures();

    if (!Step("保护标记", 0.4)) return false;
    ReportTable& markers = report.Table(ListId::Markers);
    markers.Clear();
    for (const auto& row : ScanMarkers(file)) markers.InsertTop(ToRow(row));

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

    if (!Step("反汇编", 0.92)) return false;
    SweepCodeSection();
    NameSubroutines(a_);
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

  // The last section named exactly ".text", else the first; its raw data, cut at the
  // end of the file, swept for as many bytes as the length chooser says.
  void SweepCodeSection() {
    const ByteView file = a_.file->View();
    const SectionEntry* code = nullptr;
    for (const auto& s : a_.sections)
      if (s.Name == ".text") code = &s;
    if (!code && !a_.sections.empty()) code = &a_.sections.front();
    ByteView bytes;
    if (code && code->PointerToRawData >= 0 && code->SizeOfRawData > 0)
      bytes = ByteView(file.Slice(static_cast<std::uint64_t>(code->PointerToRawData),
                                  static_cast<std::uint64_t>(code->SizeOfRawData)));

    a_.lengthText = options_.lengthText;
    std::int64_t length = 0;
    if (a_.lengthText == kWholeCodeSection) {
      length = static_cast<std::int64_t>(bytes.size());
    } else {
      if (LeadingInteger(a_.lengthText) > static_cast<std::int64_t>(bytes.size()))
        a_.lengthText = std::to_string(bytes.size());
      length = LeadingInteger(a_.lengthText);
    }

    SweepInput in;
    in.code = bytes;
    in.basePosition = code ? static_cast<std::uint32_t>(code->VirtualAddress) : 0;
    in.sweepLength = code ? length : 0;
    in.mode = a_.headers.isPe32Plus ? DecodeMode::Bits64 : DecodeMode::Bits32;
    in.imageBase = a_.imageBase;
    in.imageSize = static_cast<std::uint32_t>(a_.headers.SizeOfImage);
    in.wideAddresses = a_.headers.isPe32Plus;
    in.keepInstructions = options_.keepInstructions;
    SweepResult result = SweepCode(in);
    a_.subroutines = std::move(result.subroutines);
    a_.instructions = std::move(result.instructions);
  }

  // Each entry's first match past the headers, at the virtual address of the matched
  // offset; a match outside every section's raw data gives no row.
  void MatchSignatures() {
    ReportTable& list = a_.report.Table(ListId::Signatures);
    list.Clear();
    if (!options_.signatures) return;
    const SignatureMatcher& matcher = *options_.signatures;
    for (const auto& hit : matcher.Match(a_.file->View())) {
      const auto address = OffsetToAddress(a_.sections, a_.imageBase, hit.offset);
      if (!address) continue;
      const SignatureFile& file = matcher.library().files[hit.file];
      list.AppendRow({file.entries[hit.entry].name, AddressText(a_.headers, *address), file.library});
    }
  }

  bool Step(std::string_view stage, double fraction) {
    if (control_.cancel && control_.cancel->load(std::memory_order_relaxed)) return false;
    if (control_.progress) control_.progress(stage, fraction);
    return true;
  }

  Analysis& a_;
  const AnalysisOptions& options_;
  const AnalysisControl& control_;
};

}  // namespace

std::int64_t LeadingInteger(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    value = std::min<std::int64_t>(value * 10 + (text[at] - '0'), std::int64_t{1} << 31);
  value = negative ? -value : value;
  return std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
}

AnalysisSnapshot AnalyseBytes(SharedFileBytes file, const std::filesystem::path& path,
                              const AnalysisOptions& options, const AnalysisControl& control) {
  auto analysis = std::make_shared<Analysis>();
  analysis->filePath = path;
  analysis->file = file ? std::move(file) : std::make_shared<const FileBytes>(std::vector<std::uint8_t>{});
  if (!Driver(*analysis, options, control).Run()) return nullptr;
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

std::shared_ptr<const SignatureMatcher> LoadSignatureFolder(
    const std::filesystem::path& folder, const std::function<std::string(const std::filesystem::path&)>& fileNameText) {
  SignatureLibrary library;
  std::vector<std::filesystem::path> paths;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_directory(type_ec)) continue;
    const std::string name = fileNameText(it->path().filename());
    // "*.esig": the name ends in ".esig", letter case ignored.
    if (name.size() >= 5 && ToUpperAscii(name.substr(name.size() - 5)) == ".ESIG") paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());
  for (const auto& path : paths) {
    SignatureFile file;
    file.library = LibraryNameFromFileName(fileNameText(path.filename()));
    std::string reason;
    if (const auto bytes = ReadFileBytes(path, reason)) {
      const auto span = bytes->View().span();
      file.entries = ParseSignatureText(std::string_view(reinterpret_cast<const char*>(span.data()), span.size()));
    }
    library.files.push_back(std::move(file));
  }
  return std::make_shared<const SignatureMatcher>(std::move(library));
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
