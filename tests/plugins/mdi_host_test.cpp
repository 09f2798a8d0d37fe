#include "plugins/mdi_host.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <gdiplus.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_windows.h"

namespace tessor::plugins {
namespace {

using testing::PumpMessages;
using testing::TestFrame;
using testing::WindowText;

// What the callbacks were told, in order.
struct CallbackLog {
  std::vector<std::intptr_t> activated;  // onChildActivated arguments
  std::vector<std::string> events;       // "closed", and what the adopted window saw
  std::intptr_t closeAnswer = 1;
};
CallbackLog g_log;

std::intptr_t OnCloseQuery(std::intptr_t) { return g_log.closeAnswer; }
std::intptr_t OnClosed(std::intptr_t) {
  g_log.events.push_back("child closed");
  return 0;
}
std::intptr_t OnChildActivated(std::intptr_t lost) {
  g_log.activated.push_back(lost);
  return 0;
}

MdiCallbacks LoggingCallbacks() {
  MdiCallbacks callbacks;
  callbacks.onCloseQuery = OnCloseQuery;
  callbacks.onClosed = OnClosed;
  callbacks.onChildActivated = OnChildActivated;
  return callbacks;
}

class MdiHostTest : public ::testing::Test {
 protected:
  void SetUp() override { g_log = {}; }
  void TearDown() override { MdiHost::SetDefaultFrameProcedure(nullptr); }

  bool Frame(FrameOptions options = {}) {
    options.windowMenuPosition = TestFrame::kWindowMenuPosition;
    if (options.callbacks.onClosed == nullptr) options.callbacks = LoggingCallbacks();
    return host.CreateFrame(frame.window(), options);
  }

  TestFrame frame;
  MdiHost host;
};

TEST_F(MdiHostTest, CreateFrameMakesTheClientInsideTheFrame) {
  ASSERT_TRUE(Frame());
  ASSERT_NE(host.Client(), nullptr);
  EXPECT_EQ(GetParent(host.Client()), frame.window());
  EXPECT_TRUE(testing::Shown(host.Client()));
  EXPECT_EQ(host.WindowMenu(), GetSubMenu(frame.menuBar(), TestFrame::kWindowMenuPosition));
  EXPECT_EQ(host.ChildCount(), 0);
  EXPECT_FALSE(Frame()) << "a second frame is refused";
}

TEST_F(MdiHostTest, NewChildBeforeCreateFrameGivesNoWindow) {
  EXPECT_EQ(host.NewChild(), nullptr);
  EXPECT_EQ(host.NewChild(std::string("表")), nullptr);
  EXPECT_EQ(host.ChildCount(), 0);
  EXPECT_EQ(host.Client(), nullptr);
}

// Both ways of creating children: the client message and CreateMDIWindow.
class MdiHostCreationTest : public MdiHostTest, public ::testing::WithParamInterface<bool> {};

TEST_P(MdiHostCreationTest, ChildrenWithoutTitleAreNumbered) {
  FrameOptions options;
  options.useCreateMdiWindow = GetParam();
  ASSERT_TRUE(Frame(options));
  HWND first = host.NewChild();
  HWND second = host.NewChild();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(WindowText(first), L"新建表格1");
  EXPECT_EQ(WindowText(second), L"新建表格2");
  EXPECT_EQ(GetParent(first), host.Client());
  EXPECT_EQ(host.ChildCount(), 2);
  EXPECT_EQ(host.GetActiveChild(), second);
  EXPECT_EQ(host.GetActiveTitle(), "新建表格2");
}

TEST_P(MdiHostCreationTest, ChildTakesTheTitleGiven) {
  FrameOptions options;
  options.useCreateMdiWindow = GetParam();
  ASSERT_TRUE(Frame(options));
  HWND child = host.NewChild(std::string("导入表"));
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(WindowText(child), L"导入表");
  host.SetActiveTitle("导出表");
  EXPECT_EQ(WindowText(child), L"导出表");
  EXPECT_EQ(WindowText(host.NewChild()), L"新建表格1") << "a given title does not count";
}

INSTANTIATE_TEST_SUITE_P(ClientMessageAndCreateMdiWindow, MdiHostCreationTest, ::testing::Bool());

// A plain top-level window that logs its WM_CLOSE and is destroyed by it.
LRESULT CALLBACK LoggedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) g_log.events.push_back("window WM_CLOSE");
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeLoggedWindow(const wchar_t* caption) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = LoggedWindowProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"TessorLoggedWindow";
  RegisterClassExW(&cls);
  return CreateWindowExW(0, cls.lpszClassName, caption, WS_OVERLAPPEDWINDOW, 50, 50, 300, 200, nullptr, nullptr,
                         cls.hInstance, nullptr);
}

