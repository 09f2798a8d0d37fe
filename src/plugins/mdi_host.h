// MdiHost: turns an existing top-level window into a multiple-document frame.
//
// It creates the MDI client inside the frame, registers the child class "MDIForm",
// creates children, embeds foreign windows into children, offers the window-menu
// commands, optionally paints a picture (any format GDI+ decodes) behind the client,
// and reports child events to callbacks.
//
// Texts are GBK bytes, as everywhere in the system; the windows themselves are Unicode
// windows, and the texts are converted with code page 936 at the calls.
//
// The state behind the three window procedures (the client, the callbacks, the adopted
// windows, the counters) is one set per program, as the program has one host. A new
// host resets that set; a frame that is destroyed leaves it clean for the next one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessor::plugins {

// Every callback takes one pointer-sized argument (a window handle or a small number)
// and is called with that one argument only. In the 32-bit build it is called through a
// thunk that restores the stack pointer afterwards, so it may use either the
// callee-cleans or the caller-cleans convention.
using MdiCallback = std::intptr_t (*)(std::intptr_t);

struct MdiCallbacks {
  MdiCallback onCloseQuery = nullptr;      // (0) -> 0 keeps the child open; absent allows
  MdiCallback onClosed = nullptr;          // (0) after a child accepted its close
  MdiCallback onChildSized = nullptr;      // (child) after a child was resized
  MdiCallback onChildActivated = nullptr;  // (child that lost activation, or 0)
  MdiCallback onWindowCommand = nullptr;   // 1 minimise, 2 maximise, 3 restore, 4 close
};

// The values of onWindowCommand.
enum MdiWindowCommand : std::intptr_t {
  kMdiMinimize = 1,
  kMdiMaximize = 2,
  kMdiRestore = 3,
  kMdiClose = 4,
};

struct FrameOptions {
  // The client's place inside the frame. An omitted left or top counts as 0; an omitted
  // width or height takes the frame's present outer width or height.
  std::optional<int> left, top, width, height;
  bool showScrollBars = false;  // false: the client is created hidden and without bars
  int windowMenuPosition = 0;   // the menu-bar position of the submenu listing children
  std::vector<std::uint8_t> picture;  // empty: no background picture
  bool useCreateMdiWindow = false;    // children through CreateMDIWindow, 600 x 450
  MdiCallbacks callbacks;
};

// The function the frame procedure hands messages to for the system's MDI frame
// handling (DefFrameProcW).
using DefaultFrameProcedure = LRESULT(CALLBACK*)(HWND frame, HWND client, UINT message,
                                                 WPARAM wParam, LPARAM lParam);

class MdiHost {
 public:
  // Sets the instance, resets the program's host state (no client, no children, the
  // automatic title counter at 0) and loads riched20.dll, which registers the rich-edit
  // window classes.
  MdiHost();

  // The operations, in the order of their slots.

  // Restores the frame's window procedure from before CreateFrame.
  virtual void Destroy();
  // A new host with the same frame, window menu, instance and child-creation choice.
  virtual std::unique_ptr<MdiHost> Clone() const;
  // Creates the client inside frame; false (and nothing changed) when it cannot be
  // created. A second frame on the same host is refused.
  virtual bool CreateFrame(HWND frame, const FrameOptions& options);
  // A new child titled title (GBK); without a title "新建表格" followed by a counter
  // (1, 2, ...). No window without a client.
  virtual HWND NewChild(const std::optional<std::string>& title = std::nullopt);
  // Embeds window in a new child of its own caption; closing that child closes window
  // first and the child after it.
  virtual void AdoptWindow(HWND window);
  // Moves the client to that place and size (frame client coordinates) and draws the
  // picture there.
  virtual void SetClientBounds(int left, int top, int width, int height);
  // The client's client-area size; false (outputs untouched) when it cannot be read.
  virtual bool GetClientSize(int& width, int& height) const;
  virtual void ArrangeIcons();
  virtual void MaximizeActive();
  virtual void MinimizeActive();
  virtual int ChildCount() const;
  virtual void RestoreActive();
  virtual void CloseActive();
  virtual void Cascade();
  virtual void TileVertically();
  virtual void TileHorizontally();
  virtual void ActivatePrevious();
  virtual void ActivateNext();
  // The active child's caption (GBK), at most 260 characters.
  virtual std::string GetActiveTitle() const;
  virtual void SetActiveTitle(const std::string& title);
  virtual HWND GetActiveChild() const;
  virtual void ActivateChild(HWND child);
  // As GetClientSize, for the active child.
  virtual bool GetActiveClientSize(int& width, int& height) const;
  // Makes window a child of the active child, shows it and moves it to the place given;
  // an omitted width or height takes the active child's client width or height, an
  // omitted left or top counts as 0. False when window cannot be re-parented.
  virtual bool PutInActiveChild(HWND window, std::optional<int> left = std::nullopt,
                                std::optional<int> top = std::nullopt,
                                std::optional<int> width = std::nullopt,
                                std::optional<int> height = std::nullopt, bool repaint = false);

  virtual ~MdiHost() = default;

  // The MDI client, or no window before CreateFrame.
  HWND Client() const;
  HWND Frame() const { return frame_; }
  HMENU WindowMenu() const { return windowMenu_; }
  // Whether the last drawing of the background picture decoded and drew it.
  bool PictureDrawn() const;
  // Replaces DefFrameProcW as the receiver of the commands the frame passes on to the
  // system's MDI handling; for observing that routing.
  static void SetDefaultFrameProcedure(DefaultFrameProcedure procedure);

 protected:
  MdiHost(const MdiHost&) = default;
  MdiHost& operator=(const MdiHost&) = default;

 private:
  HINSTANCE instance_ = nullptr;
  HWND frame_ = nullptr;
  HMENU windowMenu_ = nullptr;
  bool useCreateMdiWindow_ = false;
};

// Calls function with one pointer-sized argument. In the 32-bit build the stack pointer
// is restored after the call, so function may be __stdcall or __cdecl.
std::intptr_t CallWithOneArgument(const void* function, std::intptr_t argument);

// GBK (code page 936) to UTF-16 and back, for the W functions.
std::wstring WideFromGbk(const std::string& text);
std::string GbkFromWide(const std::wstring& text);

}  // namespace tessor::plugins
