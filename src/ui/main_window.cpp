#include "ui/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <ole2.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <thread>

#include "app/translation_jobs.h"
#include "plugins/plugin_host.h"
#include "ui/about_window.h"
#include "ui/analysis_worker.h"
#include "ui/drop_target.h"
#include "ui/main_window_design.h"
#include "ui/toolbar_pictures.h"
#include "ui/wide_text.h"

namespace tessor::ui {

namespace {

constexpr wchar_t kMainWindowClass[] = L"TessorMainWindow";
constexpr wchar_t kPanelClass[] = L"TessorPanel";
constexpr Place kMainWindowDesignPlace = {50, 50, 831, 429};
constexpr int kCreatedWidth = 760;
constexpr int kCreatedHeight = 520;
constexpr int kTabHeaderHeight = 28;
constexpr int kSubroutineListWidth = 400;
constexpr int kPageCount = 9;  // without the plugins' page
static_assert(kPluginPage == kPageCount);
static_assert(kCmdLast < static_cast<int>(plugins::kFirstWindowCommand));

// The position of a top-level entry of the menu bar.
int MenuBarPosition(std::string_view menu) {
  int position = -1;
  std::string_view previous;
  for (const auto& item : kMenuBar) {
    if (position < 0 || item.menu != previous) {
      ++position;
      previous = item.menu;
    }
    if (item.menu == menu) return position;
  }
  return -1;
}

// The faces tried in order for a font that shows Chinese; the first one installed wins.
constexpr const wchar_t* kFontFaces[] = {L"Microsoft YaHei", L"SimSun", L"NSimSun", L"WenQuanYi Micro Hei",
                                         L"WenQuanYi Zen Hei"};

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

HFONT CreateChineseFont() {
  HDC dc = GetDC(nullptr);
  const wchar_t* face = nullptr;
  for (const wchar_t* candidate : kFontFaces) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(query.lfFaceName, candidate, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(dc, &query, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
    if (found) {
      face = candidate;
      break;
    }
  }
  ReleaseDC(nullptr, dc);
  if (!face) return nullptr;
  return CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// The container windows (外形框1, 图片框2 and the pages) pass their children's
// notifications on to the main window.
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CONTEXTMENU:
      return SendMessageW(GetAncestor(window, GA_ROOT), message, wparam, lparam);
    default: return DefWindowProcW(window, message, wparam, lparam);
  }
}

bool RegisterClasses(WNDPROC mainProc) {
  static const bool registered = [mainProc] {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
    WNDCLASSEXW main{};
    main.cbSize = sizeof(main);
    main.lpfnWndProc = mainProc;
    main.hInstance = GetModuleHandleW(nullptr);
    main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    main.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = kMainWindowClass;
    WNDCLASSEXW panel = main;
    panel.lpfnWndProc = PanelProc;
    panel.lpszClassName = kPanelClass;
    return RegisterClassExW(&main) != 0 && RegisterClassExW(&panel) != 0;
  }();
  return registered;
}

int IndexOfControl(std::string_view name) {
  for (std::size_t i = 0; i < kMainWindowControls.size(); ++i)
    if (kMainWindowControls[i].name == name) return static_cast<int>(i);
  return -1;
}

void Move(HWND control, int left, int top, int width, int height) {
  // Applied as computed: a width of zero or less gives an empty control.
  SetWindowPos(control, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::current_path();
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED && start) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
  return 0;
}

}  // namespace

// ---- plain handle helpers ----

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(got, 0)));
  return text;
}

std::wstring ListCell(HWND list, int row, int column) {
  std::wstring text(4096, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  const auto n = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
  return text;
}

int ListRowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ListColumnTitle(HWND list, int column) {
  wchar_t buffer[256] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = buffer;
  col.cchTextMax = 256;
  if (!SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col))) return {};
  return buffer;
}