TEST_F(MdiHostTest, AdoptedWindowFillsANewChildTitledWithItsCaption) {
  ASSERT_TRUE(Frame());
  HWND window = MakeLoggedWindow(L"外来窗口");
  host.AdoptWindow(window);
  HWND child = host.GetActiveChild();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(host.ChildCount(), 1);
  EXPECT_EQ(WindowText(child), L"外来窗口");
  EXPECT_EQ(GetParent(window), child);
  EXPECT_TRUE(testing::Shown(window));
  EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD, 0);
  EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION, 0) << "its caption is toggled off";
  RECT inner{}, placed{};
  GetClientRect(child, &inner);
  GetWindowRect(window, &placed);
  EXPECT_EQ(placed.right - placed.left, inner.right);
  EXPECT_EQ(placed.bottom - placed.top, inner.bottom);

  host.AdoptWindow(window);
  EXPECT_EQ(host.ChildCount(), 1) << "a window is adopted once";
}

TEST_F(MdiHostTest, ClosingAChildClosesItsAdoptedWindowFirst) {
  ASSERT_TRUE(Frame());
  host.NewChild();
  HWND window = MakeLoggedWindow(L"外来窗口");
  host.AdoptWindow(window);
  HWND child = host.GetActiveChild();
  ASSERT_EQ(host.ChildCount(), 2);

  host.CloseActive();
  EXPECT_TRUE(IsWindow(child)) << "the child waits for its window";
  EXPECT_EQ(host.ChildCount(), 2);
  PumpMessages();

  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(g_log.events, (std::vector<std::string>{"window WM_CLOSE", "child closed"}));
  EXPECT_EQ(host.ChildCount(), 1);
}

TEST_F(MdiHostTest, CloseQueryDecidesWhetherTheChildCloses) {
  struct Case {
    std::intptr_t answer;
    bool staysOpen;
  };
  ASSERT_TRUE(Frame());
  for (const Case& c : {Case{0, true}, Case{1, false}, Case{7, false}}) {
    SCOPED_TRACE(c.answer);
    g_log.closeAnswer = c.answer;
    HWND child = host.NewChild();
    const int before = host.ChildCount();
    SendMessageW(child, WM_CLOSE, 0, 0);
    PumpMessages();
    EXPECT_EQ(IsWindow(child) != FALSE, c.staysOpen);
    EXPECT_EQ(host.ChildCount(), c.staysOpen ? before : before - 1);
  }
}

TEST_F(MdiHostTest, EachSwitchOfTheActiveChildIsReportedOnceWithTheChildThatLostIt) {
  ASSERT_TRUE(Frame());
  HWND first = host.NewChild();
  HWND second = host.NewChild();
  host.ActivateChild(first);
  host.ActivateChild(first);
  host.ActivateNext();
  EXPECT_EQ(host.GetActiveChild(), second);
  const auto id = [](HWND window) { return reinterpret_cast<std::intptr_t>(window); };
  EXPECT_EQ(g_log.activated, (std::vector<std::intptr_t>{0, id(first), id(second), id(first)}));
}

// Records the commands handed to the system's frame handling, then hands them on.
std::vector<WPARAM> g_defaultCommands;
LRESULT CALLBACK RecordingDefaultFrameProc(HWND frame, HWND client, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) g_defaultCommands.push_back(wParam);
  return DefFrameProcW(frame, client, message, wParam, lParam);
}

