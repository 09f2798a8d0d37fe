// The translation of a listing with its context, both taken from the input. The input
// is five parts separated by zero bytes, each read as text (missing parts are empty):
//   1. the listing;
//   2. import rows, one a line: column 0 ("Thunk RAV"), a tab, column 4 ("API 名称");
//   3. subroutines, one a line: title, a tab, thunkLabel, a tab, address;
//   4. the image base in hexadecimal on the first line, then one section a line:
//      VirtualAddress, SizeOfRawData and PointerToRawData in hexadecimal, by blanks;
//   5. the file's bytes, as they are.
// The fast path must give the reference text, and every non-empty result ends with a
// line break.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "pseudocode/translate.h"

using namespace tessor;

namespace {

std::vector<std::string_view> Cut(std::string_view text, char separator, std::size_t most) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < most) {
    const std::size_t at = text.find(separator);
    if (at == std::string_view::npos) break;
    parts.push_back(text.substr(0, at));
    text.remove_prefix(at + 1);
  }
  parts.push_back(text);
  return parts;
}

std::uint64_t Hex(std::string_view text) {
  return std::strtoull(std::string(text).c_str(), nullptr, 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts = Cut(input, '\0', 5);
  parts.resize(5);

  std::vector<ImportRow> imports;
  for (const auto line : Cut(parts[1], '\n', 64)) {
    if (line.empty()) continue;
    const auto cells = Cut(line, '\t', 2);
    imports.push_back({std::string(cells[0]), "", "", "", cells.size() > 1 ? std::string(cells[1]) : ""});
  }
  std::vector<SubroutineEntry> subroutines;
  for (const auto line : Cut(parts[2], '\n', 64)) {
    if (line.empty()) continue;
    auto cells = Cut(line, '\t', 3);
    cells.resize(3);
    SubroutineEntry entry;
    entry.title = cells[0];
    entry.thunkLabel = cells[1];
    entry.address = cells[2];
    subroutines.push_back(entry);
  }
  const auto header = Cut(parts[3], '\n', 16);
  const std::uint64_t imageBase = Hex(header[0]);
  std::vector<SectionEntry> sections;
  for (std::size_t i = 1; i < header.size(); ++i) {
    auto fields = Cut(header[i], ' ', 3);
    fields.resize(3);
    SectionEntry s;
    s.VirtualAddress = static_cast<std::int32_t>(Hex(fields[0]));
    s.SizeOfRawData = static_cast<std::int32_t>(Hex(fields[1]));
    s.PointerToRawData = static_cast<std::int32_t>(Hex(fields[2]));
    sections.push_back(s);
  }
  auto file = std::make_shared<const FileBytes>(std::vector<std::uint8_t>(parts[4].begin(), parts[4].end()));

  const TranslationContext context =
      MakeTranslationContext(imports, subroutines, imageBase, std::move(sections), std::move(file));
  const std::string text = TranslateListing(parts[0], context);
  TESSOR_FUZZ_CHECK(text == TranslateListingReference(parts[0], context));
  TESSOR_FUZZ_CHECK(text.empty() || text.ends_with("\r\n"));
  return 0;
}
