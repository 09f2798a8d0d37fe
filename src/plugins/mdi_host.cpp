#include "plugins/mdi_host.h"

#include <objbase.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tessor::plugins {
namespace {

namespace gdip = Gdiplus::DllExports;

constexpr wchar_t kChildClass[] = L"MDIForm";
constexpr UINT kFirstChildId = 100;
constexpr int kTitleCapacity = 260;
constexpr int kFrameOnlyCommands = 20000;  // this command and above skip DefFrameProc

struct AdoptedWindow {
  HWND child;
  HWND window;
};

struct PictureRect {
  int left = 0, top = 0, width = 0, height = 0;
};

// The state of the program's host, shared by the three window procedures.
struct HostState {
  HWND client = nullptr;
  MdiCallbacks callbacks;
  WNDPROC priorFrameProc = nullptr;
  WNDPROC pictureChainProc = nullptr;
  bool pictureInUse = false;
  std::vector<std::uint8_t> pictureBytes;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GpGraphics* clientGraphics = nullptr;
  HGLOBAL pictureMemory = nullptr;
  IStream* pictureStream = nullptr;
  Gdiplus::GpBitmap* picture = nullptr;  // decoded once, kept until the frame goes
  bool pictureDrawn = false;
  PictureRect pictureRect;
  HWND activeChild = nullptr;
  HWND lastNotifiedActive = nullptr;
  std::vector<AdoptedWindow> adopted;
  int childCount = 0;
  int untitledCounter = 0;
};

HostState& State() {
  static HostState state;
  return state;
}

DefaultFrameProcedure g_defaultFrameProcedure = DefFrameProcW;

void Notify(MdiCallback callback, std::intptr_t argument) {
  if (callback != nullptr) CallWithOneArgument(reinterpret_cast<const void*>(callback), argument);
}

std::vector<AdoptedWindow>::iterator FindAdoptedByChild(HWND child) {
  auto& adopted = State().adopted;
  return std::find_if(adopted.begin(), adopted.end(),
                      [child](const AdoptedWindow& pair) { return pair.child == child; });
}

void ReleasePictureDecoding() {
  auto& s = State();
  if (s.picture != nullptr) gdip::GdipDisposeImage(s.picture);
  s.picture = nullptr;
  if (s.pictureStream != nullptr) s.pictureStream->Release();
  s.pictureStream = nullptr;
  if (s.pictureMemory != nullptr) GlobalFree(s.pictureMemory);
  s.pictureMemory = nullptr;
}

void ReleaseClientGraphics() {
  auto& s = State();
  if (s.clientGraphics != nullptr) gdip::GdipDeleteGraphics(s.clientGraphics);
  s.clientGraphics = nullptr;
}

void ReleasePicture() {
  auto& s = State();
  ReleasePictureDecoding();
  ReleaseClientGraphics();
  if (s.gdiplusToken != 0) Gdiplus::GdiplusShutdown(s.gdiplusToken);
  s.gdiplusToken = 0;
}

bool DecodePicture() {
  auto& s = State();
  ReleasePictureDecoding();
  if (s.pictureBytes.empty()) return false;
  s.pictureMemory = GlobalAlloc(GMEM_FIXED, s.pictureBytes.size());
  if (s.pictureMemory == nullptr) return false;
  std::memcpy(s.pictureMemory, s.pictureBytes.data(), s.pictureBytes.size());
  // The stream does not free the block; it is freed with the decoded picture.
  if (CreateStreamOnHGlobal(s.pictureMemory, FALSE, &s.pictureStream) != S_OK) {
    s.pictureStream = nullptr;
    ReleasePictureDecoding();
    return false;
  }
  if (gdip::GdipCreateBitmapFromStream(s.pictureStream, &s.picture) != Gdiplus::Ok) {
    s.picture = nullptr;
    ReleasePictureDecoding();
    return false;
  }
  return true;
}

// Draws the picture over the client's area, at the size SetClientBounds gave.
void DrawPicture() {
  auto& s = State();
  s.pictureDrawn = false;
  if (!s.pictureInUse || s.clientGraphics == nullptr) return;
  if (s.picture == nullptr && !DecodePicture()) return;
  const auto& r = s.pictureRect;
  s.pictureDrawn = gdip::GdipDrawImageRect(s.clientGraphics, s.picture, 0.0f, 0.0f,
                                           static_cast<Gdiplus::REAL>(r.width),
                                           static_cast<Gdiplus::REAL>(r.height)) == Gdiplus::Ok;
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto& s = State();
  const WNDPROC prior = s.priorFrameProc;
  switch (message) {
    case WM_DESTROY:
      ReleasePicture();
      break;
    case WM_NCDESTROY: {
      const LRESULT result = CallWindowProcW(prior, hwnd, message, wParam, lParam);
      s = HostState{};  // the frame is gone, and its client with it
      return result;
    }
    case WM_ERASEBKGND:
      if (s.pictureInUse) {
        DrawPicture();
        return g_defaultFrameProcedure(hwnd, s.client, message, wParam, lParam);
      }
      break;
    case WM_COMMAND: {
      const auto command = static_cast<std::int32_t>(wParam);
      bool toDefault = command < kFrameOnlyCommands;
      switch (command) {
        case SC_MINIMIZE: Notify(s.callbacks.onWindowCommand, kMdiMinimize); toDefault = true; break;
        case SC_RESTORE: Notify(s.callbacks.onWindowCommand, kMdiRestore); toDefault = true; break;
        case SC_CLOSE: Notify(s.callbacks.onWindowCommand, kMdiClose); toDefault = true; break;
        default: break;
      }
      // Only menu and accelerator commands: a control's notification must not activate
      // the child whose identifier happens to equal the control's.
      if (toDefault && lParam == 0) g_defaultFrameProcedure(hwnd, s.client, message, wParam, lParam);
      break;
    }
    default:
      break;
  }
  return CallWindowProcW(prior, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto& s = State();
  switch (message) {
    case WM_SIZE:
    case WM_PAINT:
    case WM_QUERYOPEN:
    case WM_ACTIVATEAPP:
    case WM_NCHITTEST:
    case WM_NCPAINT:
      DrawPicture();
      break;
    default:
      break;
  }
  return CallWindowProcW(s.pictureChainProc, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ChildProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto& s = State();
  switch (message) {
    case WM_MOVE:
    case WM_CHILDACTIVATE:
    case WM_ERASEBKGND:
      if (s.pictureInUse) DrawPicture();
      break;
    case WM_MDIACTIVATE: {
      // Sent to the child losing activation first, then to the one gaining it: the
      // first of the two makes the one call.
      const auto activated = reinterpret_cast<HWND>(lParam);
      s.activeChild = activated;
      if (activated != s.lastNotifiedActive) {
        s.lastNotifiedActive = activated;
        Notify(s.callbacks.onChildActivated, static_cast<std::intptr_t>(wParam));
      }
      break;
    }
    case WM_CLOSE: {
      if (s.callbacks.onCloseQuery != nullptr) {
        const auto answer = CallWithOneArgument(reinterpret_cast<const void*>(s.callbacks.onCloseQuery), 0);
        if (static_cast<std::int32_t>(answer) == 0) return 1;
      }
      const auto pair = FindAdoptedByChild(hwnd);
      if (pair != s.adopted.end()) {
        if (IsWindow(pair->window)) {
          // The child closes when that window is gone (WM_PARENTNOTIFY below).
          PostMessageW(pair->window, WM_CLOSE, 0, 0);
          return 1;
        }
        s.adopted.erase(pair);
      }
      --s.childCount;
      Notify(s.callbacks.onClosed, 0);
      if (s.activeChild == hwnd) s.activeChild = nullptr;
      return DefMDIChildProcW(hwnd, message, wParam, lParam);
    }
    case WM_SIZE: {
      const auto pair = FindAdoptedByChild(hwnd);
      if (pair != s.adopted.end()) {
        RECT r{};
        GetClientRect(hwnd, &r);
        MoveWindow(pair->window, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
      }
      Notify(s.callbacks.onChildSized, reinterpret_cast<std::intptr_t>(hwnd));
      break;
    }
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: Notify(s.callbacks.onWindowCommand, kMdiMinimize); break;
        case SC_MAXIMIZE: Notify(s.callbacks.onWindowCommand, kMdiMaximize); break;
        case SC_RESTORE: Notify(s.callbacks.onWindowCommand, kMdiRestore); break;
        case SC_CLOSE: Notify(s.callbacks.onWindowCommand, kMdiClose); break;
        default: break;
      }
      break;
    case WM_PARENTNOTIFY:
      // A window inside the child (control identifier 0) is being destroyed.
      if (wParam == WM_DESTROY) PostMessageW(hwnd, WM_CLOSE, 0, 0);
      break;
    default:
      break;
  }
  return DefMDIChildProcW(hwnd, message, wParam, lParam);
}

bool ClientRectSize(HWND window, int& width, int& height) {
  RECT r{};
  if (window == nullptr || !GetClientRect(window, &r)) return false;
  width = r.right - r.left;
  height = r.bottom - r.top;
  return true;
}

}  // namespace

MdiHost::MdiHost() : instance_(GetModuleHandleW(nullptr)) {
  State() = HostState{};
  LoadLibraryW(L"riched20.dll");
}

void MdiHost::Destroy() {
  auto& s = State();
  if (frame_ != nullptr && s.priorFrameProc != nullptr && IsWindow(frame_))
    SetWindowLongPtrW(frame_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.priorFrameProc));
}

std::unique_ptr<MdiHost> MdiHost::Clone() const { return std::unique_ptr<MdiHost>(new MdiHost(*this)); }

bool MdiHost::CreateFrame(HWND frame, const FrameOptions& options) {
  auto& s = State();
  if (s.client != nullptr || !IsWindow(frame)) return false;
  RECT outer{};
  GetWindowRect(frame, &outer);
  const int left = options.left.value_or(0);
  const int top = options.top.value_or(0);
  const int width = options.width.value_or(outer.right - outer.left);
  const int height = options.height.value_or(outer.bottom - outer.top);

  useCreateMdiWindow_ = options.useCreateMdiWindow;
  frame_ = frame;
  windowMenu_ = GetSubMenu(GetMenu(frame), options.windowMenuPosition);

  CLIENTCREATESTRUCT creation{windowMenu_, kFirstChildId};
  DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (options.showScrollBars) style |= WS_VISIBLE | WS_VSCROLL | WS_HSCROLL;
  s.client = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr, style, left, top, width, height,
                             frame, nullptr, instance_, &creation);
  if (s.client == nullptr) return false;