int ListColumnWidth(HWND list, int column) {
  return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

std::wstring StatusText(HWND statusBar, int part) {
  const auto length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(statusBar, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return text;
}

RECT PlaceInParent(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring OpenDialogFilter() {
  std::wstring filter = Wide(kOpenDialogFilter);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  return filter;
}

int RunMessageLoop(HWND mainWindow) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    const MainWindow* window = mainWindow && IsWindow(mainWindow) ? MainWindow::FromHandle(mainWindow) : nullptr;
    if (window && window->TranslatePluginKeys(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

// ---- MainWindow ----

MainWindow::MainWindow(const MainWindowOptions& options)
    : options_(options), plugins_(std::make_unique<plugins::PluginHost>()) {}

MainWindow::~MainWindow() = default;

MainWindow* MainWindow::Create(const MainWindowOptions& options) {
  if (!RegisterClasses(WindowProc)) return nullptr;
  auto* self = new MainWindow(options);
  const Place& p = kMainWindowDesignPlace;
  HWND window = CreateWindowExW(0, kMainWindowClass, Wide(kMainWindowCaption).c_str(), WS_OVERLAPPEDWINDOW,
                                p.left, p.top, p.width, p.height, nullptr, nullptr, GetModuleHandleW(nullptr), self);
  if (!window) return nullptr;  // WM_NCDESTROY has deleted it
  ShowWindow(window, options.showCommand);
  UpdateWindow(window);
  return self;
}

MainWindow* MainWindow::FromHandle(HWND window) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HWND MainWindow::Control(std::string_view name) const {
  const int i = IndexOfControl(name);
  return i < 0 || static_cast<std::size_t>(i) >= controls_.size() ? nullptr : controls_[static_cast<std::size_t>(i)];
}

HMENU MainWindow::PopupMenu(std::string_view name) const {
  for (std::size_t i = 0; i < std::size(kPopupMenus) && i < popupMenus_.size(); ++i)
    if (kPopupMenus[i].menu == name) return popupMenus_[i];
  return nullptr;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  MainWindow* self = FromHandle(window);
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete self;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_SIZE: OnSize(); return 0;
    case WM_COMMAND:
      if (lparam != 0) return 0;  // a control's notification
      switch (plugins_->OnCommand(LOWORD(wparam))) {
        case plugins::PluginCommand::kPluginChosen: SelectPage(kPluginPage); return 0;  // its child is active
        case plugins::PluginCommand::kHandled: return 0;  // a command of "窗口(W)" for the children
        case plugins::PluginCommand::kNotMine: break;
      }
      OnCommand(LOWORD(wparam));
      return 0;
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
    case kMsgAnalysisProgress: OnProgress(static_cast<unsigned>(wparam), static_cast<int>(lparam)); return 0;
    case kMsgAnalysed: OnAnalysed(static_cast<unsigned>(wparam), lparam); return 0;
    case kMsgTranslated: OnTranslated(wparam, lparam); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    default: return DefWindowProcW(window_, message, wparam, lparam);
  }
}

bool MainWindow::OnCreate() {
  oleReady_ = SUCCEEDED(OleInitialize(nullptr));
  font_ = CreateChineseFont();
  ownsFont_ = font_ != nullptr;
  if (!font_) font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  CreateMenus();
  CreateControls();
  worker_ = std::make_unique<AnalysisWorker>(window_, kMsgAnalysisProgress, kMsgAnalysed);
  HWND window = window_;
  translations_ = std::make_unique<TranslationJobs>([window](std::uint64_t request, const std::string& text) {
    auto copy = std::make_unique<std::string>(text);
    if (PostMessageW(window, kMsgTranslated, static_cast<WPARAM>(request), reinterpret_cast<LPARAM>(copy.get())))
      copy.release();
  });
  SelectPage(0);
  MainWindowCreated();
  return true;
}

void MainWindow::CreateMenus() {
  HMENU bar = CreateMenu();
  HMENU current = nullptr;
  std::string_view currentName;
  for (const auto& item : kMenuBar) {
    if (!current || item.menu != currentName) {
      current = CreatePopupMenu();
      currentName = item.menu;
      AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(current), Wide(item.menu).c_str());
    }
    AppendMenuW(current, MF_STRING, static_cast<UINT_PTR>(item.command), Wide(item.item).c_str());
  }
  SetMenu(window_, bar);
  for (const auto& item : kPopupMenus) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.command), Wide(item.item).c_str());
    popupMenus_.push_back(menu);
  }
}