TEST_F(MdiHostTest, CommandsFrom20000OnReachOnlyTheFramesOwnProcedure) {
  struct Case {
    WPARAM command;
    bool reachesDefault;
  };
  ASSERT_TRUE(Frame());
  MdiHost::SetDefaultFrameProcedure(RecordingDefaultFrameProc);
  for (const Case& c : {Case{20000, false}, Case{19999, true}, Case{20001, false}, Case{2, true}}) {
    SCOPED_TRACE(c.command);
    TestFrame::Commands().clear();
    g_defaultCommands.clear();
    SendMessageW(frame.window(), WM_COMMAND, c.command, 0);
    EXPECT_EQ(TestFrame::Commands(), std::vector<WPARAM>{c.command});
    EXPECT_EQ(g_defaultCommands, c.reachesDefault ? std::vector<WPARAM>{c.command} : std::vector<WPARAM>{});
  }
}

TEST_F(MdiHostTest, WindowMenuCommandOfAChildActivatesIt) {
  ASSERT_TRUE(Frame());
  HWND first = host.NewChild();  // identifier 100
  host.NewChild();
  SendMessageW(frame.window(), WM_COMMAND, 100, 0);
  EXPECT_EQ(host.GetActiveChild(), first);
  EXPECT_EQ(TestFrame::Commands().back(), 100u) << "the frame's own procedure sees it too";
}

TEST_F(MdiHostTest, PutInActiveChildFillsTheActiveChild) {
  HWND window = CreateWindowExW(0, L"STATIC", L"内容", WS_POPUP, 0, 0, 50, 40, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  EXPECT_FALSE(host.PutInActiveChild(window)) << "no active child without a frame";
  ASSERT_TRUE(Frame());
  HWND child = host.NewChild();
  ASSERT_TRUE(host.PutInActiveChild(window, std::nullopt, std::nullopt, std::nullopt, std::nullopt, true));
  EXPECT_EQ(GetAncestor(window, GA_PARENT), child);
  EXPECT_TRUE(testing::Shown(window));
  RECT placed{};
  GetWindowRect(window, &placed);
  int width = -1, height = -1;
  ASSERT_TRUE(host.GetActiveClientSize(width, height));
  EXPECT_EQ(placed.right - placed.left, width);
  EXPECT_EQ(placed.bottom - placed.top, height);

  ASSERT_TRUE(host.PutInActiveChild(window, 5, 6, 70, 80));
  POINT origin{0, 0};
  ClientToScreen(child, &origin);
  GetWindowRect(window, &placed);
  EXPECT_EQ(placed.left - origin.x, 5);
  EXPECT_EQ(placed.top - origin.y, 6);
  EXPECT_EQ(placed.right - placed.left, 70);
  EXPECT_EQ(placed.bottom - placed.top, 80);
}

TEST_F(MdiHostTest, SetClientBoundsPlacesTheClient) {
  int width = -1, height = -1;
  EXPECT_FALSE(host.GetClientSize(width, height));
  EXPECT_EQ(width, -1);
  ASSERT_TRUE(Frame());
  host.SetClientBounds(10, 20, 300, 200);
  RECT outer{};
  GetWindowRect(host.Client(), &outer);
  POINT origin{0, 0};
  ClientToScreen(frame.window(), &origin);
  EXPECT_EQ(outer.left - origin.x, 10);
  EXPECT_EQ(outer.top - origin.y, 20);
  EXPECT_EQ(outer.right - outer.left, 300);
  ASSERT_TRUE(host.GetClientSize(width, height));
  EXPECT_GT(width, 0);
  EXPECT_LE(width, 300);
  EXPECT_LE(height, 200);
}

TEST_F(MdiHostTest, WindowCommandsArrangeTheChildren) {
  ShowWindow(frame.window(), SW_SHOW);  // only shown children are arranged
  ASSERT_TRUE(Frame());
  host.SetClientBounds(0, 0, 600, 400);
  HWND first = host.NewChild();
  HWND second = host.NewChild();
  host.TileVertically();
  RECT a{}, b{};
  GetWindowRect(first, &a);
  GetWindowRect(second, &b);
  EXPECT_EQ(a.top, b.top) << "side by side";
  host.TileHorizontally();
  GetWindowRect(first, &a);
  GetWindowRect(second, &b);
  EXPECT_EQ(a.left, b.left) << "one above the other";
  host.MaximizeActive();
  EXPECT_TRUE(IsZoomed(second));
  host.RestoreActive();
  EXPECT_FALSE(IsZoomed(second));
  host.ActivatePrevious();
  EXPECT_EQ(host.GetActiveChild(), first);
}

// A small PNG, made with GDI+: width x height pixels of one colour.
std::vector<std::uint8_t> MakePng(int width, int height, Gdiplus::ARGB colour) {
  namespace gdip = Gdiplus::DllExports;
  std::vector<std::uint8_t> png;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return png;
  std::vector<Gdiplus::ARGB> pixels(static_cast<std::size_t>(width * height), colour);
  Gdiplus::GpBitmap* bitmap = nullptr;
  gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                  reinterpret_cast<BYTE*>(pixels.data()), &bitmap);
  UINT count = 0, size = 0;
  gdip::GdipGetImageEncodersSize(&count, &size);
  std::vector<std::uint8_t> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  gdip::GdipGetImageEncoders(count, size, encoders);
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      gdip::GdipSaveImageToStream(bitmap, stream, &encoders[i].Clsid, nullptr);
      break;
    }
  }
  HGLOBAL memory = nullptr;
  GetHGlobalFromStream(stream, &memory);
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
  png.assign(bytes, bytes + stat.cbSize.QuadPart);
  GlobalUnlock(memory);
  stream->Release();
  gdip::GdipDisposeImage(bitmap);
  Gdiplus::GdiplusShutdown(token);
  return png;
}

