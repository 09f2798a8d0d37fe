// The about box AboutWindow: a modal window with the program's description, an author
// line, an address line and the button 确定.
#pragma once

#include <windows.h>

#include <string_view>

namespace tessor::ui {

inline constexpr wchar_t kAboutWindowClass[] = L"TessorAboutWindow";

// Creates AboutWindow without an owner and returns when it has been closed; while it is
// shown, `blocked` (the main window, or nullptr) takes no input.
void ShowAboutBox(HWND blocked, HFONT font);

// A control of an open AboutWindow by its name (GBK), or nullptr.
HWND AboutControl(HWND aboutWindow, std::string_view name);

}  // namespace tessor::ui