void MainWindow::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  controls_.assign(kMainWindowControls.size(), nullptr);
  for (std::size_t i = 0; i < kMainWindowControls.size(); ++i) {
    const ControlDef& def = kMainWindowControls[i];
    HWND parent = window_;
    if (def.page >= 0 && def.page < static_cast<int>(pages_.size()))
      parent = pages_[static_cast<std::size_t>(def.page)];
    else if (!def.parent.empty())
      parent = Control(def.parent);
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(i)));
    const Place& p = def.place;
    const DWORD child = WS_CHILD | WS_VISIBLE;
    HWND control = nullptr;
    switch (def.kind) {
      case ControlKind::ShapeFrame:
      case ControlKind::PictureBox:
        control = CreateWindowExW(0, kPanelClass, L"", child | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, p.left, p.top, p.width, p.height,
                                  parent, id, instance, nullptr);
        break;
      case ControlKind::Toolbar: {
        control = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                                  child | TBSTYLE_FLAT | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, p.left,
                                  p.top, p.width, p.height, parent, id, instance, nullptr);
        SendMessageW(control, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        toolbarImages_ = CreateToolbarPictures();
        SendMessageW(control, TB_SETBITMAPSIZE, 0, MAKELPARAM(kToolbarPictureSize, kToolbarPictureSize));
        SendMessageW(control, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_));
        std::array<TBBUTTON, kToolbarPictureCount> buttons{};
        for (int b = 0; b < kToolbarPictureCount; ++b) {
          buttons[static_cast<std::size_t>(b)].iBitmap = b;
          buttons[static_cast<std::size_t>(b)].idCommand = 0;
          buttons[static_cast<std::size_t>(b)].fsState = TBSTATE_ENABLED;
          buttons[static_cast<std::size_t>(b)].fsStyle = BTNS_BUTTON;
          buttons[static_cast<std::size_t>(b)].iString = -1;
        }
        SendMessageW(control, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
        break;
      }
      case ControlKind::TabControl: {
        control = CreateWindowExW(0, WC_TABCONTROLW, L"", child | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, p.left, p.top,
                                  p.width, p.height, parent, id, instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        for (int page = 0; page < kPageCount; ++page) {
          std::wstring title;
          for (const auto& list : kLists)
            if (list.page == page) title = Wide(list.pageTitle);
          AddPage(control, title);
        }
        break;
      }
      case ControlKind::Label:
        control = CreateWindowExW(0, L"STATIC", Wide(def.text).c_str(), child | SS_LEFT, p.left, p.top, p.width,
                                  p.height, parent, id, instance, nullptr);
        break;
      case ControlKind::ComboBox:
      case ControlKind::EditableComboBox:
        // The height of a drop-down combo box includes its list.
        control = CreateWindowExW(0, WC_COMBOBOXW, L"", child | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                  p.left, p.top, p.width, p.height + 200, parent, id, instance, nullptr);
        if (def.kind == ControlKind::EditableComboBox) {
          SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(kLengthChooserItem).c_str()));
          SetWindowTextW(control, Wide(def.text).c_str());
        }
        break;
      case ControlKind::StatusBar: {
        control = CreateWindowExW(0, STATUSCLASSNAMEW, L"", child | SBARS_SIZEGRIP, p.left, p.top, p.width, p.height,
                                  parent, id, instance, nullptr);
        int parts[] = {kStatusPartWidth, -1};
        SendMessageW(control, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
        break;
      }
      case ControlKind::ReportList: {
        control = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                  child | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL,
                                  p.left, p.top, p.width, p.height, parent, id, instance, nullptr);
        SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                     LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
        for (const auto& list : kLists) {
          if (list.control != def.name) continue;
          int column = 0;
          for (const auto& col : list.columns) {
            std::wstring title = Wide(col.title);
            LVCOLUMNW c{};
            c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            c.pszText = title.data();
            c.cx = col.width;
            c.iSubItem = column;
            SendMessageW(control, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column++), reinterpret_cast<LPARAM>(&c));
          }
        }
        break;
      }
      case ControlKind::EditBox:
        control = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                  child | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL,
                                  p.left, p.top, p.width, p.height, parent, id, instance, nullptr);
        SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
        break;
    }
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    controls_[i] = control;
  }
}

void MainWindow::AddPage(HWND tab, const std::wstring& title) {
  const Place& p = kMainWindowControls[static_cast<std::size_t>(IndexOfControl(kTabName))].place;
  std::wstring text = title;
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  SendMessageW(tab, TCM_INSERTITEMW, pages_.size(), reinterpret_cast<LPARAM>(&item));
  pages_.push_back(CreateWindowExW(0, kPanelClass, L"", WS_CHILD | WS_CLIPCHILDREN, 0, kTabHeaderHeight, p.width,
                                   p.height - kTabHeaderHeight, tab, nullptr, GetModuleHandleW(nullptr), nullptr));
}

