#include "plugins/plugin_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "test_windows.h"

namespace tessor::plugins {
namespace {

using testing::MenuTexts;
using testing::TempDir;
using testing::TestFrame;
using testing::WindowText;

class PluginHostTest : public ::testing::Test {
 protected:
  void SetUp() override { PluginList().clear(); }
  void TearDown() override { PluginList().clear(); }

  std::wstring FolderWith(const std::vector<std::wstring>& fixtures) {
    for (const auto& name : fixtures) {
      const std::wstring source = ProgramDirectory() + L"\\plugin-fixtures\\" + name + L".dll";
      const std::wstring target = folder.path().wstring() + L"\\" + name + L".dll";
      EXPECT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE));
    }
    return folder.path().wstring();
  }

  LoadOutcome Start(const std::vector<std::wstring>& fixtures) {
    return plugins.StartFrom({frame.window(), frame.menuBar(), TestFrame::kWindowMenuPosition,
                              TestFrame::kPluginMenuPosition},
                             FolderWith(fixtures));
  }

  HMENU PluginMenu() const { return GetSubMenu(frame.menuBar(), TestFrame::kPluginMenuPosition); }
  HMENU WindowMenu() const { return GetSubMenu(frame.menuBar(), TestFrame::kWindowMenuPosition); }

  TestFrame frame;
  TempDir folder;
  PluginHost plugins;
};

TEST_F(PluginHostTest, WithoutPluginsNothingChanges) {
  const auto procedure = GetWindowLongPtrW(frame.window(), GWLP_WNDPROC);
  const LoadOutcome outcome = Start({L"noexports"});
  EXPECT_FALSE(plugins.Active());
  EXPECT_EQ(outcome.loaded, 0);
  EXPECT_EQ(outcome.failed, 1);
  EXPECT_EQ(plugins.Client(), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(frame.window(), GWLP_WNDPROC), procedure);
  EXPECT_EQ(MenuTexts(PluginMenu()), std::vector<std::wstring>{L"没有插件"});
  EXPECT_EQ(MenuTexts(WindowMenu()), std::vector<std::wstring>{L"展开"});
  EXPECT_EQ(plugins.OnCommand(kFirstWindowCommand), PluginCommand::kNotMine);
  EXPECT_EQ(plugins.StatusText(), "插件：已加载 0 个，失败 1 个");
}

TEST_F(PluginHostTest, PluginsTurnTheWindowIntoAFrameWithTheirMenus) {
  const LoadOutcome outcome = Start({L"alpha", L"untitled", L"noexports"});
  ASSERT_TRUE(plugins.Active());
  EXPECT_EQ(outcome.loaded, 2);
  EXPECT_EQ(outcome.failed, 1);
  EXPECT_EQ(plugins.StatusText(), "插件：已加载 2 个，失败 1 个");
  ASSERT_NE(plugins.Client(), nullptr);
  EXPECT_FALSE(testing::Shown(plugins.Client())) << "shown only with its page";
  EXPECT_EQ(plugins.Host().WindowMenu(), WindowMenu());

  std::vector<std::wstring> expected;
  for (const PluginEntry& entry : PluginList())
    expected.push_back(entry.fileName == L"alpha.dll" ? L"甲插件" : L"untitled.dll");  // no title: its file name
  EXPECT_EQ(MenuTexts(PluginMenu()), expected);

  const std::vector<std::wstring> commands{
      L"展开",        L"",           L"层叠(&C)",           L"横向平铺(&H)",     L"纵向平铺(&V)",
      L"排列图标(&A)", L"下一个(&N)\tCtrl+F6", L"上一个(&P)", L"关闭(&O)\tCtrl+F4"};
  auto windowItems = MenuTexts(WindowMenu());
  ASSERT_GT(windowItems.size(), commands.size());
  EXPECT_EQ(std::vector<std::wstring>(windowItems.begin(), windowItems.begin() + 9), commands);
  EXPECT_EQ(GetMenuItemID(WindowMenu(), 2), kFirstWindowCommand);
  EXPECT_EQ(windowItems.back().substr(0, 3), L"&2 ") << "the children's list follows the commands";
}

TEST_F(PluginHostTest, ChoosingAPluginActivatesItsChild) {
  Start({L"alpha", L"beta"});
  ASSERT_EQ(PluginList().size(), 2u);
  plugins.SetClientBounds(0, 0, 500, 300);
  for (UINT i : {0u, 1u, 0u}) {
    EXPECT_EQ(plugins.OnCommand(kFirstPluginCommand + i), PluginCommand::kPluginChosen);
    EXPECT_EQ(plugins.Host().GetActiveChild(), PluginList()[i].hostWindow);
  }
  EXPECT_TRUE(testing::Shown(plugins.Client()));
  EXPECT_EQ(plugins.OnCommand(kFirstPluginCommand + 2), PluginCommand::kNotMine);
  EXPECT_EQ(plugins.OnCommand(1), PluginCommand::kNotMine);
}

TEST_F(PluginHostTest, APluginsWindowKeepsFillingItsChild) {
  Start({L"alpha"});
  ASSERT_EQ(PluginList().size(), 1u);
  HWND child = PluginList()[0].hostWindow;
  MoveWindow(child, 0, 0, 321, 234, TRUE);
  RECT inner{}, placed{};
  GetClientRect(child, &inner);
  GetWindowRect(GetWindow(child, GW_CHILD), &placed);
  EXPECT_EQ(placed.right - placed.left, inner.right);
  EXPECT_EQ(placed.bottom - placed.top, inner.bottom);
}

TEST_F(PluginHostTest, WindowCommandsReachTheChildren) {
  Start({L"alpha", L"beta"});
  plugins.ShowClient(true);
  ASSERT_EQ(plugins.Host().ChildCount(), 2);
  HWND active = plugins.Host().GetActiveChild();
  EXPECT_EQ(plugins.OnCommand(kFirstWindowCommand + 4), PluginCommand::kHandled);  // next
  EXPECT_NE(plugins.Host().GetActiveChild(), active);
  EXPECT_EQ(plugins.OnCommand(kFirstWindowCommand + 6), PluginCommand::kHandled);  // close
  testing::PumpMessages();
  EXPECT_EQ(plugins.Host().ChildCount(), 1);
}

}  // namespace
}  // namespace tessor::plugins
