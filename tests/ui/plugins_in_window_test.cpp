// The plugins in the main window: the page "插件", the menus, the children and the status
// bar, with no plugin, with the fixture plugins beside the test program and with the
// sample plugin in a folder given to the window.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "ui/main_window_design.h"
#include "ui/wide_text.h"
#include "window_driver.h"

namespace tessor::ui {
namespace {

using testing::NoPluginFolder;
using testing::ProgramFolder;
using testing::PumpUntil;
using testing::WindowUnderTest;
using tessor::testing::TempDir;

std::wstring W(std::string_view gbk) { return Wide(gbk); }

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

std::vector<std::wstring> MenuTexts(HMENU menu) {
  std::vector<std::wstring> texts;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t buffer[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), buffer, 256, MF_BYPOSITION);
    texts.emplace_back(buffer);
  }
  return texts;
}

// The drop-down menu of the menu bar's entry with this text.
HMENU MenuOf(const WindowUnderTest& ui, std::string_view entry) {
  HMENU bar = GetMenu(ui.handle());
  const std::vector<std::wstring> entries = MenuTexts(bar);
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i] == W(entry)) return GetSubMenu(bar, static_cast<int>(i));
  return nullptr;
}

// What choosing the item at position of menu does.
void Choose(const WindowUnderTest& ui, HMENU menu, int position) {
  const UINT command = GetMenuItemID(menu, position);
  ASSERT_NE(command, static_cast<UINT>(-1));
  SendMessageW(ui.handle(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
  PumpUntil([] { return true; });
}

// The position of the item with this text, or -1.
int ItemPosition(HMENU menu, const std::wstring& text) {
  const std::vector<std::wstring> texts = MenuTexts(menu);
  const auto found = std::find(texts.begin(), texts.end(), text);
  return found == texts.end() ? -1 : static_cast<int>(found - texts.begin());
}

std::vector<std::wstring> PageTitles(const WindowUnderTest& ui) {
  HWND tab = ui.control(kTabName);
  std::vector<std::wstring> titles;
  const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
  for (int page = 0; page < count; ++page) {
    wchar_t buffer[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 128;
    SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
    titles.emplace_back(buffer);
  }
  return titles;
}

std::vector<std::wstring> NinePageTitles() {
  std::vector<std::wstring> titles;
  for (const char* title : {"pe信息", "伪代码", "导入表", "PE资源", "区段", "导出表", "保护标记", "支持库", "首页"})
    titles.push_back(W(title));
  return titles;
}

int CurrentPage(const WindowUnderTest& ui) {
  return static_cast<int>(SendMessageW(ui.control(kTabName), TCM_GETCURSEL, 0, 0));
}

// What a click on a page's title does.
void ClickPage(const WindowUnderTest& ui, int page) {
  HWND tab = ui.control(kTabName);
  SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  NMHDR header{tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(ui.handle(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  PumpUntil([] { return true; });
}

std::wstring Status(const WindowUnderTest& ui) { return StatusText(ui.control(kStatusBarName), 0); }

// The window that holds the plugin children, or none.
HWND ClientOf(const WindowUnderTest& ui) { return FindWindowExW(ui.handle(), nullptr, L"MDICLIENT", nullptr); }

std::vector<HWND> ChildrenOf(HWND client) {
  std::vector<HWND> children;
  for (HWND child = FindWindowExW(client, nullptr, L"MDIForm", nullptr); child;
       child = FindWindowExW(client, child, L"MDIForm", nullptr))
    children.push_back(child);
  return children;
}

HWND ActiveChild(HWND client) { return reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)); }

// The display area of the selected page, in the main window's client coordinates.
RECT SelectedPageArea(const WindowUnderTest& ui) {
  HWND tab = ui.control(kTabName);
  const RECT tabPlace = PlaceInParent(tab);
  for (HWND page = GetWindow(tab, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT)) {
    if (!IsWindowVisible(page)) continue;
    RECT r = PlaceInParent(page);
    OffsetRect(&r, tabPlace.left, tabPlace.top);
    return r;
  }
  return {};
}

// A folder of copies of the sample plugin and of fixture plugins.
std::filesystem::path FolderWith(const TempDir& dir, bool sample, const std::vector<std::wstring>& fixtures) {
  const auto folder = dir.path() / L"Plugin";
  std::filesystem::create_directories(folder);
  if (sample) std::filesystem::copy_file(TESSOR_HELLO_PLUGIN, folder / L"hello.dll");
  for (const auto& name : fixtures)
    std::filesystem::copy_file(ProgramFolder() / L"plugin-fixtures" / (name + L".dll"), folder / (name + L".dll"));
  return folder;
}

void ExpectNoPluginsShown(const WindowUnderTest& ui) {
  EXPECT_EQ(PageTitles(ui), NinePageTitles());
  EXPECT_EQ(MenuTexts(MenuOf(ui, "插件(P)")), std::vector<std::wstring>{W("没有插件")});
  EXPECT_EQ(MenuTexts(MenuOf(ui, "窗口(W)")), std::vector<std::wstring>{W("展开")});
  EXPECT_EQ(ClientOf(ui), nullptr);
}

TEST(PluginsInWindow, WithoutAPluginFolderNothingChanges) {
  WindowUnderTest ui(NoPluginFolder());
  ASSERT_TRUE(ui.handle());
  ExpectNoPluginsShown(ui);
  EXPECT_EQ(Status(ui), L"");
}

TEST(PluginsInWindow, FilesThatAreNoPluginsAreCountedAsFailedAndChangeNothingElse) {
  TempDir dir;
  WindowUnderTest ui(FolderWith(dir, false, {L"noexports"}));
  ASSERT_TRUE(ui.handle());
  ExpectNoPluginsShown(ui);
  EXPECT_EQ(Status(ui), W("插件：已加载 0 个，失败 1 个"));
}

TEST(PluginsInWindow, PluginsBesideTheProgramAddThePagePluginAfterHome) {
  WindowUnderTest ui(std::nullopt);  // tests/Plugin: alpha and beta
  ASSERT_TRUE(ui.handle());
  std::vector<std::wstring> titles = NinePageTitles();
  titles.push_back(W("插件"));
  EXPECT_EQ(PageTitles(ui), titles);
  EXPECT_EQ(CurrentPage(ui), 0);
  EXPECT_EQ(Status(ui), W("插件：已加载 2 个，失败 0 个"));

  std::vector<std::wstring> plugins = MenuTexts(MenuOf(ui, "插件(P)"));
  std::sort(plugins.begin(), plugins.end());
  std::vector<std::wstring> expected{W("甲插件"), W("乙插件")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(plugins, expected);

  const std::vector<std::wstring> windowItems = MenuTexts(MenuOf(ui, "窗口(W)"));
  ASSERT_GE(windowItems.size(), 9u);
  EXPECT_EQ(windowItems[0], W("展开"));
  EXPECT_EQ(windowItems[1], L"");
  EXPECT_EQ(windowItems[2], W("层叠(&C)"));

  HWND client = ClientOf(ui);
  ASSERT_NE(client, nullptr);
  EXPECT_FALSE(IsWindowVisible(client)) << "hidden on page 0";
  EXPECT_EQ(ChildrenOf(client).size(), 2u);
}

TEST(PluginsInWindow, ChoosingAPluginSelectsItsPageAndActivatesItsChild) {
  WindowUnderTest ui(std::nullopt);
  ASSERT_TRUE(ui.handle());
  HMENU menu = MenuOf(ui, "插件(P)");
  HWND client = ClientOf(ui);
  ASSERT_NE(client, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  for (int position : {0, 1, 0}) {
    ClickPage(ui, 0);
    Choose(ui, menu, position);
    EXPECT_EQ(CurrentPage(ui), kPluginPage);
    EXPECT_TRUE(IsWindowVisible(client));
    HWND active = ActiveChild(client);
    ASSERT_NE(active, nullptr);
    EXPECT_EQ(WindowText(active), MenuTexts(menu)[static_cast<std::size_t>(position)]) << "titled by its plugin";
    HWND embedded = GetWindow(active, GW_CHILD);
    ASSERT_NE(embedded, nullptr) << "the plugin's window is inside its child";
    EXPECT_TRUE(IsWindowVisible(embedded));
  }
}

TEST(PluginsInWindow, TheSamplePluginsWindowFillsItsChildOnThePluginPage) {
  TempDir dir;
  WindowUnderTest ui(FolderWith(dir, true, {L"noexports"}));
  ASSERT_TRUE(ui.handle());
  EXPECT_EQ(Status(ui), W("插件：已加载 1 个，失败 1 个"));
  HMENU menu = MenuOf(ui, "插件(P)");
  ASSERT_EQ(MenuTexts(menu), std::vector<std::wstring>{W("你好插件")});
  Choose(ui, menu, 0);
  EXPECT_EQ(CurrentPage(ui), kPluginPage);

  HWND client = ClientOf(ui);
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(IsWindowVisible(client));
  const RECT place = PlaceInParent(client);
  const RECT page = SelectedPageArea(ui);
  EXPECT_TRUE(EqualRect(&place, &page)) << "the client lies over the page's area";

  const std::vector<HWND> children = ChildrenOf(client);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(ActiveChild(client), children[0]);
  EXPECT_EQ(WindowText(children[0]), W("你好插件"));
  HWND embedded = GetWindow(children[0], GW_CHILD);
  ASSERT_NE(embedded, nullptr);
  EXPECT_EQ(GetAncestor(embedded, GA_PARENT), children[0]) << "its style is left as the plugin made it";
  EXPECT_TRUE(IsWindowVisible(embedded));
  RECT inner{}, outer{};
  GetClientRect(children[0], &inner);
  GetWindowRect(embedded, &outer);
  EXPECT_EQ(Width(outer), Width(inner));
  EXPECT_EQ(Height(outer), Height(inner));
  EXPECT_NE(FindWindowExW(embedded, nullptr, L"BUTTON", nullptr), nullptr) << "the sample's controls";
}

TEST(PluginsInWindow, TheClientIsShownOnlyOnThePluginPageAndFollowsTheLayout) {
  WindowUnderTest ui(std::nullopt);
  ASSERT_TRUE(ui.handle());
  HWND client = ClientOf(ui);
  ASSERT_NE(client, nullptr);
  for (int page = 0; page <= kPluginPage; ++page) {
    ClickPage(ui, page);
    EXPECT_EQ(IsWindowVisible(client) != FALSE, page == kPluginPage) << page;
  }
  for (const auto& size : {SIZE{1000, 700}, SIZE{600, 450}}) {
    SetWindowPos(ui.handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    PumpUntil([] { return true; });
    const RECT place = PlaceInParent(client);
    const RECT page = SelectedPageArea(ui);
    EXPECT_TRUE(EqualRect(&place, &page)) << size.cx;
    RECT tab{};
    tab = PlaceInParent(ui.control(kTabName));
    EXPECT_EQ(place.left, tab.left);
    EXPECT_EQ(Width(place), Width(tab));
    EXPECT_GT(place.top, tab.top) << "below the page titles";
  }
  ClickPage(ui, 1);
  EXPECT_FALSE(IsWindowVisible(client));
  EXPECT_TRUE(IsWindowVisible(ui.control(kPseudoCodeBoxName)));
}

TEST(PluginsInWindow, WindowMenuCommandsReachThePluginChildren) {
  WindowUnderTest ui(std::nullopt);
  ASSERT_TRUE(ui.handle());
  HWND client = ClientOf(ui);
  ASSERT_NE(client, nullptr);
  Choose(ui, MenuOf(ui, "插件(P)"), 0);
  HMENU windowMenu = MenuOf(ui, "窗口(W)");
  HWND before = ActiveChild(client);
  Choose(ui, windowMenu, ItemPosition(windowMenu, W("下一个(&N)\tCtrl+F6")));
  EXPECT_NE(ActiveChild(client), before);
  Choose(ui, windowMenu, ItemPosition(windowMenu, W("关闭(&O)\tCtrl+F4")));
  EXPECT_EQ(ChildrenOf(client).size(), 1u);
  EXPECT_EQ(CurrentPage(ui), kPluginPage) << "the main window's own page stays";
  EXPECT_EQ(WindowText(ui.handle()), W("Tessor静态逆向 "));
}

}  // namespace
}  // namespace tessor::ui
