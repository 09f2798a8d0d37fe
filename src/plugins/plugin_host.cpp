#include "plugins/plugin_host.h"

#include <iterator>

namespace tessor::plugins {
namespace {

enum WindowCommand : UINT {
  kCascade = kFirstWindowCommand,
  kTileHorizontally,
  kTileVertically,
  kArrangeIcons,
  kNext,
  kPrevious,
  kCloseChild,
};

struct WindowMenuItem {
  UINT command;
  const char* text;  // GBK
};

constexpr WindowMenuItem kWindowMenuItems[] = {
    {kCascade, "层叠(&C)"},
    {kTileHorizontally, "横向平铺(&H)"},
    {kTileVertically, "纵向平铺(&V)"},
    {kArrangeIcons, "排列图标(&A)"},
    {kNext, "下一个(&N)\tCtrl+F6"},
    {kPrevious, "上一个(&P)"},
    {kCloseChild, "关闭(&O)\tCtrl+F4"},
};

// onChildSized: a plugin's window keeps filling its child.
std::intptr_t FillChildWithItsWindow(std::intptr_t argument) {
  const auto child = reinterpret_cast<HWND>(argument);
  if (HWND window = GetWindow(child, GW_CHILD)) {
    RECT r{};
    GetClientRect(child, &r);
    MoveWindow(window, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
  }
  return 0;
}

void ClearMenu(HMENU menu) {
  while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
}

}  // namespace

PluginHost::PluginHost() : host_(std::make_unique<MdiHost>()) {}

PluginHost::~PluginHost() = default;

LoadOutcome PluginHost::Start(const PluginHostConfig& config) {
  return StartFrom(config, ProgramDirectory() + L"\\Plugin");
}

LoadOutcome PluginHost::StartFrom(const PluginHostConfig& config, const std::wstring& folder) {
  const auto makeFrame = [&] {
    FrameOptions options;
    options.windowMenuPosition = config.windowMenuPosition;
    options.callbacks.onChildSized = FillChildWithItsWindow;
    active_ = host_->CreateFrame(config.mainWindow, options);
    if (!active_) return;
    ShowClient(false);  // shown with its page
    // Before the first child, so that the client's list of children follows the commands.
    AddWindowCommands(config);
  };
  outcome_ = LoadPluginsFrom(*host_, folder, PluginList(), makeFrame);
  if (active_) FillPluginMenu(config);
  return outcome_;
}

void PluginHost::FillPluginMenu(const PluginHostConfig& config) {
  if (HMENU pluginMenu = GetSubMenu(config.menuBar, config.pluginMenuPosition)) {
    ClearMenu(pluginMenu);
    const auto& list = PluginList();
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::wstring text = list[i].title.empty() ? list[i].fileName : WideFromGbk(list[i].title);
      UINT flags = MF_STRING;
      if (list[i].hostWindow == nullptr) flags |= MF_GRAYED;
      AppendMenuW(pluginMenu, flags, kFirstPluginCommand + i, text.c_str());
    }
  }
  DrawMenuBar(config.mainWindow);
}

void PluginHost::AddWindowCommands(const PluginHostConfig& config) {
  if (HMENU windowMenu = GetSubMenu(config.menuBar, config.windowMenuPosition)) {
    AppendMenuW(windowMenu, MF_SEPARATOR, 0, nullptr);
    for (const auto& item : kWindowMenuItems)
      AppendMenuW(windowMenu, MF_STRING, item.command, WideFromGbk(item.text).c_str());
  }
}

std::string PluginHost::StatusText() const {
  return "插件：已加载 " + std::to_string(outcome_.loaded) + " 个，失败 " + std::to_string(outcome_.failed) + " 个";
}

void PluginHost::SetClientBounds(int left, int top, int width, int height) {
  if (active_) host_->SetClientBounds(left, top, width, height);
}

void PluginHost::ShowClient(bool shown) {
  if (HWND client = host_->Client()) {
    ShowWindow(client, shown ? SW_SHOW : SW_HIDE);
    if (shown) SetWindowPos(client, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
}

PluginCommand PluginHost::OnCommand(UINT command) {
  if (!active_) return PluginCommand::kNotMine;
  const auto& list = PluginList();
  if (command >= kFirstPluginCommand && command < kFirstPluginCommand + list.size()) {
    HWND child = list[command - kFirstPluginCommand].hostWindow;
    if (child == nullptr || !IsWindow(child)) return PluginCommand::kHandled;
    ShowClient(true);
    host_->ActivateChild(child);
    return PluginCommand::kPluginChosen;
  }
  switch (command) {
    case kCascade: host_->Cascade(); return PluginCommand::kHandled;
    case kTileHorizontally: host_->TileHorizontally(); return PluginCommand::kHandled;
    case kTileVertically: host_->TileVertically(); return PluginCommand::kHandled;
    case kArrangeIcons: host_->ArrangeIcons(); return PluginCommand::kHandled;
    case kNext: host_->ActivateNext(); return PluginCommand::kHandled;
    case kPrevious: host_->ActivatePrevious(); return PluginCommand::kHandled;
    case kCloseChild: host_->CloseActive(); return PluginCommand::kHandled;
    default: return PluginCommand::kNotMine;
  }
}

bool PluginHost::TranslateAccelerator(MSG* message) const {
  HWND client = host_->Client();
  return client != nullptr && IsWindowVisible(client) && TranslateMDISysAccel(client, message);
}

}  // namespace tessor::plugins
