#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/about_window.h"
#include "ui/main_window_design.h"
#include "ui/wide_text.h"
#include "window_driver.h"

namespace tessor::ui {
namespace {

struct AboutSeen {
  bool found = false;
  bool mainDisabled = false;
  std::wstring caption;
  std::vector<std::wstring> texts;  // 编辑框1, 标签2, 标签1, 按钮1
};

HWND g_main = nullptr;
AboutSeen g_seen;

// Runs inside the about box's own loop: notes what it shows, then clicks 确定.
void CALLBACK LookAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND about = FindWindowW(kAboutWindowClass, nullptr);
  if (!about) return;
  KillTimer(nullptr, timer);
  g_seen.found = true;
  g_seen.mainDisabled = !IsWindowEnabled(g_main);
  g_seen.caption = WindowText(about);
  for (const char* name : {"编辑框1", "标签2", "标签1", "按钮1"}) g_seen.texts.push_back(WindowText(AboutControl(about, name)));
  SendMessageW(AboutControl(about, "按钮1"), BM_CLICK, 0, 0);
}

AboutSeen OpenAbout(const testing::WindowUnderTest& ui) {
  g_main = ui.handle();
  g_seen = {};
  SetTimer(nullptr, 0, 20, LookAndClose);
  SendMessageW(ui.handle(), WM_COMMAND, MAKEWPARAM(kCmdAbout, 0), 0);  // returns once the box is closed
  return g_seen;
}

TEST(AboutWindow, OpensModalWithItsTextsAndClosesByItsButtonTwice) {
  testing::WindowUnderTest ui;
  const AboutSeen first = OpenAbout(ui);
  ASSERT_TRUE(first.found);
  EXPECT_TRUE(first.mainDisabled);
  EXPECT_EQ(first.caption, L"");
  ASSERT_EQ(first.texts.size(), 4u);
  EXPECT_EQ(first.texts[0], Wide(kAboutText));
  EXPECT_FALSE(first.texts[1].empty());
  EXPECT_FALSE(first.texts[2].empty());
  EXPECT_EQ(first.texts[3], Wide("确定"));
  EXPECT_EQ(FindWindowW(kAboutWindowClass, nullptr), nullptr);
  EXPECT_TRUE(IsWindowEnabled(ui.handle()));

  const AboutSeen second = OpenAbout(ui);
  ASSERT_TRUE(second.found);
  EXPECT_EQ(second.texts, first.texts);
  EXPECT_EQ(FindWindowW(kAboutWindowClass, nullptr), nullptr);
}

}  // namespace
}  // namespace tessor::ui
