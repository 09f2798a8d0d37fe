#include "cli/encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace tessor {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

#ifdef _WIN32

// One conversion through a wide string, failing on any sequence the code page lacks.
bool Convert(UINT from, UINT to, std::string_view in, std::string& out, bool strict) {
  if (in.empty()) return true;
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  const int wide_len = MultiByteToWideChar(from, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (wide_len <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(wide_len), L'\0');
  MultiByteToWideChar(from, flags, in.data(), static_cast<int>(in.size()), wide.data(), wide_len);
  const int len = WideCharToMultiByte(to, 0, wide.data(), wide_len, nullptr, 0, nullptr, nullptr);
  const std::size_t old = out.size();
  out.resize(old + static_cast<std::size_t>(len));
  WideCharToMultiByte(to, 0, wide.data(), wide_len, out.data() + old, len, nullptr, nullptr);
  return true;
}

#else

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`, replacing each byte that starts no valid sequence by `bad`.
  std::string Run(std::string_view in, std::string_view bad) const {
    std::string out;
    out.reserve(in.size() * 3 / 2 + 4);
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    char buffer[4096];
    while (src_left > 0) {
      char* dst = buffer;
      std::size_t dst_left = sizeof buffer;
      const std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
        // EILSEQ or EINVAL (a sequence cut off at the end): replace one byte, go on.
        out.append(bad);
        ++src;
        --src_left;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

#endif

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
#ifdef _WIN32
  // Step by GBK character so that one bad byte spoils only itself.
  std::string out;
  out.reserve(gbk.size() * 3 / 2 + 4);
  std::size_t run = 0;  // start of the pending run of ASCII bytes
  std::size_t at = 0;
  while (at < gbk.size()) {
    if (static_cast<unsigned char>(gbk[at]) < 0x80) {
      ++at;
      continue;
    }
    out.append(gbk.substr(run, at - run));
    if (at + 1 < gbk.size() && Convert(936, CP_UTF8, gbk.substr(at, 2), out, true)) {
      at += 2;
    } else if (Convert(936, CP_UTF8, gbk.substr(at, 1), out, true)) {
      at += 1;
    } else {
      out.append(kReplacement);
      at += 1;
    }
    run = at;
  }
  out.append(gbk.substr(run));
  return out;
#else
  thread_local const Converter converter("UTF-8", "CP936");
  return converter.Run(gbk, kReplacement);
#endif
}

std::string Utf8ToGbk(std::string_view utf8) {
#ifdef _WIN32
  std::string out;
  if (!Convert(CP_UTF8, 936, utf8, out, false)) return std::string(utf8);
  return out;
#else
  thread_local const Converter converter("CP936", "UTF-8");
  return converter.Run(utf8, "?");
#endif
}

}  // namespace tessor
