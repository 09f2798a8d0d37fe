// The debug-directory reader over the headers of the same input.
#include "fuzz_support.h"
#include "pe/debug_directory.h"

using namespace tessor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteView file = fuzz::InputView(data, size);
  const PeHeaders headers = ReadPeHeaders(file);
  const InfoRows rows = ReadDebugDirectory(headers, file);
  if (!headers.hasSignature) TESSOR_FUZZ_CHECK(rows.empty());
  // One entry of 28 bytes gives a fixed, small number of rows.
  TESSOR_FUZZ_CHECK(rows.size() <= 16);
  return 0;
}