void MainWindow::StartPlugins() {
  // The program's list of plugins belongs to its one main window; a window made again
  // in the same process starts from an empty list.
  plugins::PluginList().clear();
  const plugins::PluginHostConfig config{window_, GetMenu(window_), MenuBarPosition("窗口(W)"),
                                         MenuBarPosition("插件(P)")};
  const plugins::LoadOutcome outcome = options_.pluginFolder
                                           ? plugins_->StartFrom(config, options_.pluginFolder->native())
                                           : plugins_->Start(config);
  // With no plugin file at all the status bar stays as it was.
  if (outcome.loaded + outcome.failed > 0) SetStatus(0, Wide(plugins_->StatusText()));
  if (!plugins_->Active()) return;
  AddPage(Control(kTabName), Wide(kPluginPageTitle));
  LayoutMainWindow();
  SelectPage(static_cast<int>(SendMessageW(Control(kTabName), TCM_GETCURSEL, 0, 0)));
}

bool MainWindow::TranslatePluginKeys(MSG* msg) const { return plugins_->TranslateAccelerator(msg); }

void MainWindow::MainWindowCreated() {
  // The bar of the length chooser overlaps the tab control's lower edge; it stays in front.
  SetWindowPos(Control(kPictureBoxName), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(window_, nullptr, 0, 0, kCreatedWidth, kCreatedHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  dropTarget_ = CreateFileDropTarget([this](const std::filesystem::path& path) { FileDropped(path); });
  if (oleReady_) RegisterDragDrop(window_, dropTarget_);
  // The plugins, before the signature files; the window procedure they wrap is in place.
  StartPlugins();
  signatures_ = LoadSignatureFolder(options_.signatureFolder,
                                    [](const std::filesystem::path& name) { return GbkPath(name); });
}

void MainWindow::OnSize() { LayoutMainWindow(); }

void MainWindow::LayoutMainWindow() {
  RECT outer{}, client{};
  GetWindowRect(window_, &outer);
  GetClientRect(window_, &client);
  const int W = outer.right - outer.left;
  const int H = outer.bottom - outer.top;
  const int C = client.bottom - client.top;

  Move(Control(kPictureBoxName), 1, H - 100, W, 23);
  Move(Control(kTabName), 1, 31, W - 18, C - 74);
  HWND frame = Control(kShapeFrameName);
  const RECT frameNow = PlaceInParent(frame);
  Move(frame, 0, frameNow.top, W - 1, frameNow.bottom - frameNow.top);

  const int TW = W - 18;
  const int TH = C - 74;
  for (HWND page : pages_) Move(page, 0, kTabHeaderHeight, TW, TH - kTabHeaderHeight);
  // The plugin children's client lies over the display area of page "插件" (the tab
  // control is at 1, 31).
  plugins_->SetClientBounds(1, 31 + kTabHeaderHeight, TW, TH - kTabHeaderHeight);
  Move(Control(ListDefinition(ListId::PeInfo).control), 0, 0, TW, TH - 28);
  Move(Control(ListDefinition(ListId::Imports).control), 0, 0, TW, TH - 28);
  Move(Control(ListDefinition(ListId::Subroutines).control), 0, 0, kSubroutineListWidth, TH - 28);
  Move(Control(kPseudoCodeBoxName), kSubroutineListWidth, 0, TW - kSubroutineListWidth, TH - 28);
  for (ListId id : {ListId::Sections, ListId::Exports, ListId::Markers, ListId::Images, ListId::Signatures,
                    ListId::Home})
    Move(Control(ListDefinition(id).control), 0, 0, TW, TH - 28);

  // The status bar keeps itself along the bottom edge.
  SendMessageW(Control(kStatusBarName), WM_SIZE, 0, 0);
}

void MainWindow::SelectPage(int page) {
  HWND tab = Control(kTabName);
  SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  const int current = static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0));
  for (int i = 0; i < static_cast<int>(pages_.size()); ++i)
    ShowWindow(pages_[static_cast<std::size_t>(i)], i == current ? SW_SHOWNA : SW_HIDE);
  if (plugins_->Active()) {
    plugins_->ShowClient(current == kPluginPage);
    // The bar of the length chooser stays in front of the client, as of the tab control.
    if (current == kPluginPage)
      SetWindowPos(Control(kPictureBoxName), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void MainWindow::OnCommand(int command) {
  switch (command) {
    case kCmdOpen: OpenFileCommand(); break;
    case kCmdAbout: ShowAboutBox(window_, font_); break;
    case kCmdExportAllImages: ExportAllImagesCommand(); break;
    case kCmdCopyExportName: CopyExportName(); break;
    default: break;  // the other items have no handler
  }
}

void MainWindow::OpenFileCommand() {
  std::wstring file(32768, L'\0');
  const std::wstring filter = OpenDialogFilter();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return;
  file.resize(wcslen(file.c_str()));
  AnalyseFile(std::filesystem::path(file));
}

void MainWindow::FileDropped(const std::filesystem::path& path) { AnalyseFile(path); }

void MainWindow::AnalyseFile(const std::filesystem::path& path) {
  const unsigned request = ++latestRequest_;
  SetStatus(0, Wide(kAnalysingText));
  SetStatus(1, L"");
  SelectPage(1);
  // A new analysis starts from a clean pseudo-code box; running translations are dropped.
  latestTranslation_ = shownTranslation_ = 0;
  SetWindowTextW(Control(kPseudoCodeBoxName), L"");
  AnalysisOptions options;
  options.lengthText = Gbk(WindowText(Control(kLengthChooserName)));
  options.signatures = signatures_;
  worker_->Start(request, path, std::move(options));
}

void MainWindow::OnProgress(unsigned request, int permille) {
  if (request != latestRequest_ || !AnalysisPending()) return;
  SetStatus(1, Wide("进度 ") + std::to_wstring(std::clamp(permille, 0, 1000) / 10) + L"%");
}

void MainWindow::OnAnalysed(unsigned request, LPARAM resultParam) {
  std::unique_ptr<AnalysisResult> result(reinterpret_cast<AnalysisResult*>(resultParam));
  if (request != latestRequest_) return;  // superseded by a newer request
  shownRequest_ = request;
  snapshot_ = result->snapshot;
  latestTranslation_ = shownTranslation_ = 0;
  SetWindowTextW(Control(kPseudoCodeBoxName), L"");
  ShowSnapshot();
  const std::wstring path = result->path.native();
  SetWindowTextW(window_, (Wide(kAnalysedCaptionPrefix) + path).c_str());
  SetStatus(0, Wide(snapshot_ ? kAnalysedStatusPrefix : kCannotOpenStatusPrefix) + path);
  SetStatus(1, L"");
  if (snapshot_) {
    HWND chooser = Control(kLengthChooserName);
    const std::wstring corrected = Wide(snapshot_->lengthText);
    if (WindowText(chooser) != corrected) SetWindowTextW(chooser, corrected.c_str());
  }
  if (options_.rowAfterAnalysis >= 0) {
    HWND list = Control(ListDefinition(ListId::Subroutines).control);
    LVITEMW state{};
    state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(options_.rowAfterAnalysis), reinterpret_cast<LPARAM>(&state));
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(options_.rowAfterAnalysis), FALSE);
    options_.rowAfterAnalysis = -1;
  }
  if (options_.pageAfterAnalysis >= 0) {
    SelectPage(options_.pageAfterAnalysis);
    options_.pageAfterAnalysis = -1;
  }
}

void MainWindow::ShowSnapshot() {
  for (const auto& def : kLists) {
    HWND list = Control(def.control);
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    const std::size_t rows = snapshot_ ? snapshot_->report.Table(def.id).RowCount() : 0;
    SendMessageW(list, LVM_SETITEMCOUNT, rows, 0);
    InvalidateRect(list, nullptr, TRUE);
  }
}

int MainWindow::ListIndexOfControl(HWND control) const {
  for (std::size_t i = 0; i < kLists.size(); ++i)
    if (control && Control(kLists[i].control) == control) return static_cast<int>(i);
  return -1;
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
  if (header.hwndFrom == Control(kTabName)) {
    if (header.code == TCN_SELCHANGE) SelectPage(static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
    return 0;
  }
  const int list = ListIndexOfControl(header.hwndFrom);
  if (list < 0) return 0;
  const ListId id = kLists[static_cast<std::size_t>(list)].id;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& item = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        std::wstring text;
        if (snapshot_) text = Wide(snapshot_->report.Table(id).Cell(static_cast<std::size_t>(item.iItem),
                                                                   static_cast<std::size_t>(item.iSubItem)));
        lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
      }
      return 0;
    }
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if (id == ListId::Subroutines && (change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_FOCUSED) &&
          !(change.uOldState & LVIS_FOCUSED))
        OnSubroutineSelected(change.iItem);
      return 0;
    }
    case NM_RCLICK: {
      POINT at{};
      GetCursorPos(&at);
      if (id == ListId::Exports) ShowPopupMenu(kExportNameMenu, at);
      if (id == ListId::Images) ShowPopupMenu(kExportImagesMenu, at);
      return 0;
    }
    default: return 0;
  }
}

