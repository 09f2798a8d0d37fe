// What every fuzz target shares: the input as the analysed file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "pe/file_bytes.h"

namespace tessor::fuzz {

inline ByteView InputView(const std::uint8_t* data, std::size_t size) {
  return ByteView(std::span<const std::uint8_t>(data, size));
}

// An invariant of a reader's result that does not hold: reported and aborted, so the
// fuzzer keeps the input as a crash.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

#define TESSOR_FUZZ_CHECK(condition) \
  do {                               \
    if (!(condition)) ::tessor::fuzz::Fail(#condition); \
  } while (0)

}  // namespace tessor::fuzz