  s.callbacks = options.callbacks;
  s.priorFrameProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameProc)));

  WNDCLASSEXW childClass{};
  childClass.cbSize = sizeof childClass;
  childClass.style = CS_HREDRAW | CS_VREDRAW;
  childClass.lpfnWndProc = &ChildProc;
  childClass.hInstance = instance_;
  childClass.hIcon = reinterpret_cast<HICON>(SendMessageW(frame, WM_GETICON, ICON_SMALL, 0));
  childClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  childClass.lpszClassName = kChildClass;
  RegisterClassExW(&childClass);  // already registered by an earlier frame: the same class

  ShowWindow(s.client, SW_SHOWNORMAL);

  s.pictureInUse = !options.picture.empty();
  if (s.pictureInUse) {
    s.pictureBytes = options.picture;
    s.pictureChainProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PictureProc)));
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&s.gdiplusToken, &input, nullptr) != Gdiplus::Ok) s.gdiplusToken = 0;
    if (s.gdiplusToken != 0 && gdip::GdipCreateFromHWND(s.client, &s.clientGraphics) != Gdiplus::Ok)
      s.clientGraphics = nullptr;
  }
  return true;
}

HWND MdiHost::NewChild(const std::optional<std::string>& title) {
  auto& s = State();
  if (s.client == nullptr) return nullptr;
  std::string text;
  if (title) {
    text = *title;
  } else {
    ++s.untitledCounter;
    text = "新建表格" + std::to_string(s.untitledCounter);
  }
  const std::wstring caption = WideFromGbk(text);
  HWND child = nullptr;
  if (useCreateMdiWindow_) {
    child = CreateMDIWindowW(kChildClass, caption.c_str(), 0, CW_USEDEFAULT, CW_USEDEFAULT, 600, 450,
                             s.client, instance_, 0);
  } else {
    MDICREATESTRUCTW creation{};
    creation.szClass = kChildClass;
    creation.szTitle = caption.c_str();
    creation.hOwner = instance_;
    creation.x = creation.y = creation.cx = creation.cy = CW_USEDEFAULT;
    child = reinterpret_cast<HWND>(SendMessageW(s.client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&creation)));
  }
  if (child != nullptr) ++s.childCount;
  return child;
}

