// The embedded-image scan and the names the images are written under.
#include "fuzz_support.h"
#include "pe/embedded_images.h"

#include <string_view>

using namespace tessor;

namespace {

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteView file = fuzz::InputView(data, size);
  const std::vector<EmbeddedImage> images = ScanEmbeddedImages(file);
  std::uint64_t previous = 0;
  for (const auto& image : images) {
    // In file order, never the file's own header, and wholly inside the file.
    TESSOR_FUZZ_CHECK(image.offset > previous);
    TESSOR_FUZZ_CHECK(image.offset + 1 < size);
    TESSOR_FUZZ_CHECK(file.U16(image.offset) == 0x5A4D);
    TESSOR_FUZZ_CHECK(image.length <= size - image.offset);
    previous = image.offset;
    const std::string name = ExportFileName(image);
    TESSOR_FUZZ_CHECK(EndsWith(name, ".sys") || EndsWith(name, ".dll") || EndsWith(name, ".exe"));
  }
  return 0;
}
