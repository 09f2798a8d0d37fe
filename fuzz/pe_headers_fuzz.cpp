// The header load and the rows built from it: ReadPeHeaders, the conversion of RVAs,
// EntryPointRows and HeaderRows.
#include "fuzz_support.h"
#include "pe/pe_headers.h"

using namespace tessor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteView file = fuzz::InputView(data, size);
  const PeHeaders headers = ReadPeHeaders(file);
  const InfoRows entry = EntryPointRows(headers, file);
  const InfoRows rows = HeaderRows(headers);
  (void)ImageBaseText(headers);

  if (!headers.hasSignature) {
    TESSOR_FUZZ_CHECK(entry.empty());
    TESSOR_FUZZ_CHECK(rows.empty());
    TESSOR_FUZZ_CHECK(headers.conversionList.empty());
  }
  TESSOR_FUZZ_CHECK(headers.conversionList.empty() ||
                    headers.conversionList.size() == headers.NumberOfSections);

  // Every RVA the file names, converted and read as a name, as the readers do.
  auto probe = [&](std::int64_t rva) {
    const std::int64_t offset = RvaToOffset(headers, rva);
    const auto name = ReadZeroTerminated(file, offset, kNameLimit);
    if (name) TESSOR_FUZZ_CHECK(name->size() <= kNameLimit);
  };
  probe(headers.AddressOfEntryPoint);
  probe(headers.BaseOfCode);
  for (const auto& directory : headers.DataDirectories) {
    probe(directory.VirtualAddress);
    probe(std::int64_t{directory.VirtualAddress} + directory.Size);
  }
  for (const auto& section : headers.conversionList) {
    probe(section.VirtualAddress);
    probe(std::int64_t{section.VirtualAddress} + section.VirtualSize);
  }
  return 0;
}
