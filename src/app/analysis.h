// One analysis of one file and the immutable snapshot it produces.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/report.h"
#include "pe/file_bytes.h"

namespace tessor {

// What the user chose for an analysis.
struct AnalysisOptions {
  // The text of the length chooser: a decimal count of bytes, or "整个.text" for the
  // whole code section.
  std::string lengthText = "2000";
};

// Everything one analysis found. Front ends only read it; translation jobs keep it
// alive for as long as they run.
struct Analysis {
  std::filesystem::path filePath;
  SharedFileBytes file;
  Report report;
};

using AnalysisSnapshot = std::shared_ptr<const Analysis>;

// Analyses the file at `path`. When the file cannot be read the result is nullptr and
// `error` says why; every other file, PE or not, gives a snapshot.
AnalysisSnapshot AnalyseFile(const std::filesystem::path& path, const AnalysisOptions& options,
                             std::string& error);

}  // namespace tessor
