#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/pages.h"
#include "support/pe_builder.h"
#include "support/temp_dir.h"
#include "ui/main_window_design.h"
#include "app/translation_jobs.h"
#include "ui/wide_text.h"
#include "window_driver.h"

namespace tessor::ui {
namespace {

using testing::PumpUntil;
using testing::SampleFile;
using testing::WindowUnderTest;

std::wstring W(std::string_view gbk) { return Wide(gbk); }

// The core's translation of one row of the subroutine list.
std::string TranslateSubroutine(const Analysis& analysis, std::size_t row) {
  return TranslateListing(analysis.subroutines.at(row).listing, TranslationContextOf(analysis));
}

HWND ListOf(const WindowUnderTest& ui, ListId id) { return ui.control(ListDefinition(id).control); }

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

std::wstring MenuText(HMENU menu, int position) {
  wchar_t buffer[256] = {};
  GetMenuStringW(menu, static_cast<UINT>(position), buffer, 256, MF_BYPOSITION);
  return buffer;
}

std::wstring TabTitle(HWND tab, int page) {
  wchar_t buffer[128] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = 128;
  SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
  return buffer;
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
}

// What a click on a row does: it becomes the focused and selected row.
void ClickRow(HWND list, int row) {
  LVITEMW state{};
  state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
  state.state = LVIS_FOCUSED | LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

std::wstring Status(const WindowUnderTest& ui) { return StatusText(ui.control(kStatusBarName), 0); }

void ExpectListsShowSnapshot(const WindowUnderTest& ui) {
  const AnalysisSnapshot& snapshot = ui.window().Snapshot();
  ASSERT_TRUE(snapshot);
  for (const auto& def : kLists) {
    SCOPED_TRACE(Gbk(W(def.control)).size());
    HWND list = ListOf(ui, def.id);
    const ReportTable& table = snapshot->report.Table(def.id);
    ASSERT_EQ(ListRowCount(list), static_cast<int>(table.RowCount())) << static_cast<int>(def.id);
    for (std::size_t row = 0; row < std::min<std::size_t>(table.RowCount(), 5); ++row)
      for (std::size_t column = 0; column < table.ColumnCount(); ++column)
        EXPECT_EQ(ListCell(list, static_cast<int>(row), static_cast<int>(column)), W(table.Cell(row, column)))
            << static_cast<int>(def.id) << " " << row << " " << column;
  }
}

#define REQUIRE_SAMPLE()                                                     \
  if (SampleFile("64", "sample.exe").empty()) GTEST_SKIP() << "the sample was not built"

TEST(MainWindow, OpensWithTheDesignCaptionEmptyStatusAndTheCreatedSize) {
  WindowUnderTest ui;
  ASSERT_TRUE(ui.handle());
  EXPECT_EQ(WindowText(ui.handle()), W("Tessor静态逆向 "));
  EXPECT_EQ(Status(ui), L"");
  RECT outer{};
  GetWindowRect(ui.handle(), &outer);
  EXPECT_EQ(Width(outer), 760);
  EXPECT_EQ(Height(outer), 520);
  for (const auto& def : kLists) EXPECT_EQ(ListRowCount(ListOf(ui, def.id)), 0);
}

TEST(MainWindow, HasEveryControlOfTheDesignUnderItsParent) {
  WindowUnderTest ui;
  for (const auto& def : kMainWindowControls) {
    HWND control = ui.control(def.name);
    ASSERT_TRUE(control) << Gbk(W(def.name));
    if (def.page >= 0) {
      EXPECT_EQ(GetParent(GetParent(control)), ui.control(kTabName));
    } else if (!def.parent.empty()) {
      EXPECT_EQ(GetParent(control), ui.control(def.parent));
    } else {
      EXPECT_EQ(GetParent(control), ui.handle());
    }
    if (!def.text.empty() && def.kind == ControlKind::Label) EXPECT_EQ(WindowText(control), W(def.text));
  }
  EXPECT_EQ(PlaceInParent(ui.control("标签1")).left, 88);
  EXPECT_EQ(PlaceInParent(ui.control("标签2")).left, 400);
  EXPECT_EQ(PlaceInParent(ui.control(kLengthChooserName)).left, 504);
  EXPECT_EQ(PlaceInParent(ui.control(kToolbarName)).left, 5);
  EXPECT_EQ(SendMessageW(ui.control(kToolbarName), TB_BUTTONCOUNT, 0, 0), 7);
}

TEST(MainWindow, HasTheNinePagesInOrderWithTheirLists) {
  WindowUnderTest ui;
  HWND tab = ui.control(kTabName);
  ASSERT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 9);
  const char* titles[] = {"pe信息", "伪代码", "导入表", "PE资源", "区段", "导出表", "保护标记", "支持库", "首页"};
  for (int page = 0; page < 9; ++page) EXPECT_EQ(TabTitle(tab, page), W(titles[page]));
  for (const auto& def : kLists) {
    ClickPage(ui, def.page);
    EXPECT_EQ(CurrentPage(ui), def.page);
    EXPECT_TRUE(IsWindowVisible(ListOf(ui, def.id))) << def.page;
    for (const auto& other : kLists)
      if (other.page != def.page) EXPECT_FALSE(IsWindowVisible(ListOf(ui, other.id)));
  }
  ClickPage(ui, 1);
  EXPECT_TRUE(IsWindowVisible(ui.control(kPseudoCodeBoxName)));
}

TEST(MainWindow, ListsHaveTheirColumnTitlesAndWidths) {
  WindowUnderTest ui;
  const auto expect = [&](ListId id, std::initializer_list<std::pair<const char*, int>> columns) {
    HWND list = ListOf(ui, id);
    int column = 0;
    for (const auto& [title, width] : columns) {
      EXPECT_EQ(ListColumnTitle(list, column), W(title));
      EXPECT_EQ(ListColumnWidth(list, column), width);
      ++column;
    }
    EXPECT_EQ(ListColumnTitle(list, column), L"");
  };
  expect(ListId::PeInfo, {{"名称", 200}, {"基地址", 300}});
  expect(ListId::Subroutines, {{"名称", 160}, {"地址", 100}, {"库名", 100}, {"OD假名称", 200}});
  expect(ListId::Imports,
         {{"Thunk RAV", 80}, {"Thunk 偏移", 80}, {"Thunk 值", 80}, {"提示/序数", 80}, {"API 名称", 200}});
  expect(ListId::Images,
         {{"PE文件", 110}, {"起点", 100}, {"长度", 100}, {"运行平台", 70}, {"项目格式", 120}, {"后缀名", 100}});
  expect(ListId::Sections,
         {{"名称", 80}, {"V.偏移", 80}, {"V.大小", 80}, {"R.偏移", 80}, {"R.大小", 80}, {"标志", 80}});
  expect(ListId::Exports, {{"序数", 80}, {"RAV", 80}, {"偏移", 80}, {"名称", 200}});
  expect(ListId::Markers, {{"保护标记", 200}, {"数据", 500}});
  expect(ListId::Signatures, {{"名称", 160}, {"地址", 100}, {"库名", 200}});
  expect(ListId::Home, {{"名称", 500}});
  EXPECT_TRUE(GetWindowLongPtrW(ListOf(ui, ListId::PeInfo), GWL_STYLE) & LVS_OWNERDATA);
}

TEST(MainWindow, MenuBarHasItsLiteralTexts) {
  WindowUnderTest ui;
  HMENU bar = GetMenu(ui.handle());
  ASSERT_TRUE(bar);
  ASSERT_EQ(GetMenuItemCount(bar), 7);
  const char* entries[] = {"文件(F)", "编辑(E)", "调试(D)", "插件(P)", "选项(T)", "窗口(W)", "关于(H)"};
  const std::vector<std::vector<const char*>> items = {{"打开"},     {"撤销", "重复"}, {"启动"},
                                                       {"没有插件"}, {"窗口设置"},     {"展开"},
                                                       {"帮助", "关于"}};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(MenuText(bar, i), W(entries[i]));
    HMENU sub = GetSubMenu(bar, i);
    ASSERT_EQ(GetMenuItemCount(sub), static_cast<int>(items[static_cast<std::size_t>(i)].size()));
    for (int k = 0; k < GetMenuItemCount(sub); ++k)
      EXPECT_EQ(MenuText(sub, k), W(items[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)]));
  }
}