void MainWindow::ShowPopupMenu(std::string_view name, POINT at) {
  HMENU menu = PopupMenu(name);
  if (!menu) return;
  SetForegroundWindow(window_);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  PostMessageW(window_, WM_NULL, 0, 0);
}

void MainWindow::OnSubroutineSelected(int row) {
  const std::size_t n = snapshot_ ? snapshot_->subroutines.size() : 0;
  if (row < 0 || static_cast<std::size_t>(row) >= n) return;
  SetWindowTextW(Control(kPseudoCodeBoxName), L"");
  // The jobs deliver only the latest request's text; the box shows the row selected last.
  latestTranslation_ = translations_->Select(snapshot_, row);
}

void MainWindow::OnTranslated(WPARAM request, LPARAM textParam) {
  std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(textParam));
  if (latestTranslation_ == 0 || request != static_cast<WPARAM>(latestTranslation_)) return;  // superseded
  shownTranslation_ = latestTranslation_;
  SetWindowTextW(Control(kPseudoCodeBoxName), Wide(*text).c_str());
}

void MainWindow::ExportAllImagesCommand() {
  const std::wstring start = snapshot_ ? FolderOf(snapshot_->filePath).native() : std::wstring();
  const std::wstring title = Wide("选择导出全部资源的文件夹");
  BROWSEINFOW browse{};
  browse.hwndOwner = window_;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  browse.lpfn = BrowseCallback;
  browse.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return;
  std::wstring folder(MAX_PATH * 4, L'\0');
  const bool ok = SHGetPathFromIDListW(chosen, folder.data());
  CoTaskMemFree(chosen);
  if (!ok) return;
  folder.resize(wcslen(folder.c_str()));
  ExportAllImagesTo(std::filesystem::path(folder));
}

