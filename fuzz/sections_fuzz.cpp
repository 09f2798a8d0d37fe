// The section-table reader: the platform row and every section list row.
#include "fuzz_support.h"
#include "pe/sections.h"

#include <string_view>

using namespace tessor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteView file = fuzz::InputView(data, size);
  const SectionTable table = ReadSectionTable(file);
  TESSOR_FUZZ_CHECK(table.platform == "X64" || table.platform == "X32");
  TESSOR_FUZZ_CHECK(table.hasSignature || table.platform == "X32");
  TESSOR_FUZZ_CHECK(table.sections.size() <= 0xFFFF);
  for (const auto& section : table.sections) {
    TESSOR_FUZZ_CHECK(section.Name.size() <= 8);
    const auto row = SectionRow(section);
    for (std::size_t i = 1; i < row.size(); ++i) TESSOR_FUZZ_CHECK(row[i].size() == 8);
  }
  return 0;
}
