// The Windows program: the main window, signatures from `esig` beside the program, and
// the plugins of `Plugin` beside the program, and an optional file on the command line
// analysed at start-up.
//
//   tessor.exe [--page N] [--row N] [FILE]
//
// --page and --row select a page and a subroutine row once FILE has been analysed (the
// picture-taking script uses them; page 9 is "插件", present when a plugin loaded).
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <filesystem>
#include <string>

#include "ui/main_window.h"

namespace {

std::filesystem::path ProgramFolder() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  return std::filesystem::path(path).parent_path();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  tessor::ui::MainWindowOptions options;
  options.signatureFolder = ProgramFolder() / L"esig";
  options.showCommand = showCommand;

  std::wstring file;
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) {
      const std::wstring arg = argv[i];
      if ((arg == L"--page" || arg == L"--row") && i + 1 < argc) {
        const int value = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
        (arg == L"--page" ? options.pageAfterAnalysis : options.rowAfterAnalysis) = value;
      } else if (file.empty()) {
        file = arg;
      }
    }
    LocalFree(argv);
  }

  tessor::ui::MainWindow* window = tessor::ui::MainWindow::Create(options);
  if (!window) return 1;
  if (!file.empty()) window->AnalyseFile(std::filesystem::path(file));
  return tessor::ui::RunMessageLoop(window->Handle());
}
