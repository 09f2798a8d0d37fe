#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/pages.h"
#include "ui/main_window_design.h"
#include "window_driver.h"

namespace tessor::ui {
namespace {

#ifndef MN_GETHMENU
#define MN_GETHMENU 0x01E1
#endif

HMENU g_shown = nullptr;
bool g_seen = false;

// Runs inside the pop-up menu's own loop: notes which menu is shown, then closes it.
void CALLBACK NoteMenuAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = FindWindowW(L"#32768", nullptr);
  if (!popup || !IsWindowVisible(popup)) return;
  KillTimer(nullptr, timer);
  g_seen = true;
  g_shown = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
  EndMenu();
}

// What a right click on a list tells the window.
HMENU RightClick(const testing::WindowUnderTest& ui, ListId id) {
  HWND list = ui.control(ListDefinition(id).control);
  g_shown = nullptr;
  g_seen = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, NoteMenuAndClose);
  NMITEMACTIVATE click{};
  click.hdr = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), static_cast<UINT>(NM_RCLICK)};
  click.iItem = -1;
  SendMessageW(ui.handle(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  if (!g_seen) KillTimer(nullptr, timer);
  return g_shown;
}

TEST(MainWindowMenus, RightClickOnExportListShowsTheCopyMenu) {
  testing::WindowUnderTest ui;
  EXPECT_EQ(RightClick(ui, ListId::Exports), ui.window().PopupMenu("导出表菜单"));
}

TEST(MainWindowMenus, RightClickOnImageListShowsTheExportAllMenu) {
  testing::WindowUnderTest ui;
  EXPECT_EQ(RightClick(ui, ListId::Images), ui.window().PopupMenu("导出资源菜单"));
}

TEST(MainWindowMenus, RightClickOnOtherListsShowsNoMenu) {
  testing::WindowUnderTest ui;
  g_seen = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, NoteMenuAndClose);
  HWND list = ui.control(ListDefinition(ListId::Imports).control);
  NMITEMACTIVATE click{};
  click.hdr = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), static_cast<UINT>(NM_RCLICK)};
  SendMessageW(ui.handle(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  testing::PumpUntil([] { return true; });
  KillTimer(nullptr, timer);
  EXPECT_FALSE(g_seen);
}

}  // namespace
}  // namespace tessor::ui
