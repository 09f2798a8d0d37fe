#include "pe/imports.h"

#include "text/hex.h"

namespace tessor {

namespace {

// Reads a thunk of the image's width at a file offset, when it lies wholly inside.
std::optional<std::uint64_t> ReadThunk(ByteView file, std::int64_t offset, std::uint64_t width) {
  if (offset < 0 || !file.Holds(static_cast<std::uint64_t>(offset), width)) return std::nullopt;
  const auto at = static_cast<std::uint64_t>(offset);
  return width == 8 ? file.U64(at) : file.U32(at);
}

}  // namespace

std::vector<ImportRow> ReadImports(const PeHeaders& headers, ByteView file) {
  std::vector<ImportRow> rows;
  const DataDirectory& dir = headers.DataDirectories[kImportDirectory];
  if (!headers.hasSignature || dir.Size <= 0) return rows;

  const std::uint64_t width = headers.isPe32Plus ? 8 : 4;
  const std::uint64_t ordinal_flag = headers.isPe32Plus ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 31);
  const int value_digits = headers.isPe32Plus ? 16 : 8;
  // In a well-formed file every import slot is a distinct place in the file, so the
  // slots of all descriptors together never outnumber the file's thunk-sized pieces.
  // Hostile descriptor chains that reuse the same slots end there.
  std::uint64_t slot_budget = file.size() / width;
  // Names count against a budget of their own, so many slots naming one long text
  // cannot multiply it without bound.
  std::uint64_t name_budget = (std::uint64_t{16} << 20) + 16 * file.size();

  const std::int64_t descriptors = RvaToOffset(headers, dir.VirtualAddress);
  for (std::int64_t k = 0;; ++k) {
    const std::int64_t d = descriptors + 20 * k;
    if (d < 0 || !file.Holds(static_cast<std::uint64_t>(d), 20)) break;
    const auto at = static_cast<std::uint64_t>(d);
    const std::int64_t lookup_rva = static_cast<std::int32_t>(file.U32(at));
    const std::int32_t name = static_cast<std::int32_t>(file.U32(at + 12));
    const std::int64_t first_thunk = static_cast<std::int32_t>(file.U32(at + 16));
    if (name == 0) break;

    const std::int64_t slots = RvaToOffset(headers, first_thunk);
    const std::int64_t lookups = lookup_rva != 0 ? RvaToOffset(headers, lookup_rva) : 0;
    for (std::int64_t o = 0;; o += static_cast<std::int64_t>(width)) {
      if (slot_budget == 0) return rows;
      --slot_budget;
      const auto slot = ReadThunk(file, slots + o, width);
      if (!slot) break;
      const auto lookup = lookup_rva != 0 ? ReadThunk(file, lookups + o, width) : slot;
      if (!lookup) break;
      if (*slot == 0) break;

      ImportRow row;
      row[0] = Hex8Text(first_thunk + o);
      row[1] = Hex8Text(slots + o);
      row[2] = HexDigits(*slot, value_digits);
      if (*lookup & ordinal_flag) {
        row[3] = HexDigits(*lookup & 0xFFFF, 4);
        row[4] = kByOrdinal;
      } else {
        const std::int64_t hint_name = RvaToOffset(headers, static_cast<std::int32_t>(*lookup & 0xFFFFFFFF));
        if (hint_name < 0 || !file.Holds(static_cast<std::uint64_t>(hint_name), 2)) break;
        auto text = ReadZeroTerminated(file, hint_name + 2, kNameLimit);
        if (!text || text->size() > name_budget) break;
        name_budget -= text->size();
        row[3] = HexDigits(file.U16(static_cast<std::uint64_t>(hint_name)), 4);
        row[4] = std::move(*text);
      }
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

}  // namespace tessor
