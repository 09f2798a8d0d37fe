// Loading the plugins: DLLs in the folder `Plugin` beside the program.
//
// A plugin exports two functions under GBK names, each taking one argument (the address
// of a zero-terminated GBK text that belongs to the host during the call) and returning
// one value:
//   "取出句柄"  argument "我是参数一*-..-*"                          -> its window's handle
//   "取出标题"  argument "我是参数一*-..-*我是参数二*-..-*我是参数三"  -> address of its GBK
//                                                                     title, or 0
// Each plugin is asked once, at start-up, for its window and its title; the window is
// then moved into an MDI child of its own, titled with the title, and sized to fill it.
// The host copies the title at once, never writes the plugin's memory, never changes the
// window's style, and never calls the plugin again nor unloads it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plugins/mdi_host.h"

namespace tessor::plugins {

// The export names and argument texts, GBK bytes.
inline constexpr char kHandleExport[] = "取出句柄";
inline constexpr char kTitleExport[] = "取出标题";
inline constexpr char kHandleArgument[] = "我是参数一*-..-*";
inline constexpr char kTitleArgument[] = "我是参数一*-..-*我是参数二*-..-*我是参数三";

// One loaded plugin.
struct PluginEntry {
  std::wstring fileName;      // the bare file name the folder listing gave
  HMODULE module = nullptr;   // stays loaded until the process ends
  HWND hostWindow = nullptr;  // its MDI child; none when its window handle was no window
  std::string title;          // GBK, as the plugin gave it (empty for none)
};

// How a load went: plugins loaded (kept in the list), files skipped because they did
// not load or lacked an export.
struct LoadOutcome {
  int loaded = 0;
  int failed = 0;
};

// The program's plugins, in folder-listing order.
std::vector<PluginEntry>& PluginList();

// The folder that holds the program file, without a trailing backslash.
std::wstring ProgramDirectory();

// Loads every plugin of folder (files *.dll; folders of that name are left out) into
// list and hosts each plugin's window in a new child of host. A file that does not load
// or lacks either export is skipped and counted as failed; no export of it is called.
// A window handle of 0 or one that is not a window gets no child (the entry is kept).
// beforeFirstPlugin, when given, runs once, after the first file passed the export
// check and before any plugin is called: the place to create the frame.
LoadOutcome LoadPluginsFrom(MdiHost& host, const std::wstring& folder, std::vector<PluginEntry>& list,
                            const std::function<void()>& beforeFirstPlugin = {});

// LoadPluginsFrom the folder `Plugin` beside the program into PluginList().
LoadOutcome LoadPlugins(MdiHost& host, const std::function<void()>& beforeFirstPlugin = {});

// Looks exportName up in module and calls it with the address of argument's characters;
// 0 when the export is missing.
std::intptr_t CallPluginForHandle(HMODULE module, const char* exportName, const std::string& argument);

// As CallPluginForHandle; a copy of the zero-terminated text at the address returned,
// or an empty text for 0 (or a missing export).
std::string CallPluginForText(HMODULE module, const char* exportName, const std::string& argument);

// Makes window a child of parent, moves it to 0, 0 of parent at its present outer
// size, repaints and updates it; returns the previous parent.
HWND ReparentWindow(HWND window, HWND parent);

}  // namespace tessor::plugins
