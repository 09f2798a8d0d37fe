#include "app/subroutine_names.h"

#include "text/hex.h"
#include "text/text_ops.h"

namespace tessor {

void NameSubroutines(Analysis& a) {
  const ReportTable& signatures = a.report.Table(ListId::Signatures);
  const ReportTable& exports = a.report.Table(ListId::Exports);
  const ReportTable& imports = a.report.Table(ListId::Imports);
  auto address_of_rva = [&](const std::string& rva_text) {
    return AddressText(a.headers, a.imageBase + static_cast<std::uint32_t>(HexToInt(rva_text)));
  };

  // Signature names: the first row at the entry's address.
  for (auto& entry : a.subroutines) {
    for (std::size_t r = 0; r < signatures.RowCount(); ++r) {
      if (signatures.Cell(r, 1) == entry.address) {
        entry.title = signatures.Cell(r, 0);
        entry.library = signatures.Cell(r, 2);
        break;
      }
    }
  }

  // Export names: later rows win over earlier ones and over signatures.
  for (std::size_t r = 0; r < exports.RowCount(); ++r) {
    const std::string address = address_of_rva(exports.Cell(r, 1));
    for (auto& entry : a.subroutines)
      if (entry.address == address) entry.title = exports.Cell(r, 3);
  }

  // Import-thunk names: the bracketed address of a jump through the import table.
  std::vector<std::string> import_addresses;
  import_addresses.reserve(imports.RowCount());
  for (std::size_t r = 0; r < imports.RowCount(); ++r) import_addresses.push_back(address_of_rva(imports.Cell(r, 0)));
  ReportTable& list = a.report.Table(ListId::Subroutines);
  list.Clear();
  for (auto& entry : a.subroutines) {
    const TextPos open = Find(entry.title, "[");
    if (open >= 6) {
      const TextPos close = Find(entry.title, "]");
      const std::string inner = Mid(entry.title, open + 1, close - open - 1);
      for (std::size_t r = 0; r < imports.RowCount(); ++r) {
        if (import_addresses[r] == inner) {
          entry.title = imports.Cell(r, 4);
          entry.listing = entry.title + "()";
        }
      }
    }
    list.AppendRow({entry.title, entry.address, entry.library, entry.thunkLabel});
  }
}

}  // namespace tessor
