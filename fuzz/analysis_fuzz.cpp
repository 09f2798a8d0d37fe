// The whole driver over bytes in memory. Each input is analysed twice: the two reports
// must be equal, as every analysis starts from a clean state (the first of the two
// follows the analysis of another input).
#include "app/analysis.h"
#include "fuzz_support.h"

using namespace tessor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto bytes = std::make_shared<const FileBytes>(std::vector<std::uint8_t>(data, data + size));
  const AnalysisOptions options;
  const AnalysisSnapshot first = AnalyseBytes(bytes, "input.exe", options);
  const AnalysisSnapshot second = AnalyseBytes(bytes, "input.exe", options);
  TESSOR_FUZZ_CHECK(first && second);
  TESSOR_FUZZ_CHECK(first->file.get() == bytes.get());
  for (const auto& def : kLists) {
    const ReportTable& a = first->report.Table(def.id);
    const ReportTable& b = second->report.Table(def.id);
    TESSOR_FUZZ_CHECK(a.RowCount() == b.RowCount());
    for (std::size_t r = 0; r < a.RowCount(); ++r) {
      TESSOR_FUZZ_CHECK(a.RowAt(r).size() == a.ColumnCount());
      TESSOR_FUZZ_CHECK(a.RowAt(r) == b.RowAt(r));
    }
  }
  return 0;
}
