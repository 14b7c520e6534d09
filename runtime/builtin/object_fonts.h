// The font and text colour of objects that show text, as the common conditions, actions and expressions
// read and change them. Text, score, lives and counter objects answer through routines their kinds put in
// the table here; object extensions through their own entry points. Also the font items that objects set
// while the frame runs: added to the application's font bank, described, and released with the cached GDI
// fonts made from them.
#pragma once

#include "objects/run_objects.h"

#include "win32/font.h"
#include "win32/types.h"

#include <array>
#include <cstdint>

namespace vtrrt {

struct ObjectTextRoutines {
    // Fills the font; false leaves it untouched (no font to tell).
    bool (*getFont)(RunObject* object, win32::LOGFONTW* font) = nullptr;
    // Takes the font; `newSize`, when given, is the object's new box.
    void (*setFont)(RunObject* object, const win32::LOGFONTW* font, const win32::RECT* newSize) = nullptr;
    win32::COLORREF (*getTextColor)(RunObject* object) = nullptr;
    // Stores the colour; the caller redraws the object.
    void (*setTextColor)(RunObject* object, win32::COLORREF colour) = nullptr;
};

// Indexed by object type 0 to 9.
std::array<ObjectTextRoutines, LastKindType + 1>& KindTextRoutines();

// The object's font; false (the font untouched) for objects that have none.
bool GetObjectFont(RunObject* object, win32::LOGFONTW* font);
void SetObjectFont(RunObject* object, const win32::LOGFONTW* font, const win32::RECT* newSize);
// The colour of the object's text; 0 for objects that have none.
win32::COLORREF GetObjectTextColor(RunObject* object);
// Stores the colour and redraws the object.
void SetObjectTextColor(RunObject* object, win32::COLORREF colour);

// Logical pixels per inch of the screen, 96 when it tells none.
int ScreenPixelsPerInch();

// The font item of a description (an equal font already in the bank is shared); 0 when it cannot be added.
std::uint16_t AddFontItem(const win32::LOGFONTW& font);
// Drops one reference; the cached GDI fonts of the item go with its last reference.
void ReleaseFontItem(std::uint16_t item);
// The item's description; false (and zeros) when there is none.
bool DescribeFontItem(std::uint16_t item, win32::LOGFONTW* font);

} // namespace vtrrt
