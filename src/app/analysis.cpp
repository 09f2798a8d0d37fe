#include "app/analysis.h"

namespace tessor {

AnalysisSnapshot AnalyseFile(const std::filesystem::path& path, const AnalysisOptions& options,
                             std::string& error) {
  (void)options;
  auto analysis = std::make_shared<Analysis>();
  analysis->filePath = path;
  analysis->file = ReadFileBytes(path, error);
  if (!analysis->file) return nullptr;
  return analysis;
}

}  // namespace tessor
