// PluginHost: the plugins of the main window, in one object.
//
// Integration, in the main window (all on the user-interface thread):
//
//   1. After the main window and its menu bar exist (before the signature files load):
//        tessor::plugins::PluginHost plugins;            // one per program, lives as long
//        plugins.Start({mainWindow, menuBar,             //   as the main window
//                       /*windowMenuPosition*/ pos of "窗口(W)",
//                       /*pluginMenuPosition*/ pos of "插件(P)"});
//      It loads the DLLs of `Plugin` beside the program. When at least one plugin loads,
//      the main window becomes the MDI frame (its window procedure is wrapped: install
//      yours before Start), the client is created hidden, "插件(P)" lists the plugins
//      instead of "没有插件", and "窗口(W)" gains a separator and the window commands
//      (the client appends the children's list after them). Each plugin's window fills
//      its child, also when the child is resized. With no plugin nothing changes and
//      Active() is false.
//   2. Status bar: plugins.StatusText() (GBK), e.g. "插件：已加载 2 个，失败 1 个";
//      plugins.Outcome() gives the two numbers.
//   3. If Active(): add the tab page "插件" after "首页". In LayoutMainWindow call
//      plugins.SetClientBounds(left, top, width, height) with that page's display area
//      (main-window client coordinates), and plugins.ShowClient(page "插件" selected)
//      whenever the selected page changes.
//   4. WM_COMMAND, first thing:
//        switch (plugins.OnCommand(LOWORD(wParam))) {
//          case PluginCommand::kPluginChosen: select page "插件"; return 0;  // child activated
//          case PluginCommand::kHandled: return 0;                            // window command
//          case PluginCommand::kNotMine: break;
//        }
//      The host's menu identifiers are kFirstWindowCommand .. +6 and kFirstPluginCommand
//      upward (one per plugin); the main window's own identifiers must avoid them, and
//      avoid 100 upward (the identifiers of the children in "窗口(W)").
//   5. Message loop: if (!plugins.TranslateAccelerator(&msg)) { TranslateMessage; Dispatch }
//      so that Ctrl+F4 / Ctrl+F6 reach the children.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "plugins/mdi_host.h"
#include "plugins/plugin_loader.h"

namespace tessor::plugins {

inline constexpr UINT kFirstWindowCommand = 20050;  // seven commands: 20050 .. 20056
inline constexpr UINT kFirstPluginCommand = 20100;  // one per plugin, in PluginList order

enum class PluginCommand { kNotMine, kHandled, kPluginChosen };

struct PluginHostConfig {
  HWND mainWindow = nullptr;
  HMENU menuBar = nullptr;
  int windowMenuPosition = 0;  // position of "窗口(W)" in the menu bar
  int pluginMenuPosition = 0;  // position of "插件(P)" in the menu bar
};

class PluginHost {
 public:
  PluginHost();
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads the plugins beside the program (see above).
  LoadOutcome Start(const PluginHostConfig& config);
  // As Start, from another folder.
  LoadOutcome StartFrom(const PluginHostConfig& config, const std::wstring& folder);

  bool Active() const { return active_; }
  LoadOutcome Outcome() const { return outcome_; }
  std::string StatusText() const;  // GBK
  void SetClientBounds(int left, int top, int width, int height);
  void ShowClient(bool shown);
  PluginCommand OnCommand(UINT command);
  bool TranslateAccelerator(MSG* message) const;

  MdiHost& Host() { return *host_; }
  HWND Client() const { return host_->Client(); }

 private:
  void FillPluginMenu(const PluginHostConfig& config);
  void AddWindowCommands(const PluginHostConfig& config);

  std::unique_ptr<MdiHost> host_;
  bool active_ = false;
  LoadOutcome outcome_;
};

}  // namespace tessor::plugins
