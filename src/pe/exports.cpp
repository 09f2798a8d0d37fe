#include "pe/exports.h"

#include "text/hex.h"

namespace tessor {

ExportTable ReadExports(const PeHeaders& headers, ByteView file) {
  ExportTable table;
  const DataDirectory& dir = headers.DataDirectories[kExportDirectory];
  if (!headers.hasSignature || dir.Size <= 0) return table;
  const std::int64_t start = RvaToOffset(headers, dir.VirtualAddress);
  if (start < 0 || !file.Holds(static_cast<std::uint64_t>(start), 40)) return table;
  const auto at = static_cast<std::uint64_t>(start);
  auto s32 = [&](std::uint64_t offset) -> std::int64_t { return static_cast<std::int32_t>(file.U32(offset)); };
  const std::int64_t characteristics = s32(at), timestamp = s32(at + 4);
  const std::uint16_t major = file.U16(at + 8), minor = file.U16(at + 10);
  const std::int64_t name = s32(at + 12), base = s32(at + 16), functions = s32(at + 20), names = s32(at + 24);
  const std::int64_t address_of_functions = s32(at + 28), address_of_names = s32(at + 32),
                     address_of_ordinals = s32(at + 36);
  if (name == 0) return table;

  const auto module = ReadZeroTerminated(file, RvaToOffset(headers, name), kNameLimit);
  table.infoRows = {
      {"导出表特性:", Hex8Text(characteristics)},
      {"导出表时间戳:", Hex8Text(timestamp)},
      {"导出表版本:", std::to_string(major) + "." + std::to_string(minor)},
      {"导出表名称:", Hex8Text(name)},
      {"导出表名称:", module.value_or(std::string())},
      {"导出表基址:", Hex8Text(base)},
      {"导出表函数数量:", Hex8Text(functions)},
      {"导出表名称数量:", Hex8Text(names)},
      {"导出表函数地址:", Hex8Text(address_of_functions)},
      {"导出表名称地址:", Hex8Text(address_of_names)},
      {"导出表名称序数地址:", Hex8Text(address_of_ordinals)},
  };

  const std::int64_t ordinals = RvaToOffset(headers, address_of_ordinals);
  const std::int64_t function_rvas = RvaToOffset(headers, address_of_functions);
  const std::int64_t name_rvas = RvaToOffset(headers, address_of_names);
  // NumberOfNames is unsigned; the names array itself bounds the walk, since every
  // entry must be read from the file.
  const auto count = static_cast<std::uint32_t>(names);
  std::uint64_t name_budget = (std::uint64_t{16} << 20) + 16 * file.size();
  auto readable = [&](std::int64_t offset, std::uint64_t width) {
    return offset >= 0 && file.Holds(static_cast<std::uint64_t>(offset), width);
  };
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::int64_t ordinal_at = ordinals + 2 * static_cast<std::int64_t>(i);
    const std::int64_t name_rva_at = name_rvas + 4 * static_cast<std::int64_t>(i);
    if (!readable(ordinal_at, 2) || !readable(name_rva_at, 4)) break;
    const std::uint16_t index = file.U16(static_cast<std::uint64_t>(ordinal_at));
    const std::int64_t function_at = function_rvas + 4 * std::int64_t{index};
    if (!readable(function_at, 4)) break;
    const std::int64_t function = static_cast<std::int32_t>(file.U32(static_cast<std::uint64_t>(function_at)));
    const std::int64_t name_rva = static_cast<std::int32_t>(file.U32(static_cast<std::uint64_t>(name_rva_at)));
    auto text = ReadZeroTerminated(file, RvaToOffset(headers, name_rva), kNameLimit);
    if (!text || text->size() > name_budget) break;
    name_budget -= text->size();
    table.rows.push_back({Hex4Text(base + index), Hex8Text(function), Hex8Text(RvaToOffset(headers, function)),
                          std::move(*text)});
  }
  return table;
}

}  // namespace tessor
