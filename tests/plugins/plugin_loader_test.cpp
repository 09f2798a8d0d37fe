#include "plugins/plugin_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "test_windows.h"

namespace tessor::plugins {
namespace {

using testing::PumpMessages;
using testing::TempDir;
using testing::TestFrame;
using testing::WindowText;

// The test plugins built beside this program.
std::wstring FixturePath(const std::wstring& name) {
  return ProgramDirectory() + L"\\plugin-fixtures\\" + name + L".dll";
}

// The plain *.dll files of folder in the order the system lists them.
std::vector<std::wstring> ListedDlls(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE listing = FindFirstFileW((folder + L"\\*.dll").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(found.cFileName);
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  return names;
}

// The window a plugin gave: the one window inside its host child.
HWND PluginWindow(const PluginEntry& entry) { return GetWindow(entry.hostWindow, GW_CHILD); }

class PluginLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FrameOptions options;
    options.windowMenuPosition = TestFrame::kWindowMenuPosition;
    ASSERT_TRUE(host.CreateFrame(frame.window(), options));
    host.SetClientBounds(0, 0, 600, 400);
  }

  // A plugin folder holding copies of the named test plugins.
  std::wstring FolderWith(const std::vector<std::wstring>& fixtures) {
    for (const auto& name : fixtures) {
      const std::wstring target = folder.path().wstring() + L"\\" + name + L".dll";
      EXPECT_TRUE(CopyFileW(FixturePath(name).c_str(), target.c_str(), FALSE)) << "missing test plugin";
    }
    return folder.path().wstring();
  }

  TestFrame frame;
  MdiHost host;
  TempDir folder;
  std::vector<PluginEntry> list;
};

TEST_F(PluginLoaderTest, TwoPluginsGetTwoChildrenInListingOrder) {
  const std::wstring plugins = FolderWith({L"beta", L"alpha"});
  const LoadOutcome outcome = LoadPluginsFrom(host, plugins, list);
  EXPECT_EQ(outcome.loaded, 2);
  EXPECT_EQ(outcome.failed, 0);
  ASSERT_EQ(list.size(), 2u);
  const auto listed = ListedDlls(plugins);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(list[0].fileName, listed[0]);
  EXPECT_EQ(list[1].fileName, listed[1]);
  EXPECT_EQ(host.ChildCount(), 2);
  for (const PluginEntry& entry : list) {
    SCOPED_TRACE(testing::WindowText(entry.hostWindow));
    const bool alpha = entry.fileName == L"alpha.dll";
    EXPECT_EQ(entry.title, alpha ? "甲插件" : "乙插件");
    EXPECT_EQ(WindowText(entry.hostWindow), alpha ? L"甲插件" : L"乙插件");
    EXPECT_NE(entry.module, nullptr);
    EXPECT_EQ(GetParent(entry.hostWindow), host.Client());
    HWND window = PluginWindow(entry);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(testing::Shown(window));
    RECT inner{}, placed{};
    GetClientRect(entry.hostWindow, &inner);
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.right - placed.left, inner.right) << "the window fills its child";
    EXPECT_EQ(placed.bottom - placed.top, inner.bottom);
  }
}

struct SingleCase {
  const wchar_t* fixture;  // a test plugin, or nullptr for a file that is no DLL
  int loaded;
  int failed;
  bool child;
  const wchar_t* caption;  // of the child, when there is one
};

class PluginLoaderCaseTest : public PluginLoaderTest, public ::testing::WithParamInterface<SingleCase> {};

TEST_P(PluginLoaderCaseTest, OnePluginFile) {
  const SingleCase& c = GetParam();
  std::wstring plugins;
  if (c.fixture != nullptr) {
    plugins = FolderWith({c.fixture});
  } else {
    folder.Write("broken.dll", std::string("MZ but nothing more"));
    plugins = folder.path().wstring();
  }
  const LoadOutcome outcome = LoadPluginsFrom(host, plugins, list);
  PumpMessages();
  EXPECT_EQ(outcome.loaded, c.loaded);
  EXPECT_EQ(outcome.failed, c.failed);
  EXPECT_EQ(list.size(), static_cast<std::size_t>(c.loaded)) << "failed files are not kept";
  EXPECT_EQ(host.ChildCount(), c.child ? 1 : 0);
  if (!list.empty()) {
    EXPECT_EQ(list[0].hostWindow != nullptr, c.child);
    if (c.child) {
      EXPECT_EQ(WindowText(list[0].hostWindow), c.caption);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PluginLoaderCaseTest,
    ::testing::Values(SingleCase{L"untitled", 1, 0, true, L""},        // title export gives 0
                      SingleCase{L"nowindow", 1, 0, false, nullptr},   // window handle 0
                      SingleCase{L"notawindow", 1, 0, false, nullptr}, // a value that is no window
                      SingleCase{L"handleonly", 0, 1, false, nullptr}, // lacks the title export
                      SingleCase{L"noexports", 0, 1, false, nullptr},  // lacks both exports
                      SingleCase{nullptr, 0, 1, false, nullptr}));     // does not load

TEST_F(PluginLoaderTest, APluginLackingAnExportIsNeverCalled) {
  LoadPluginsFrom(host, FolderWith({L"handleonly"}), list);
  EXPECT_EQ(FindWindowW(L"TessorFixtureHandleOnly", nullptr), nullptr);
}

TEST_F(PluginLoaderTest, ExportsReceiveTheArgumentTexts) {
  LoadPluginsFrom(host, FolderWith({L"echo"}), list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].title, kTitleArgument);
  EXPECT_EQ(list[0].title, "我是参数一*-..-*我是参数二*-..-*我是参数三");
  EXPECT_EQ(WindowText(list[0].hostWindow), L"我是参数一*-..-*我是参数二*-..-*我是参数三");
  EXPECT_EQ(WindowText(PluginWindow(list[0])), L"我是参数一*-..-*");
}

TEST_F(PluginLoaderTest, AFolderNamedLikeADllIsNoPlugin) {
  std::filesystem::create_directory(folder.path() / "x.dll");
  const LoadOutcome outcome = LoadPluginsFrom(host, FolderWith({L"alpha"}), list);
  EXPECT_EQ(outcome.loaded, 1);
  EXPECT_EQ(outcome.failed, 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].fileName, L"alpha.dll");
}

