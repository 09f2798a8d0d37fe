// Windows for the plugin tests: a top-level test frame with a menu bar, and helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tessor::testing {

// A top-level window (hidden unless asked: showing and hiding windows costs a wait for
// the X server) with the menu bar 文件 | 窗口(W) ("展开") | 插件(P)
// ("没有插件"), whose own procedure records the WM_COMMAND values it receives.
class TestFrame {
 public:
  static constexpr int kWindowMenuPosition = 1;
  static constexpr int kPluginMenuPosition = 2;

  explicit TestFrame(bool visible = false);
  ~TestFrame();
  TestFrame(const TestFrame&) = delete;
  TestFrame& operator=(const TestFrame&) = delete;

  HWND window() const { return window_; }
  HMENU menuBar() const { return GetMenu(window_); }
  // The WM_COMMAND wParam values that reached the frame's own procedure.
  static std::vector<WPARAM>& Commands();

 private:
  HWND window_ = nullptr;
};

// Handles every message waiting in this thread's queue, again until none is left, so
// that messages posted while handling others are handled too.
void PumpMessages();

std::wstring WindowText(HWND window);
// Whether the window itself is shown (its own WS_VISIBLE, whatever its ancestors).
bool Shown(HWND window);
// The texts of a menu's items, separators as "".
std::vector<std::wstring> MenuTexts(HMENU menu);

}  // namespace tessor::testing
