// One analysis of one file and the immutable snapshot it produces.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/report.h"
#include "disasm/subroutines.h"
#include "pe/embedded_images.h"
#include "pe/file_bytes.h"
#include "pe/imports.h"
#include "pe/pe_headers.h"
#include "pe/sections.h"
#include "signatures/signature_matcher.h"

namespace tessor {

// What the user chose for an analysis.
struct AnalysisOptions {
  // The text of the length chooser: a decimal count of bytes, or "整个.text" for the
  // whole code section.
  std::string lengthText = "2000";
  // Keep every swept instruction in the snapshot (for listing them).
  bool keepInstructions = false;
  // The signature files loaded at start-up; none when null.
  std::shared_ptr<const SignatureMatcher> signatures;
};

// The whole-section choice of the length chooser.
inline constexpr const char* kWholeCodeSection = "整个.text";

// The leading decimal integer of a text: blanks, one sign, then digits up to the first
// other character; 0 when the text does not begin with a number. Clamped to 32 bits.
std::int64_t LeadingInteger(std::string_view text);

// Loads every *.esig file of a folder, in order of their names. `fileNameText` gives a
// file name as the system's GBK text. A file that cannot be read counts as empty; a
// missing folder gives an empty library.
std::shared_ptr<const SignatureMatcher> LoadSignatureFolder(
    const std::filesystem::path& folder, const std::function<std::string(const std::filesystem::path&)>& fileNameText);

// Progress and cancellation of a running analysis. The driver reports each stage as it
// starts, with the fraction of the work done, and checks `cancel` between stages.
struct AnalysisControl {
  std::function<void(std::string_view stage, double fraction)> progress;
  const std::atomic<bool>* cancel = nullptr;
};

// Everything one analysis found. Front ends only read it; translation jobs keep it
// alive for as long as they run.
struct Analysis {
  std::filesystem::path filePath;
  SharedFileBytes file;
  PeHeaders headers;
  std::vector<ImportRow> imports;
  std::uint64_t imageBase = 0;
  std::int32_t fileAlignment = 0;
  std::vector<SectionEntry> sections;  // the section table as the last read gave it
  std::vector<EmbeddedImage> images;   // in file order
  std::vector<SubroutineEntry> subroutines;  // element i is row i of the subroutine list
  std::vector<SweptInstruction> instructions;  // when the options asked for them
  std::string lengthText;  // the length chooser's text after the analysis (it may be corrected)
  Report report;
};

using AnalysisSnapshot = std::shared_ptr<const Analysis>;

// Analyses the file at `path`. When the file cannot be read (or the analysis was
// cancelled) the result is nullptr and `error` says why; every other file, PE or not,
// gives a snapshot.
AnalysisSnapshot AnalyseFile(const std::filesystem::path& path, const AnalysisOptions& options,
                             std::string& error, const AnalysisControl& control = {});

// The same over bytes already in memory; nullptr only when cancelled.
AnalysisSnapshot AnalyseBytes(SharedFileBytes file, const std::filesystem::path& path,
                              const AnalysisOptions& options, const AnalysisControl& control = {});

// Writes every embedded image of the analysis into `folder`, creating it when needed.
ExportResult ExportAllImages(const Analysis& analysis, const std::filesystem::path& folder);

}  // namespace tessor