void MdiHost::AdoptWindow(HWND window) {
  auto& s = State();
  if (!IsWindow(window)) return;
  const bool known = std::any_of(s.adopted.begin(), s.adopted.end(),
                                 [window](const AdoptedWindow& pair) { return pair.window == window; });
  if (known) return;
  ShowWindow(window, SW_HIDE);
  wchar_t caption[kTitleCapacity] = {};
  GetWindowTextW(window, caption, kTitleCapacity);
  HWND child = NewChild(GbkFromWide(caption));
  if (child == nullptr) {
    ShowWindow(window, SW_SHOWNORMAL);
    return;
  }
  SetParent(window, child);
  RECT r{};
  GetClientRect(child, &r);
  MoveWindow(window, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
  s.adopted.push_back({child, window});
  // A child now, with its caption and sizing border toggled.
  auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  style = (((style | WS_CHILD) & ~static_cast<DWORD>(WS_POPUP)) ^ WS_CAPTION) ^ WS_THICKFRAME;
  SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
  SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_FRAMECHANGED);
  ShowWindow(window, SW_SHOWNORMAL);
}

void MdiHost::SetClientBounds(int left, int top, int width, int height) {
  auto& s = State();
  s.pictureRect = {left, top, width, height};
  if (s.client == nullptr) return;
  MoveWindow(s.client, left, top, width, height, TRUE);
  if (s.gdiplusToken != 0) {
    // A surface for the client at its new size.
    ReleaseClientGraphics();
    if (gdip::GdipCreateFromHWND(s.client, &s.clientGraphics) != Gdiplus::Ok) s.clientGraphics = nullptr;
  }
  if (s.pictureInUse) DrawPicture();
}

