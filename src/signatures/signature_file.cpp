#include "signatures/signature_file.h"

#include "text/text_ops.h"

namespace tessor {

std::vector<SignatureEntry> ParseSignatureText(std::string_view content) {
  const std::size_t zero = content.find('\0');
  if (zero != std::string_view::npos) content = content.substr(0, zero);
  std::vector<SignatureEntry> entries;
  for (const auto& line : SplitLines(content)) {
    if (!Contains(line, ":")) continue;
    auto fields = Split(line, ":");
    SignatureEntry entry;
    if (!fields.empty()) entry.name = std::move(fields[0]);
    // A line whose only colon ends it has no second field: an empty pattern.
    if (fields.size() > 1) entry.pattern = std::move(fields[1]);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string LibraryNameFromFileName(std::string_view fileName) { return ReplaceAll(fileName, ".esig", ""); }

}  // namespace tessor
