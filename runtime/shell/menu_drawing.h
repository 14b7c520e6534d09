// Owner-drawn items of the application's menu: their size, and their drawing with the menu's colours, texts
// and, inside popups, icons from the image bank.
#pragma once

#include "win32/menu.h"

namespace vtrrt {

// Separators are 64 x 6; an item is as wide as its text in the default GUI font (39 more inside popups) and
// 16 high, or 8 more than its text when the text is 8 or higher.
void MeasureMenuItem(win32::MEASUREITEMSTRUCT& item);

// Draws one item of the current application's menu into the item's device context.
void DrawMenuItem(const win32::DRAWITEMSTRUCT& item);

} // namespace vtrrt