bool MdiHost::GetClientSize(int& width, int& height) const { return ClientRectSize(State().client, width, height); }

void MdiHost::ArrangeIcons() {
  if (HWND client = State().client) SendMessageW(client, WM_MDIICONARRANGE, 0, 0);
}

void MdiHost::MaximizeActive() {
  if (HWND child = GetActiveChild()) SendMessageW(child, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
}

void MdiHost::MinimizeActive() {
  if (HWND child = GetActiveChild()) CloseWindow(child);
}

int MdiHost::ChildCount() const { return State().childCount; }

void MdiHost::RestoreActive() {
  auto& s = State();
  if (s.client != nullptr && s.activeChild != nullptr)
    SendMessageW(s.client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(s.activeChild), 0);
}

void MdiHost::CloseActive() {
  if (HWND child = GetActiveChild()) SendMessageW(child, WM_CLOSE, 0, 0);
}

void MdiHost::Cascade() {
  if (HWND client = State().client) SendMessageW(client, WM_MDICASCADE, 0, 0);
}

void MdiHost::TileVertically() {
  if (HWND client = State().client) SendMessageW(client, WM_MDITILE, MDITILE_VERTICAL, 0);
}

void MdiHost::TileHorizontally() {
  if (HWND client = State().client) SendMessageW(client, WM_MDITILE, MDITILE_HORIZONTAL, 0);
}

void MdiHost::ActivatePrevious() {
  if (HWND client = State().client) SendMessageW(client, WM_MDINEXT, 0, 1);
}

void MdiHost::ActivateNext() {
  if (HWND client = State().client) SendMessageW(client, WM_MDINEXT, 0, 0);
}

std::string MdiHost::GetActiveTitle() const {
  wchar_t caption[kTitleCapacity] = {};
  if (HWND child = GetActiveChild()) GetWindowTextW(child, caption, kTitleCapacity);
  return GbkFromWide(caption);
}

void MdiHost::SetActiveTitle(const std::string& title) {
  if (HWND child = GetActiveChild()) SetWindowTextW(child, WideFromGbk(title).c_str());
}

HWND MdiHost::GetActiveChild() const { return State().activeChild; }

void MdiHost::ActivateChild(HWND child) {
  if (HWND client = State().client) SendMessageW(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
}

bool MdiHost::GetActiveClientSize(int& width, int& height) const {
  return ClientRectSize(GetActiveChild(), width, height);
}

bool MdiHost::PutInActiveChild(HWND window, std::optional<int> left, std::optional<int> top,
                               std::optional<int> width, std::optional<int> height, bool repaint) {
  HWND child = GetActiveChild();
  if (child == nullptr || !IsWindow(window) || !IsWindow(child)) return false;
  SetParent(window, child);
  if (GetParent(window) != child && GetAncestor(window, GA_PARENT) != child) return false;
  RECT r{};
  GetClientRect(child, &r);
  ShowWindow(window, SW_SHOWNORMAL);
  MoveWindow(window, left.value_or(0), top.value_or(0), width.value_or(r.right - r.left),
             height.value_or(r.bottom - r.top), repaint ? TRUE : FALSE);
  return true;
}

HWND MdiHost::Client() const { return State().client; }

bool MdiHost::PictureDrawn() const { return State().pictureDrawn; }

void MdiHost::SetDefaultFrameProcedure(DefaultFrameProcedure procedure) {
  g_defaultFrameProcedure = procedure != nullptr ? procedure : DefFrameProcW;
}

}  // namespace tessor::plugins