TEST_F(PluginLoaderTest, AMissingFolderLoadsNothing) {
  bool called = false;
  const LoadOutcome outcome =
      LoadPluginsFrom(host, folder.path().wstring() + L"\\absent", list, [&] { called = true; });
  EXPECT_EQ(outcome.loaded + outcome.failed, 0);
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(called);
}

TEST_F(PluginLoaderTest, BeforeFirstPluginRunsOnceWhenAPluginPassesTheChecks) {
  struct Case {
    std::vector<std::wstring> fixtures;
    int calls;
  };
  const Case cases[] = {{{L"noexports"}, 0}, {{L"alpha", L"beta"}, 1}};
  for (const Case& c : cases) {
    TempDir plugins;
    for (const auto& name : c.fixtures)
      CopyFileW(FixturePath(name).c_str(), (plugins.path().wstring() + L"\\" + name + L".dll").c_str(), FALSE);
    int calls = 0;
    LoadPluginsFrom(host, plugins.path().wstring(), list, [&] { ++calls; });
    EXPECT_EQ(calls, c.calls);
  }
}

TEST_F(PluginLoaderTest, PluginsBesideTheProgramAreFoundFromAnotherWorkingDirectory) {
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.path().wstring().c_str()));
  PluginList().clear();
  const LoadOutcome outcome = LoadPlugins(host);
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(outcome.loaded, 2);
  EXPECT_EQ(outcome.failed, 0);
  ASSERT_EQ(PluginList().size(), 2u);
  std::vector<std::wstring> names{PluginList()[0].fileName, PluginList()[1].fileName};
  EXPECT_EQ(names, ListedDlls(ProgramDirectory() + L"\\Plugin"));
  PluginList().clear();
}

TEST(ReparentWindowTest, MovesTheWindowToTheTopLeftOfItsNewParentKeepingItsSize) {
  TestFrame frame;
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 100, 100, 120, 90, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  HWND previous = ReparentWindow(window, frame.window());
  EXPECT_EQ(previous, GetDesktopWindow());
  EXPECT_EQ(GetAncestor(window, GA_PARENT), frame.window());
  RECT placed{};
  GetWindowRect(window, &placed);
  POINT origin{0, 0};
  ClientToScreen(frame.window(), &origin);
  EXPECT_EQ(placed.left, origin.x);
  EXPECT_EQ(placed.top, origin.y);
  EXPECT_EQ(placed.right - placed.left, 120);
  EXPECT_EQ(placed.bottom - placed.top, 90);
}

TEST(CallPluginTest, AMissingExportIsNotCalled) {
  HMODULE module = GetModuleHandleW(L"kernel32.dll");
  EXPECT_EQ(CallPluginForHandle(module, kHandleExport, kHandleArgument), 0);
  EXPECT_EQ(CallPluginForText(module, kTitleExport, kTitleArgument), "");
}

}  // namespace
}  // namespace tessor::plugins

namespace tessor::plugins {
namespace {

TEST_F(PluginLoaderTest, TheSamplePluginShowsItsWindowInItsChild) {
  const std::wstring sample = ProgramDirectory() + L"\\..\\bin\\Plugin\\hello.dll";
  ASSERT_TRUE(CopyFileW(sample.c_str(), (folder.path().wstring() + L"\\hello.dll").c_str(), FALSE));
  const LoadOutcome outcome = LoadPluginsFrom(host, folder.path().wstring(), list);
  EXPECT_EQ(outcome.loaded, 1);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].title, "你好插件");
  EXPECT_EQ(WindowText(list[0].hostWindow), L"你好插件");
  HWND window = PluginWindow(list[0]);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(testing::Shown(window));
  int controls = 0;
  for (HWND control = GetWindow(window, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT))
    ++controls;
  EXPECT_EQ(controls, 3);
}

}  // namespace
}  // namespace tessor::plugins
