// Calling a foreign function with one pointer-sized argument whatever its stack-cleanup
// convention, and the GBK conversions of the plugin host.
#include <windows.h>

#include <cstdint>
#include <string>

#include "plugins/mdi_host.h"

#if defined(__i386__)
// The frame pointer is kept by both conventions: it holds the stack pointer of before
// the push, and restoring it from there undoes whatever the callee removed or left.
extern "C" std::intptr_t tessor_call_one_argument(const void* function, std::intptr_t argument);
asm(".text\n"
    ".globl _tessor_call_one_argument\n"
    "_tessor_call_one_argument:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl 12(%ebp)\n"
    "  call *8(%ebp)\n"
    "  movl %ebp, %esp\n"
    "  popl %ebp\n"
    "  ret\n");
#endif

namespace tessor::plugins {

std::intptr_t CallWithOneArgument(const void* function, std::intptr_t argument) {
  if (function == nullptr) return 0;
#if defined(__i386__)
  return tessor_call_one_argument(function, argument);
#else
  using OneArgument = std::intptr_t (*)(std::intptr_t);
  return reinterpret_cast<OneArgument>(const_cast<void*>(function))(argument);
#endif
}

std::wstring WideFromGbk(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(936, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(936, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string GbkFromWide(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(936, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(936, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

}  // namespace tessor::plugins
