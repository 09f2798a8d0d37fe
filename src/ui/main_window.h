// The main window: its controls, menus, layout, the analysis worker and the translation
// of the selected subroutine. Besides the window itself this header offers the small
// interface the tests drive it through: controls by name, list cells, status texts,
// the analysis as the open dialog and the drop start it, the hidden menus.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/analysis.h"

struct IDropTarget;

namespace tessor {
class TranslationJobs;
}

namespace tessor::plugins {
class PluginHost;
}

namespace tessor::ui {

class AnalysisWorker;

struct MainWindowOptions {
  // The folder of the *.esig files loaded when the window has been created.
  std::filesystem::path signatureFolder;
  // The folder of the plugin DLLs; none: the folder `Plugin` beside the program.
  std::optional<std::filesystem::path> pluginFolder;
  int showCommand = SW_SHOWNORMAL;
  // Closing the window ends the thread's message loop.
  bool quitOnClose = true;
  // After the first analysis: the page to select and the subroutine row to select (for
  // pictures of the window); -1 leaves them as the analysis left them.
  int pageAfterAnalysis = -1;
  int rowAfterAnalysis = -1;
};

class MainWindow {
 public:
  // Registers the window classes (once) and creates the window; nullptr on failure.
  static MainWindow* Create(const MainWindowOptions& options);
  static MainWindow* FromHandle(HWND window);

  HWND Handle() const { return window_; }
  // The control of the design with this name (GBK), or nullptr.
  HWND Control(std::string_view name) const;
  // A hidden pop-up menu by its name (GBK), or nullptr.
  HMENU PopupMenu(std::string_view name) const;
  IDropTarget* DropTarget() const { return dropTarget_; }
  const AnalysisSnapshot& Snapshot() const { return snapshot_; }

  // What "打开" does once the dialog has given a path, and what a drop does.
  void AnalyseFile(const std::filesystem::path& path);
  // True from a request until its result is shown.
  bool AnalysisPending() const { return shownRequest_ != latestRequest_; }
  // True from a subroutine selection until the box shows its translation.
  bool TranslationPending() const { return shownTranslation_ != latestTranslation_; }

  void SelectPage(int page);
  // What the message loop asks first: whether msg was a key of the plugin children
  // (Ctrl+F4, Ctrl+F6), already handled.
  bool TranslatePluginKeys(MSG* msg) const;
  // Writes the embedded images into `folder` and reports the outcome in the status bar.
  void ExportAllImagesTo(const std::filesystem::path& folder);

 private:
  explicit MainWindow(const MainWindowOptions& options);
  ~MainWindow();
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  bool OnCreate();
  void OnSize();
  void OnCommand(int command);
  LRESULT OnNotify(const NMHDR& header);
  void OnProgress(unsigned request, int permille);
  void OnAnalysed(unsigned request, LPARAM result);
  void OnTranslated(WPARAM request, LPARAM text);
  void OnDestroy();

  void CreateControls();
  void CreateMenus();
  void StartPlugins();
  void AddPage(HWND tab, const std::wstring& title);
  void MainWindowCreated();
  void LayoutMainWindow();
  void OpenFileCommand();
  void FileDropped(const std::filesystem::path& path);
  void ExportAllImagesCommand();
  void CopyExportName();
  void OnSubroutineSelected(int row);
  void ShowSnapshot();
  void ShowPopupMenu(std::string_view name, POINT at);
  void SetStatus(int part, const std::wstring& text);
  int ListIndexOfControl(HWND control) const;

  MainWindowOptions options_;
  HWND window_ = nullptr;
  std::vector<HWND> controls_;      // element i: kMainWindowControls[i]
  std::vector<HWND> pages_;         // the page panels of the tab control
  std::unique_ptr<plugins::PluginHost> plugins_;
  std::vector<HMENU> popupMenus_;   // element i: the hidden menu of kPopupMenus[i]
  HFONT font_ = nullptr;
  bool ownsFont_ = false;
  HIMAGELIST toolbarImages_ = nullptr;
  IDropTarget* dropTarget_ = nullptr;
  bool oleReady_ = false;

  std::shared_ptr<const SignatureMatcher> signatures_;
  std::unique_ptr<AnalysisWorker> worker_;
  AnalysisSnapshot snapshot_;
  unsigned latestRequest_ = 0;
  unsigned shownRequest_ = 0;
  std::unique_ptr<TranslationJobs> translations_;
  std::uint64_t latestTranslation_ = 0;  // 0: no translation asked for since the last analysis
  std::uint64_t shownTranslation_ = 0;
};

// Helpers over plain window handles, for the window itself and its tests.
std::wstring WindowText(HWND window);
std::wstring ListCell(HWND list, int row, int column);
int ListRowCount(HWND list);
std::wstring ListColumnTitle(HWND list, int column);
int ListColumnWidth(HWND list, int column);
std::wstring StatusText(HWND statusBar, int part);
// The place of a child window in its parent's client coordinates.
RECT PlaceInParent(HWND window);
// The open dialog's filter in the form the dialog takes (pairs separated by NULs).
std::wstring OpenDialogFilter();
// Runs the message loop of the thread until the window is destroyed; returns the exit code.
// The keys of mainWindow's plugin children are translated first.
int RunMessageLoop(HWND mainWindow = nullptr);

// Messages the workers post to the window.
inline constexpr UINT kMsgAnalysisProgress = WM_APP + 1;
inline constexpr UINT kMsgAnalysed = WM_APP + 2;
inline constexpr UINT kMsgTranslated = WM_APP + 3;

}  // namespace tessor::ui
