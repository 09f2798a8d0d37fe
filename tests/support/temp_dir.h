// A folder of its own for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessor::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes a file below the folder and returns its path.
  std::filesystem::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
  std::filesystem::path Write(const std::string& name, const std::string& text) const;

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path);

}  // namespace tessor::testing
