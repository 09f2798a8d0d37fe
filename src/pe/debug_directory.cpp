#include "pe/debug_directory.h"

namespace tessor {

InfoRows ReadDebugDirectory(const PeHeaders& headers, ByteView file) {
  const DataDirectory& dir = headers.DataDirectories[kDebugDirectory];
  if (!headers.hasSignature || dir.Size <= 0) return {};
  const std::int64_t start = RvaToOffset(headers, dir.VirtualAddress);
  if (start < 0 || !file.Holds(static_cast<std::uint64_t>(start), 28)) return {};
  const auto at = static_cast<std::uint64_t>(start);
  return {
      {"调试表特性:", Hex8Text(file.U32(at))},
      {"调试表时间戳:", Hex8Text(file.U32(at + 4))},
      {"调试表主版本:", Hex8Text(file.U16(at + 8))},
      {"调试表次版本:", Hex8Text(file.U16(at + 10))},
      {"调试表类型:", Hex8Text(file.U32(at + 12))},
      {"调试表数据大小:", Hex8Text(file.U32(at + 16))},
      {"调试表原始地址:", Hex8Text(file.U32(at + 20))},
      {"调试表Ptr:", Hex8Text(file.U32(at + 24))},
  };
}

}  // namespace tessor