TEST_F(MdiHostTest, FrameWithAPicturePaintsIt) {
  ShowWindow(frame.window(), SW_SHOW);
  UpdateWindow(frame.window());
  const auto png = MakePng(8, 8, 0xFFFF0000);
  ASSERT_GE(png.size(), 8u);
  ASSERT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  FrameOptions options;
  options.picture = png;
  ASSERT_TRUE(Frame(options));
  host.SetClientBounds(0, 0, 200, 150);
  EXPECT_TRUE(host.PictureDrawn());
  HDC dc = GetDC(host.Client());
  EXPECT_EQ(GetPixel(dc, 40, 40), RGB(255, 0, 0));
  ReleaseDC(host.Client(), dc);

  RedrawWindow(frame.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages();
  host.NewChild();
  PumpMessages();
  EXPECT_TRUE(host.PictureDrawn());
  EXPECT_TRUE(IsWindow(frame.window()));
}

TEST_F(MdiHostTest, PictureThatDoesNotDecodeIsNotDrawn) {
  FrameOptions options;
  options.picture = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
  ASSERT_TRUE(Frame(options));
  host.SetClientBounds(0, 0, 200, 150);
  RedrawWindow(frame.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages();
  EXPECT_FALSE(host.PictureDrawn());
  EXPECT_NE(host.NewChild(), nullptr);
}

TEST_F(MdiHostTest, DestroyRestoresTheFramesProcedure) {
  const auto before = GetWindowLongPtrW(frame.window(), GWLP_WNDPROC);
  ASSERT_TRUE(Frame());
  EXPECT_NE(GetWindowLongPtrW(frame.window(), GWLP_WNDPROC), before);
  auto copy = host.Clone();
  EXPECT_EQ(copy->Frame(), frame.window());
  EXPECT_EQ(copy->WindowMenu(), host.WindowMenu());
  host.Destroy();
  EXPECT_EQ(GetWindowLongPtrW(frame.window(), GWLP_WNDPROC), before);
}

}  // namespace
}  // namespace tessor::plugins
