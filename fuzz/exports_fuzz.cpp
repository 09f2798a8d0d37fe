// The export reader over the headers of the same input.
#include "fuzz_support.h"
#include "pe/exports.h"

using namespace tessor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteView file = fuzz::InputView(data, size);
  const PeHeaders headers = ReadPeHeaders(file);
  const ExportTable table = ReadExports(headers, file);
  if (!headers.hasSignature) {
    TESSOR_FUZZ_CHECK(table.rows.empty());
    TESSOR_FUZZ_CHECK(table.infoRows.empty());
  }
  // Every listed name takes a 4-byte slot of AddressOfNames in the file.
  TESSOR_FUZZ_CHECK(table.rows.size() <= size / 4);
  return 0;
}
