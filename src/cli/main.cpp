#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args;
  std::filesystem::path program;
#ifdef _WIN32
  std::wstring module(32768, L'\0');
  module.resize(GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size())));
  program = module;
  // The arguments as UTF-8, from the wide command line, so paths in any script survive.
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; i < count; ++i) {
    const int len = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(len > 0 ? len - 1 : 0), '\0');
    if (len > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), len, nullptr, nullptr);
    args.push_back(std::move(arg));
  }
  LocalFree(wide);
  // Bytes out as they are: no CR is added before LF.
  _setmode(_fileno(stdout), _O_BINARY);
#else
  args.assign(argv, argv + argc);
  std::error_code ec;
  program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec && argc > 0) program = std::filesystem::absolute(argv[0], ec);
#endif
  std::ios::sync_with_stdio(false);
  return tessor::RunCli(args, std::cout, std::cerr, program.parent_path());
}
