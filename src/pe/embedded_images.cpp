#include "pe/embedded_images.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>

#include "pe/sections.h"
#include "text/hex.h"

namespace tessor {

namespace {

constexpr std::uint16_t kMaxSections = 96;
constexpr std::uint16_t kDllFlag = 0x2000;

struct Kind {
  const char* text;
  const char* suffix;
};

// By the low byte of the Subsystem field, as two hexadecimal digits.
Kind KindOf(std::uint16_t subsystem) {
  const std::string key = ByteToHex(static_cast<std::uint8_t>(subsystem & 0xFF));
  if (key == "01") return {"驱动程序", ".sys"};
  if (key == "02") return {"Windows图形界面", ".exe ，.dll"};
  if (key == "03") return {"Windows控制台", ".exe"};
  return {"", ""};
}

// The image whose "MZ" is at `mz`, or nothing when the candidate fails a test.
std::optional<EmbeddedImage> ReadCandidate(ByteView file, std::uint64_t mz) {
  const std::uint32_t e_lfanew = file.U32(mz + 60);
  if (!file.Holds(mz, 64) || !file.Holds(mz + e_lfanew, 24)) return std::nullopt;
  const std::uint64_t nt = mz + e_lfanew;
  if (file.U32(nt) != 0x00004550) return std::nullopt;
  const std::uint16_t count = file.U16(nt + 6);
  const std::uint64_t table = nt + 24 + file.U16(nt + 20);
  if (count < 1 || count > kMaxSections || !file.Holds(table, kSectionHeaderSize * count)) return std::nullopt;

  std::int64_t size = 0;
  for (std::uint16_t i = 0; i < count; ++i) {
    const SectionEntry s = ReadSectionEntry(file, table + kSectionHeaderSize * i);
    size = std::max(size, std::int64_t{s.PointerToRawData} + s.SizeOfRawData);
  }
  EmbeddedImage image;
  image.offset = mz;
  image.length = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), file.size() - mz);
  image.subsystem = file.U16(nt + 92);
  image.characteristics = file.U16(nt + 22);
  const Kind kind = KindOf(image.subsystem);
  const std::string start = std::to_string(mz + 1);
  image.row = {"PE" + start, start, std::to_string(image.length), BytesToHexText(file.Slice(nt + 4, 2)), kind.text,
               kind.suffix};
  return image;
}

}  // namespace

std::vector<EmbeddedImage> ScanEmbeddedImages(ByteView file) {
  std::vector<EmbeddedImage> images;
  const auto bytes = file.span();
  if (bytes.size() < 2) return images;
  const auto* base = bytes.data();
  std::uint64_t at = 1;  // the file's own header at offset 0 is never a candidate
  while (at + 1 < bytes.size()) {
    const void* hit = std::memchr(base + at, 'M', bytes.size() - 1 - at);
    if (!hit) break;
    const auto mz = static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - base);
    if (bytes[mz + 1] == 'Z') {
      if (auto image = ReadCandidate(file, mz)) images.push_back(std::move(*image));
    }
    at = mz + 1;
  }
  return images;
}

std::string ExportFileName(const EmbeddedImage& image) {
  if ((image.subsystem & 0xFF) == 1) return image.row[0] + ".sys";
  if (image.characteristics & kDllFlag) return image.row[0] + ".dll";
  return image.row[0] + ".exe";
}

ExportResult ExportAllImages(const std::vector<EmbeddedImage>& images, ByteView file,
                             const std::filesystem::path& folder) {
  ExportResult result;
  for (const auto& image : images) {
    const auto path = folder / ExportFileName(image);
    const auto bytes = file.Slice(image.offset, image.length);
    errno = 0;
#ifdef _WIN32
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(_wfopen(path.c_str(), L"wb"), &std::fclose);
#else
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"), &std::fclose);
#endif
    bool ok = out && std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size();
    const int err = errno;
    if (out) ok = (std::fclose(out.release()) == 0) && ok;
    if (ok) {
      ++result.written;
    } else if (result.firstFailure.empty()) {
      const auto name = path.u8string();
      result.firstFailure = std::string(name.begin(), name.end()) + ": " + std::generic_category().message(err ? err : EIO);
    }
  }
  return result;
}

}  // namespace tessor
