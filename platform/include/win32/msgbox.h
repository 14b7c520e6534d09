// Message boxes: a caption, a text and a row of buttons in a dialog of the layer's own; the text also goes
// to stderr.
#pragma once

#include "win32/types.h"

namespace win32 {

// Buttons.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
// Icons.
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONHAND = MB_ICONERROR;
constexpr UINT MB_ICONSTOP = MB_ICONERROR;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONEXCLAMATION = MB_ICONWARNING;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONASTERISK = MB_ICONINFORMATION;
// Which button the Return key presses.
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;

// Results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Writes "caption: text" as one line to stderr, then shows the box as a modal dialog owned by `owner` and
// waits for a button (Escape is Cancel, or the only button). A null caption is "Error". Without a display
// (or with SDL's dummy video driver) returns the default button at once.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

} // namespace win32
