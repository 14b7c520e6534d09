// Reporting loader and start-up errors: one line on stderr, and a message box unless R0 turned them off.
#pragma once

#include "win32/msgbox.h"

#include <string>
#include <string_view>

namespace vtrrt {

// The text shown for a result code: the program's string of that number; stream codes show "File error!"
// (out of memory "Not enough memory!"); code 4 starts with the file's name.
std::u16string ErrorMessageText(int code, const win32::WCHAR* fileName);

// Reports a positive code (negative codes were reported already or stay silent): the text as one line on
// stderr, then, when error boxes are on, in a box with the information icon.
void ShowErrorMessage(win32::HWND owner, int code, const win32::WCHAR* fileName = nullptr);

// "<name> : File error!": a file of the run that could not be written; a line on stderr, and a box when
// error boxes are on.
void ShowFileErrorMessage(win32::HWND owner, const win32::WCHAR* fileName);

// One line on stderr, "vtrrt: <text>", for an error that shows no message box.
void ReportErrorLine(std::u16string_view text);

// "Cannot find <name>!" and "Cannot load <name>. ...", owned by the main window, always shown.
void ShowCannotFindMessage(const win32::WCHAR* name);
void ShowCannotLoadMessage(const win32::WCHAR* name);

} // namespace vtrrt
