// Signature files and the one-pass matcher: the input is split at its first zero byte
// into a signature file's text and the data it is matched against. Every hit must be
// the reference search's first match past the headers.
#include <cstring>

#include "fuzz_support.h"
#include "signatures/markers.h"
#include "signatures/signature_matcher.h"

using namespace tessor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  const std::size_t text_size = zero ? static_cast<std::size_t>(zero - data) : size;
  SignatureLibrary library;
  library.files.push_back({"fuzz", ParseSignatureText(std::string_view(reinterpret_cast<const char*>(data), text_size))});
  const ByteView file = fuzz::InputView(data, size);
  const SignatureMatcher matcher(library);
  for (const auto& hit : matcher.Match(file)) {
    const auto& entry = library.files[hit.file].entries[hit.entry];
    TESSOR_FUZZ_CHECK(hit.offset >= kFirstSignatureOffset);
    TESSOR_FUZZ_CHECK(FindPattern(file, entry.pattern, static_cast<std::int32_t>(kFirstSignatureOffset + 1)) ==
                      static_cast<std::int32_t>(hit.offset + 1));
  }
  TESSOR_FUZZ_CHECK(ScanMarkers(file).size() <= HeadMarkers().size() + WholeFileMarkers().size());
  return 0;
}
