// The drop target 拖放对象1: an OLE drop target registered on the main window. A drop of
// files delivers the first file's path; the others are ignored.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <filesystem>
#include <functional>

namespace tessor::ui {

// A new drop target with one reference, calling `fileDropped` on each drop of files.
IDropTarget* CreateFileDropTarget(std::function<void(const std::filesystem::path&)> fileDropped);

}  // namespace tessor::ui
