// The main window's design: every control with its name, kind, parent and design place,
// the menu bar, the two hidden pop-up menus, and the about box's controls. The window
// is built from these tables by one small function each.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "app/pages.h"

namespace tessor::ui {

inline constexpr std::string_view kMainWindowCaption = "Tessor静态逆向 ";
inline constexpr std::string_view kAnalysedCaptionPrefix = "Tessor静态逆向 - ";
inline constexpr std::string_view kAnalysingText = "分析中";
inline constexpr std::string_view kAnalysedStatusPrefix = "已分析大概代码 - ";
inline constexpr std::string_view kCannotOpenStatusPrefix = "无法打开文件 - ";
inline constexpr std::string_view kOpenDialogFilter = "可执行文件|*.exe;*.dll;*.sys|所有文件|*.*";

struct Place {
  int left, top, width, height;
};

enum class ControlKind {
  ShapeFrame,        // a plain strip that holds other controls
  Toolbar,           // image-only buttons
  TabControl,        // pages of report lists
  PictureBox,        // a plain bar that holds other controls
  Label,             // static text
  ComboBox,          // drop-down combo box
  EditableComboBox,  // drop-down combo box the user may type in
  StatusBar,
  ReportList,        // virtual report-style list view
  EditBox,           // multi-line edit box with a vertical scroll bar
};

struct ControlDef {
  std::string_view name;
  ControlKind kind;
  std::string_view parent;  // empty: the window itself
  int page;                 // page of the tab control for its page controls, else -1
  Place place;              // design place, in the parent's (or the page's) coordinates
  std::string_view text;
};

inline constexpr std::string_view kTabName = "高级选择夹1";
inline constexpr std::string_view kShapeFrameName = "外形框1";
inline constexpr std::string_view kPictureBoxName = "图片框2";
inline constexpr std::string_view kStatusBarName = "状态条1";
inline constexpr std::string_view kToolbarName = "工具条1";
inline constexpr std::string_view kPseudoCodeBoxName = "伪代码编辑框";
inline constexpr std::string_view kLengthChooserName = "组合框2";
inline constexpr std::string_view kLengthChooserItem = "整个.text";

constexpr ControlDef ListControl(ListId id) {
  const ListDef& def = ListDefinition(id);
  return {def.control, ControlKind::ReportList, kTabName, def.page, {0, 0, 0, 0}, {}};
}

// In creation order: a parent comes before its children.
inline constexpr std::array kMainWindowControls = {
    ControlDef{kShapeFrameName, ControlKind::ShapeFrame, {}, -1, {0, 0, 880, 30}, {}},
    ControlDef{kToolbarName, ControlKind::Toolbar, kShapeFrameName, -1, {5, 0, 200, 28}, {}},
    ControlDef{kTabName, ControlKind::TabControl, {}, -1, {16, 56, 688, 224}, {}},
    ListControl(ListId::PeInfo),
    ListControl(ListId::Subroutines),
    ControlDef{kPseudoCodeBoxName, ControlKind::EditBox, kTabName, 1, {400, 0, 0, 0}, {}},
    ListControl(ListId::Imports),
    ListControl(ListId::Images),
    ListControl(ListId::Sections),
    ListControl(ListId::Exports),
    ListControl(ListId::Markers),
    ListControl(ListId::Signatures),
    ListControl(ListId::Home),
    ControlDef{kPictureBoxName, ControlKind::PictureBox, {}, -1, {0, 336, 1040, 23}, {}},
    ControlDef{"标签1", ControlKind::Label, kPictureBoxName, -1, {88, 0, 32, 24}, "命令:"},
    ControlDef{"组合框1", ControlKind::ComboBox, kPictureBoxName, -1, {120, 0, 240, 20}, {}},
    ControlDef{"标签2", ControlKind::Label, kPictureBoxName, -1, {400, 0, 96, 24}, "伪代码分析长度:"},
    ControlDef{kLengthChooserName, ControlKind::EditableComboBox, kPictureBoxName, -1, {504, 1, 240, 20}, "2000"},
    ControlDef{kStatusBarName, ControlKind::StatusBar, {}, -1, {0, 358, 967, 20}, {}},
};

// Control identifiers: the index in the table plus this base. They stay below 100, where
// the identifiers of the plugin children listed in "窗口(W)" begin.
inline constexpr int kFirstControlId = 10;
static_assert(kFirstControlId + static_cast<int>(kMainWindowControls.size()) <= 100);

// The page of the plugins' windows, after "首页"; present only when a plugin loaded.
inline constexpr int kPluginPage = 9;
inline constexpr std::string_view kPluginPageTitle = "插件";

// The status bar's part 0 is 500 pixels wide; the part after it shows the progress.
inline constexpr int kStatusPartWidth = 500;

// Menu commands: from 20000 (the frame of the plugin children passes no command from
// there on to the system's child handling) and below 20050 (the plugin host's window
// commands from 20050, its plugin commands from 20100).
enum MenuCommand : int {
  kCmdOpen = 20001,
  kCmdUndo,
  kCmdRedo,
  kCmdStart,
  kCmdNoPlugins,
  kCmdWindowSettings,
  kCmdExpand,
  kCmdHelp,
  kCmdAbout,
  kCmdExportAllImages,
  kCmdCopyExportName,
  kCmdLast = kCmdCopyExportName,
};
static_assert(kCmdOpen >= 20000 && kCmdLast < 20050);

struct MenuItemDef {
  std::string_view menu;  // the top-level entry
  std::string_view item;
  int command;
};

// The menu bar: top-level entries in order, items in item order. The letters in
// brackets are part of the texts.
inline constexpr MenuItemDef kMenuBar[] = {
    {"文件(F)", "打开", kCmdOpen},         {"编辑(E)", "撤销", kCmdUndo},
    {"编辑(E)", "重复", kCmdRedo},         {"调试(D)", "启动", kCmdStart},
    {"插件(P)", "没有插件", kCmdNoPlugins}, {"选项(T)", "窗口设置", kCmdWindowSettings},
    {"窗口(W)", "展开", kCmdExpand},       {"关于(H)", "帮助", kCmdHelp},
    {"关于(H)", "关于", kCmdAbout},
};

// The hidden menus, shown only as pop-up menus.
inline constexpr std::string_view kExportImagesMenu = "导出资源菜单";
inline constexpr std::string_view kExportNameMenu = "导出表菜单";
inline constexpr MenuItemDef kPopupMenus[] = {
    {kExportImagesMenu, "导出全部资源", kCmdExportAllImages},
    {kExportNameMenu, "复制", kCmdCopyExportName},
};

// The about box.
inline constexpr std::string_view kAboutText =
    "软件一款二进制静态分析+动态调试工具，更好的分析PE文件安全性，增强防破解知识，软件仅供学习开发，请勿用于其他用途！";
inline constexpr Place kAboutWindowPlace = {50, 50, 403, 282};

}  // namespace tessor::ui
