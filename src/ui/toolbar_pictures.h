// The seven 20 × 20 pictures of the toolbar 工具条1, drawn by the program.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace tessor::ui {

inline constexpr int kToolbarPictureSize = 20;
inline constexpr int kToolbarPictureCount = 7;

// Gears, a floppy disk, a page with two circular arrows, two pages, a form with a pen,
// a page with a magnifier, a door with an arrow; in this order.
HIMAGELIST CreateToolbarPictures();

}  // namespace tessor::ui
