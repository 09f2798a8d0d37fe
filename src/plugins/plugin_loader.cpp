#include "plugins/plugin_loader.h"

namespace tessor::plugins {
namespace {

const void* FindExport(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<const void*>(GetProcAddress(module, name));
}

// Lets queued window messages be handled once; a quit request stays queued.
void ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The plain files named *.dll of folder, in the order of the listing.
std::vector<std::wstring> ListPluginFiles(const std::wstring& folder) {
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

}  // namespace

std::vector<PluginEntry>& PluginList() {
  static std::vector<PluginEntry> list;
  return list;
}

std::wstring ProgramDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L".";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::intptr_t CallPluginForHandle(HMODULE module, const char* exportName, const std::string& argument) {
  const void* function = FindExport(module, exportName);
  if (function == nullptr) return 0;
  return CallWithOneArgument(function, reinterpret_cast<std::intptr_t>(argument.c_str()));
}

std::string CallPluginForText(HMODULE module, const char* exportName, const std::string& argument) {
  const std::intptr_t result = CallPluginForHandle(module, exportName, argument);
  if (result == 0) return {};
  return std::string(reinterpret_cast<const char*>(result));
}

HWND ReparentWindow(HWND window, HWND parent) {
  HWND previous = SetParent(window, parent);
  RECT outer{};
  GetWindowRect(window, &outer);
  MoveWindow(window, 0, 0, outer.right - outer.left, outer.bottom - outer.top, TRUE);
  UpdateWindow(window);
  return previous;
}

LoadOutcome LoadPluginsFrom(MdiHost& host, const std::wstring& folder, std::vector<PluginEntry>& list,
                            const std::function<void()>& beforeFirstPlugin) {
  LoadOutcome outcome;
  bool first = true;
  for (const std::wstring& name : ListPluginFiles(folder)) {
    PluginEntry entry;
    entry.fileName = name;
    entry.module = LoadLibraryW((folder + L"\\" + name).c_str());
    if (entry.module == nullptr) {
      ++outcome.failed;
      continue;
    }
    if (FindExport(entry.module, kHandleExport) == nullptr || FindExport(entry.module, kTitleExport) == nullptr) {
      FreeLibrary(entry.module);  // nothing of it was called
      ++outcome.failed;
      continue;
    }
    if (first && beforeFirstPlugin) beforeFirstPlugin();
    first = false;

    const auto window = reinterpret_cast<HWND>(CallPluginForHandle(entry.module, kHandleExport, kHandleArgument));
    entry.title = CallPluginForText(entry.module, kTitleExport, kTitleArgument);
    ProcessPendingMessages();
    if (window != nullptr && IsWindow(window)) {
      entry.hostWindow = host.NewChild(entry.title);
      if (entry.hostWindow != nullptr) {
        ReparentWindow(window, entry.hostWindow);
        if (host.GetActiveChild() != entry.hostWindow) host.ActivateChild(entry.hostWindow);
        host.PutInActiveChild(window, std::nullopt, std::nullopt, std::nullopt, std::nullopt, true);
      }
    }
    list.push_back(entry);
    ++outcome.loaded;
  }
  return outcome;
}

LoadOutcome LoadPlugins(MdiHost& host, const std::function<void()>& beforeFirstPlugin) {
  return LoadPluginsFrom(host, ProgramDirectory() + L"\\Plugin", PluginList(), beforeFirstPlugin);
}

}  // namespace tessor::plugins
