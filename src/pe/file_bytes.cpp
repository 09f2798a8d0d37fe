#include "pe/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace tessor {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

std::FILE* OpenForReading(const std::filesystem::path& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"rb");
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

}  // namespace

SharedFileBytes ReadFileBytes(const std::filesystem::path& path, std::string& reason) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    reason = std::generic_category().message(EISDIR);
    return nullptr;
  }
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
  if (!file) {
    reason = std::generic_category().message(errno ? errno : ENOENT);
    return nullptr;
  }
  std::vector<std::uint8_t> bytes;
  const auto expected = std::filesystem::file_size(path, ec);
  if (!ec && expected > 0) {
    bytes.resize(static_cast<std::size_t>(expected));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  }
  // Whatever follows the size asked for (a file that grew, or one whose size cannot be
  // asked for) is read in blocks until the end.
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  int next = std::fgetc(file.get());
  while (next != EOF) {
    bytes.push_back(static_cast<std::uint8_t>(next));
    const std::size_t old = bytes.size();
    bytes.resize(old + kBlock);
    const std::size_t got = std::fread(bytes.data() + old, 1, kBlock, file.get());
    bytes.resize(old + got);
    next = got < kBlock ? EOF : std::fgetc(file.get());
  }
  if (std::ferror(file.get())) {
    reason = std::generic_category().message(errno ? errno : EIO);
    return nullptr;
  }
  return std::make_shared<const FileBytes>(std::move(bytes));
}

}  // namespace tessor