void MainWindow::ExportAllImagesTo(const std::filesystem::path& folder) {
  if (!snapshot_) {
    SetStatus(0, Wide("没有已分析的文件，未导出资源"));
    return;
  }
  const ExportResult result = tessor::ExportAllImages(*snapshot_, folder);
  std::wstring text = Wide("已导出 ") + std::to_wstring(result.written) + Wide(" 个文件到 ") + folder.native();
  if (!result.firstFailure.empty()) text += Wide("；失败：") + Wide(result.firstFailure);
  SetStatus(0, text);
}

void MainWindow::CopyExportName() {
  HWND list = Control(ListDefinition(ListId::Exports).control);
  const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0 || !snapshot_) return;
  const ReportTable& exports = snapshot_->report.Table(ListId::Exports);
  if (static_cast<std::size_t>(row) >= exports.RowCount()) return;
  const std::wstring name = Wide(exports.Cell(static_cast<std::size_t>(row), 3));
  if (!OpenClipboard(window_)) return;
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (name.size() + 1) * sizeof(wchar_t))) {
    auto* target = static_cast<wchar_t*>(GlobalLock(memory));
    std::copy(name.c_str(), name.c_str() + name.size() + 1, target);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

void MainWindow::SetStatus(int part, const std::wstring& text) {
  SendMessageW(Control(kStatusBarName), SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindow::OnDestroy() {
  worker_.reset();
  translations_.reset();
  if (oleReady_) RevokeDragDrop(window_);
  if (dropTarget_) dropTarget_->Release();
  dropTarget_ = nullptr;
  for (HMENU menu : popupMenus_) DestroyMenu(menu);
  popupMenus_.clear();
  if (toolbarImages_) ImageList_Destroy(toolbarImages_);
  if (ownsFont_) DeleteObject(font_);
  if (oleReady_) OleUninitialize();
  if (options_.quitOnClose) PostQuitMessage(0);
}

}  // namespace tessor::ui
