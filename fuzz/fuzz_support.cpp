// The start-up of every fuzz target. The clang build compiles escaped copies of the
// sources (cmake/EscapedSources.cmake); a target whose narrow literals are not GBK bytes
// would fuzz texts unlike the real ones, so it refuses to run.
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static const char kText[] = "分析中";
  static const unsigned char kGbk[] = {0xB7, 0xD6, 0xCE, 0xF6, 0xD6, 0xD0, 0x00};
  static const char8_t kUtf8[] = u8"分";
  if (sizeof(kText) != sizeof(kGbk) || std::memcmp(kText, kGbk, sizeof(kGbk)) != 0 ||
      sizeof(kUtf8) != 4 || static_cast<unsigned char>(kUtf8[0]) != 0xE5) {
    std::fprintf(stderr, "narrow literals are not GBK bytes: the sources were not escaped\n");
    std::abort();
  }
  return 0;
}
