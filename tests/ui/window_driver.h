// Drives the real main window from a test: creation, message pumping with a bounded
// wait, the sample files, and a data object carrying dropped files.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/main_window.h"

namespace tessor::ui::testing {

// The sample built for the tests (bits "32" or "64"); empty when it was not built.
std::filesystem::path SampleFile(std::string_view bits, std::string_view name);

// Dispatches the thread's messages until `done` holds or a bound of waiting is reached;
// returns whether `done` held.
bool PumpUntil(const std::function<bool()>& done);

// The folder of this test program.
std::filesystem::path ProgramFolder();
// A plugin folder that does not exist. The test program's own folder holds a `Plugin`
// folder (the plugin tests' fixtures), so the windows of the other tests are given this.
std::filesystem::path NoPluginFolder();

// A fresh main window for one test, destroyed with the object. pluginFolder: the
// window's plugin folder; none: the folder `Plugin` beside the test program.
class WindowUnderTest {
 public:
  explicit WindowUnderTest(const std::optional<std::filesystem::path>& pluginFolder = NoPluginFolder());
  ~WindowUnderTest();
  MainWindow& window() const { return *window_; }
  HWND handle() const { return handle_; }
  HWND control(std::string_view name) const { return window_->Control(name); }
  // Analyses `path` the way the open dialog hands it on, and waits for the result.
  bool Analyse(const std::filesystem::path& path) const;

 private:
  MainWindow* window_ = nullptr;
  HWND handle_ = nullptr;
};

// A data object holding a list of files (CF_HDROP), as the shell hands a drop over.
IDataObject* CreateFileListData(const std::vector<std::wstring>& files);

std::wstring ClipboardText();
void SetClipboardText(const std::wstring& text);

}  // namespace tessor::ui::testing
