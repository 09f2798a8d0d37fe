// The import reader over the headers of the same input.
#include "fuzz_support.h"
#include "pe/imports.h"

using namespace tessor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteView file = fuzz::InputView(data, size);
  const PeHeaders headers = ReadPeHeaders(file);
  const std::vector<ImportRow> rows = ReadImports(headers, file);
  if (!headers.hasSignature) TESSOR_FUZZ_CHECK(rows.empty());
  for (const auto& row : rows) TESSOR_FUZZ_CHECK(row[4].size() <= kNameLimit || row[4] == kByOrdinal);
  return 0;
}
