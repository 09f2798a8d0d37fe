// PE images embedded in the analysed file, and writing them out to files.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pe/file_bytes.h"

namespace tessor {

struct EmbeddedImage {
  std::uint64_t offset = 0;  // 0-based offset of the "MZ"
  std::uint64_t length = 0;  // size on disk, clamped to the end of the file
  std::uint16_t subsystem = 0;
  std::uint16_t characteristics = 0;
  // "PE文件", "起点", "长度", "运行平台", "项目格式", "后缀名".
  std::array<std::string, 6> row;
};

// Every image found, in file order. A candidate is an "MZ" at offset 1 or later whose
// 32-bit e_lfanew points inside the file at "PE\0\0", with 1 to 96 sections whose table
// lies inside the file. The search resumes right after each candidate's "MZ".
std::vector<EmbeddedImage> ScanEmbeddedImages(ByteView file);

// The name an image is written under: column 0 plus ".sys" for the native subsystem,
// ".dll" for a DLL, ".exe" otherwise.
std::string ExportFileName(const EmbeddedImage& image);

struct ExportResult {
  std::size_t written = 0;
  std::string firstFailure;  // empty when every file was written
};

// Writes each image into `folder` (which must exist), in the order given.
ExportResult ExportAllImages(const std::vector<EmbeddedImage>& images, ByteView file,
                             const std::filesystem::path& folder);

}  // namespace tessor
