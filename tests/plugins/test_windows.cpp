#include "test_windows.h"

#include "plugins/mdi_host.h"

namespace tessor::testing {
namespace {

constexpr wchar_t kFrameClass[] = L"TessorTestFrame";

LRESULT CALLBACK TestFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) TestFrame::Commands().push_back(wParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

HMENU MakeMenuBar() {
  using plugins::WideFromGbk;
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 1, WideFromGbk("打开").c_str());
  HMENU window = CreatePopupMenu();
  AppendMenuW(window, MF_STRING, 2, WideFromGbk("展开").c_str());
  HMENU plugin = CreatePopupMenu();
  AppendMenuW(plugin, MF_STRING | MF_GRAYED, 3, WideFromGbk("没有插件").c_str());
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), WideFromGbk("文件(F)").c_str());
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(window), WideFromGbk("窗口(W)").c_str());
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(plugin), WideFromGbk("插件(P)").c_str());
  return bar;
}

}  // namespace

std::vector<WPARAM>& TestFrame::Commands() {
  static std::vector<WPARAM> commands;
  return commands;
}

TestFrame::TestFrame(bool visible) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = TestFrameProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  cls.lpszClassName = kFrameClass;
  RegisterClassExW(&cls);
  Commands().clear();
  window_ = CreateWindowExW(0, kFrameClass, L"Test frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640,
                            480, nullptr, MakeMenuBar(), GetModuleHandleW(nullptr), nullptr);
  if (visible) {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
  }
  PumpMessages();
}

TestFrame::~TestFrame() {
  if (IsWindow(window_)) DestroyWindow(window_);
  PumpMessages();
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

bool Shown(HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

std::vector<std::wstring> MenuTexts(HMENU menu) {
  std::vector<std::wstring> texts;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
    texts.emplace_back(text);
  }
  return texts;
}

}  // namespace tessor::testing
