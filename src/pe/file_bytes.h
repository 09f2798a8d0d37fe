// The analysed file, read once into memory and shared by every stage, and the one
// bounds-checked view through which the stages read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tessor {

// A read-only view of file bytes. Every read is checked against the end: a slice that
// runs past it yields only the bytes present, and the little-endian readers count
// missing bytes as zero. Offsets are 0-based and 64-bit, so no offset computed from
// file fields can wrap.
class ByteView {
 public:
  ByteView() = default;
  explicit ByteView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  std::span<const std::uint8_t> span() const { return bytes_; }

  // True when [offset, offset + length) lies wholly inside the bytes.
  bool Holds(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  // The bytes present from offset, at most `length` of them.
  std::span<const std::uint8_t> Slice(std::uint64_t offset, std::uint64_t length) const {
    if (offset >= bytes_.size()) return {};
    const std::uint64_t left = bytes_.size() - offset;
    return bytes_.subspan(static_cast<std::size_t>(offset),
                          static_cast<std::size_t>(length < left ? length : left));
  }

  std::uint8_t U8(std::uint64_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }
  std::uint16_t U16(std::uint64_t offset) const { return static_cast<std::uint16_t>(Little(offset, 2)); }
  std::uint32_t U32(std::uint64_t offset) const { return static_cast<std::uint32_t>(Little(offset, 4)); }
  std::uint64_t U64(std::uint64_t offset) const { return Little(offset, 8); }

 private:
  std::uint64_t Little(std::uint64_t offset, int count) const {
    std::uint64_t value = 0;
    if (offset >= bytes_.size()) return 0;
    const std::uint64_t present = bytes_.size() - offset;
    const int n = present < static_cast<std::uint64_t>(count) ? static_cast<int>(present) : count;
    for (int i = 0; i < n; ++i) value |= std::uint64_t{bytes_[offset + static_cast<std::size_t>(i)]} << (8 * i);
    return value;
  }

  std::span<const std::uint8_t> bytes_;
};

// The whole content of one file, immutable once read.
class FileBytes {
 public:
  explicit FileBytes(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  ByteView View() const { return ByteView(bytes_); }
  std::uint64_t size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

using SharedFileBytes = std::shared_ptr<const FileBytes>;

// Reads the whole file. On failure returns nullptr and sets `reason` to a short
// explanation ("No such file or directory", "Is a directory", ...).
SharedFileBytes ReadFileBytes(const std::filesystem::path& path, std::string& reason);

}  // namespace tessor