TEST(MainWindow, HiddenMenusHoldTheirOneItem) {
  WindowUnderTest ui;
  HMENU images = ui.window().PopupMenu("导出资源菜单");
  HMENU names = ui.window().PopupMenu("导出表菜单");
  ASSERT_TRUE(images);
  ASSERT_TRUE(names);
  ASSERT_EQ(GetMenuItemCount(images), 1);
  ASSERT_EQ(GetMenuItemCount(names), 1);
  EXPECT_EQ(MenuText(images, 0), W("导出全部资源"));
  EXPECT_EQ(MenuText(names, 0), W("复制"));
  HMENU bar = GetMenu(ui.handle());
  for (int i = 0; i < GetMenuItemCount(bar); ++i) {
    EXPECT_NE(GetSubMenu(bar, i), images);
    EXPECT_NE(GetSubMenu(bar, i), names);
  }
}

TEST(MainWindow, ItemsWithoutHandlersChangeNothing) {
  WindowUnderTest ui;
  for (int command : {kCmdUndo, kCmdRedo, kCmdStart, kCmdNoPlugins, kCmdWindowSettings, kCmdExpand, kCmdHelp})
    SendMessageW(ui.handle(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
  PumpUntil([] { return true; });
  EXPECT_EQ(WindowText(ui.handle()), W("Tessor静态逆向 "));
  EXPECT_EQ(Status(ui), L"");
  EXPECT_EQ(CurrentPage(ui), 0);
}

TEST(MainWindow, LengthChooserStartsWith2000AndOffersTheWholeSection) {
  WindowUnderTest ui;
  HWND chooser = ui.control(kLengthChooserName);
  EXPECT_EQ(WindowText(chooser), L"2000");
  ASSERT_EQ(SendMessageW(chooser, CB_GETCOUNT, 0, 0), 1);
  wchar_t item[64] = {};
  SendMessageW(chooser, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_EQ(std::wstring(item), W("整个.text"));
  EXPECT_EQ(WindowText(ui.control("组合框1")), L"");
}

TEST(MainWindow, OpenDialogFilterOffersExecutablesAndAllFiles) {
  const std::wstring filter = OpenDialogFilter();
  const std::wstring expected = W("可执行文件") + std::wstring(1, L'\0') + L"*.exe;*.dll;*.sys" + L'\0' +
                                W("所有文件") + L'\0' + L"*.*" + L'\0' + L'\0';
  EXPECT_EQ(filter, expected);
}

TEST(MainWindow, AnalysisShowsProgressThenCaptionStatusAndEveryList) {
  REQUIRE_SAMPLE();
  WindowUnderTest ui;
  const auto path = SampleFile("64", "sample.exe");
  ui.window().AnalyseFile(path);
  EXPECT_EQ(Status(ui), W("分析中"));
  EXPECT_EQ(CurrentPage(ui), 1);
  ASSERT_TRUE(PumpUntil([&] { return !ui.window().AnalysisPending(); }));
  EXPECT_EQ(WindowText(ui.handle()), W("Tessor静态逆向 - ") + path.native());
  EXPECT_EQ(Status(ui), W("已分析大概代码 - ") + path.native());
  EXPECT_GT(ListRowCount(ListOf(ui, ListId::PeInfo)), 0);
  EXPECT_GT(ListRowCount(ListOf(ui, ListId::Subroutines)), 0);
  EXPECT_GT(ListRowCount(ListOf(ui, ListId::Imports)), 0);
  EXPECT_GT(ListRowCount(ListOf(ui, ListId::Sections)), 0);
  ExpectListsShowSnapshot(ui);
}

TEST(MainWindow, FileThatCannotBeOpenedShowsEmptyListsAndSaysSo) {
  REQUIRE_SAMPLE();
  WindowUnderTest ui;
  ASSERT_TRUE(ui.Analyse(SampleFile("64", "sample.exe")));
  const std::filesystem::path missing = SampleFile("64", "no-such-file.exe");
  ASSERT_TRUE(ui.Analyse(missing));
  EXPECT_EQ(Status(ui), W("无法打开文件 - ") + missing.native());
  for (const auto& def : kLists) EXPECT_EQ(ListRowCount(ListOf(ui, def.id)), 0);
}

TEST(MainWindow, NewRequestSupersedesTheRunningOne) {
  REQUIRE_SAMPLE();
  WindowUnderTest ui;
  const auto first = SampleFile("64", "sample.exe");
  const auto second = SampleFile("64", "sample.dll");
  ui.window().AnalyseFile(first);
  ui.window().AnalyseFile(second);
  ASSERT_TRUE(PumpUntil([&] { return !ui.window().AnalysisPending(); }));
  EXPECT_EQ(WindowText(ui.handle()), W("Tessor静态逆向 - ") + second.native());
  EXPECT_EQ(ui.window().Snapshot()->filePath, second);
  ExpectListsShowSnapshot(ui);
}

TEST(MainWindow, DropOfSeveralFilesAnalysesTheFirst) {
  REQUIRE_SAMPLE();
  WindowUnderTest ui;
  IDropTarget* target = ui.window().DropTarget();
  ASSERT_TRUE(target);
  const auto first = SampleFile("64", "sample.dll");
  IDataObject* data = testing::CreateFileListData({first.native(), SampleFile("64", "sample.exe").native()});
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target->DragEnter(data, MK_LBUTTON, {10, 10}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(target->Drop(data, 0, {10, 10}, &effect), S_OK);
  data->Release();
  EXPECT_EQ(Status(ui), W("分析中"));
  ASSERT_TRUE(PumpUntil([&] { return !ui.window().AnalysisPending(); }));
  EXPECT_EQ(WindowText(ui.handle()), W("Tessor静态逆向 - ") + first.native());
  EXPECT_EQ(Status(ui), W("已分析大概代码 - ") + first.native());
  EXPECT_GT(ListRowCount(ListOf(ui, ListId::Exports)), 0);
  ExpectListsShowSnapshot(ui);
}

TEST(MainWindow, LengthChooserIsCorrectedToTheCodeSectionLength) {
  tessor::testing::PeBuilder builder(tessor::testing::ImageKind::Pe32);
  tessor::testing::Bytes code(0x120, 0x90);
  code[0] = 0x55;
  code[1] = 0x8B;
  code[2] = 0xEC;
  code[0x11F] = 0xC3;
  builder.AddSection({".text", code, tessor::testing::kCode});
  const auto image = builder.Build();
  tessor::testing::TempDir dir;
  const auto path = dir.Write("short.exe", image.bytes);
  WindowUnderTest ui;
  ASSERT_TRUE(ui.Analyse(path));
  const auto rawSize = image.sections.at(0).rawSize;
  ASSERT_LT(rawSize, 2000u);
  EXPECT_EQ(WindowText(ui.control(kLengthChooserName)), std::to_wstring(rawSize));
  EXPECT_EQ(ui.window().Snapshot()->lengthText, std::to_string(rawSize));
}

TEST(MainWindow, SelectingSubroutineRowsShowsTheLastRowsTranslation) {
  REQUIRE_SAMPLE();
  WindowUnderTest ui;
  ASSERT_TRUE(ui.Analyse(SampleFile("64", "sample.exe")));
  const AnalysisSnapshot snapshot = ui.window().Snapshot();
  ASSERT_GE(snapshot->subroutines.size(), 4u);
  HWND list = ListOf(ui, ListId::Subroutines);
  HWND box = ui.control(kPseudoCodeBoxName);

  ClickRow(list, 2);
  ASSERT_TRUE(PumpUntil([&] { return !ui.window().TranslationPending(); }));
  EXPECT_EQ(WindowText(box), W(TranslateSubroutine(*snapshot, 2)));
  EXPECT_FALSE(WindowText(box).empty());

  for (int row : {0, 1, 3}) ClickRow(list, row);
  EXPECT_EQ(WindowText(box), L"");
  ASSERT_TRUE(PumpUntil([&] { return !ui.window().TranslationPending(); }));
  EXPECT_EQ(WindowText(box), W(TranslateSubroutine(*snapshot, 3)));
}

TEST(MainWindow, NewAnalysisEmptiesThePseudoCodeBox) {
  REQUIRE_SAMPLE();
  WindowUnderTest ui;
  ASSERT_TRUE(ui.Analyse(SampleFile("64", "sample.exe")));
  ClickRow(ListOf(ui, ListId::Subroutines), 0);
  ASSERT_TRUE(PumpUntil([&] { return !ui.window().TranslationPending(); }));
  ASSERT_FALSE(WindowText(ui.control(kPseudoCodeBoxName)).empty());
  ASSERT_TRUE(ui.Analyse(SampleFile("64", "sample.dll")));
  EXPECT_EQ(WindowText(ui.control(kPseudoCodeBoxName)), L"");
}

TEST(MainWindow, CopyPutsTheSelectedExportNameOnTheClipboard) {
  REQUIRE_SAMPLE();
  WindowUnderTest ui;
  ASSERT_TRUE(ui.Analyse(SampleFile("64", "sample.dll")));
  testing::SetClipboardText(L"unchanged");
  SendMessageW(ui.handle(), WM_COMMAND, MAKEWPARAM(kCmdCopyExportName, 0), 0);
  EXPECT_EQ(testing::ClipboardText(), L"unchanged");

  HWND exports = ListOf(ui, ListId::Exports);
  ASSERT_GT(ListRowCount(exports), 0);
  ClickRow(exports, 0);
  SendMessageW(ui.handle(), WM_COMMAND, MAKEWPARAM(kCmdCopyExportName, 0), 0);
  EXPECT_EQ(testing::ClipboardText(), ListCell(exports, 0, 3));
  EXPECT_EQ(testing::ClipboardText(), L"SampleChecksum");
}

TEST(MainWindow, ExportAllImagesReportsTheFilesWritten) {
  REQUIRE_SAMPLE();
  tessor::testing::TempDir dir;
  auto bytes = tessor::testing::ReadAll(SampleFile("64", "sample.exe"));
  const auto dll = tessor::testing::ReadAll(SampleFile("64", "sample.dll"));
  bytes.insert(bytes.end(), dll.begin(), dll.end());
  const auto path = dir.Write("carrier.exe", bytes);
  WindowUnderTest ui;
  ASSERT_TRUE(ui.Analyse(path));
  const int images = ListRowCount(ListOf(ui, ListId::Images));
  ASSERT_GT(images, 0);
  const auto folder = dir.path() / "out";
  ui.window().ExportAllImagesTo(folder);
  const std::wstring status = Status(ui);
  EXPECT_NE(status.find(std::to_wstring(images)), std::wstring::npos);
  EXPECT_EQ(status.find(W("失败")), std::wstring::npos);
  int written = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) written += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(written, images);
}

struct LayoutCase {
  int width, height;
};

class MainWindowLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(MainWindowLayout, PlacesControlsByTheFormulas) {
  WindowUnderTest ui;
  SetWindowPos(ui.handle(), nullptr, 0, 0, GetParam().width, GetParam().height, SWP_NOMOVE | SWP_NOZORDER);
  PumpUntil([] { return true; });
  RECT outer{}, client{};
  GetWindowRect(ui.handle(), &outer);
  GetClientRect(ui.handle(), &client);
  const int W = Width(outer), H = Height(outer), C = Height(client);
  ASSERT_EQ(W, GetParam().width);

  const RECT bar = PlaceInParent(ui.control(kPictureBoxName));
  EXPECT_EQ(bar.left, 1);
  EXPECT_EQ(bar.top, H - 100);
  EXPECT_EQ(Width(bar), W);
  EXPECT_EQ(Height(bar), 23);

  const RECT tab = PlaceInParent(ui.control(kTabName));
  EXPECT_EQ(tab.left, 1);
  EXPECT_EQ(tab.top, 31);
  EXPECT_EQ(Width(tab), W - 18);
  EXPECT_EQ(Height(tab), C - 74);

  const RECT frame = PlaceInParent(ui.control(kShapeFrameName));
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);
  EXPECT_EQ(Width(frame), W - 1);
  EXPECT_EQ(Height(frame), 30);

  const int TW = W - 18, TH = C - 74;
  for (const auto& def : kLists) {
    const RECT r = PlaceInParent(ListOf(ui, def.id));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(Width(r), def.id == ListId::Subroutines ? 400 : TW) << static_cast<int>(def.id);
    EXPECT_EQ(Height(r), TH - 28);
  }
  const RECT box = PlaceInParent(ui.control(kPseudoCodeBoxName));
  EXPECT_EQ(box.left, 400);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(Width(box), std::max(0, TW - 400));
  EXPECT_EQ(Height(box), TH - 28);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MainWindowLayout,
                         ::testing::Values(LayoutCase{760, 520}, LayoutCase{1000, 700}, LayoutCase{360, 420}));

}  // namespace
}  // namespace tessor::ui
