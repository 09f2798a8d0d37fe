#include "ui/about_window.h"

#include <array>

#include "ui/main_window_design.h"
#include "ui/wide_text.h"

namespace tessor::ui {

namespace {

struct AboutControlDef {
  std::string_view name;
  const wchar_t* windowClass;
  DWORD style;
  Place place;
  std::string_view text;
};

constexpr int kFirstAboutControlId = 1000;  // a control's identifier: this plus its index in the table

constexpr std::array kAboutControls = {
    AboutControlDef{"编辑框1", L"EDIT", ES_MULTILINE | ES_READONLY, {16, 8, 368, 112}, kAboutText},
    AboutControlDef{"标签2", L"STATIC", SS_LEFT, {48, 136, 248, 24}, "作者：Tessor 开发组"},
    AboutControlDef{"标签1", L"STATIC", SS_LEFT, {48, 168, 296, 32}, "地址：随程序附带的 README"},
    AboutControlDef{"按钮1", L"BUTTON", BS_DEFPUSHBUTTON, {144, 216, 80, 32}, "确定"},
};

int IndexOf(std::string_view name) {
  for (std::size_t i = 0; i < kAboutControls.size(); ++i)
    if (kAboutControls[i].name == name) return static_cast<int>(i);
  return -1;
}

int CloseButtonId() { return kFirstAboutControlId + IndexOf("按钮1"); }

// One AboutWindow: its controls, and the close button's handler.
class AboutWindow {
 public:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* self = static_cast<AboutWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
      self->window_ = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<AboutWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wparam, lparam);
    switch (message) {
      case WM_CREATE: self->OnCreate(); return 0;
      case WM_COMMAND:
        if (LOWORD(wparam) == CloseButtonId() || LOWORD(wparam) == IDCANCEL) self->CloseAboutBox();
        return 0;
      case WM_CLOSE: self->CloseAboutBox(); return 0;
      case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcW(window, message, wparam, lparam);
      default: return DefWindowProcW(window, message, wparam, lparam);
    }
  }

  explicit AboutWindow(HFONT font) : font_(font) {}
  bool Open() const { return window_ != nullptr; }
  HWND Handle() const { return window_; }

 private:
  void OnCreate() {
    int id = kFirstAboutControlId;
    for (const auto& def : kAboutControls) {
      HWND control = CreateWindowExW(0, def.windowClass, Wide(def.text).c_str(), WS_CHILD | WS_VISIBLE | def.style,
                                     def.place.left, def.place.top, def.place.width, def.place.height, window_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), GetModuleHandleW(nullptr),
                                     nullptr);
      if (font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
  }
  void CloseAboutBox() { DestroyWindow(window_); }

  HWND window_ = nullptr;
  HFONT font_;
};

void RegisterAboutClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = AboutWindow::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kAboutWindowClass;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
}

}  // namespace

void ShowAboutBox(HWND blocked, HFONT font) {
  RegisterAboutClass();
  AboutWindow about(font);
  const Place& p = kAboutWindowPlace;
  CreateWindowExW(WS_EX_DLGMODALFRAME, kAboutWindowClass, L"", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                  p.left, p.top, p.width, p.height, nullptr, nullptr, GetModuleHandleW(nullptr), &about);
  if (!about.Open()) return;
  if (blocked) EnableWindow(blocked, FALSE);
  MSG message;
  while (about.Open()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (!IsDialogMessageW(about.Handle(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (about.Open()) DestroyWindow(about.Handle());
  if (blocked) {
    EnableWindow(blocked, TRUE);
    SetActiveWindow(blocked);
  }
}

HWND AboutControl(HWND aboutWindow, std::string_view name) {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : GetDlgItem(aboutWindow, kFirstAboutControlId + index);
}

}  // namespace tessor::ui
