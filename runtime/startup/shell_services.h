// Services of the shell around its windows: messages to a whole window tree, dialog fonts, temporary file
// names and documents opened for the user.
#pragma once

#include "win32/user.h"

#include <string>

namespace vtrrt {

// Sends the message to every child window, depth first (each child, then its own children).
void SendMessageToDescendants(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                              win32::LPARAM lParam);

// Gives every child control of the dialog a normal-weight copy of the dialog's font (made once, kept until
// `FreeShellResources`).
void SetChildWindowsFont(win32::HWND dialog);

// A new, empty, uniquely named file in the system's temporary folder; 0 when none could be made.
win32::UINT MakeTempFileName(const win32::WCHAR* prefix, std::u16string& name);

// Opens a document with the desktop's program for it. True when it was launched, or when the document
// launched last is still open (nothing new is launched then).
bool LaunchDocument(const win32::WCHAR* path);

// The global atoms that name the window properties of the shell: "krdp", "kprc" and "kspc" once per process,
// "knum" at every start; deleted again at shutdown.
void AddShellAtoms();
void DeleteShellAtoms();

// The properties of a subclassed control window: the owning object, the procedure it replaced, the
// extension's message routine and the object's number.
enum class ShellProperty { Owner, Procedure, MessageRoutine, Number };
// The property's atom, or its name while the atoms are not added.
const win32::WCHAR* ShellPropertyName(ShellProperty property);

// A part of the application file's path, copied into `out` (at least 260 units): 1 the drive, 2 the folder
// without the drive, 3 both, 4 the file name without its extension, 5 the temporary folder with a trailing
// backslash; other kinds an empty string.
void GetApplicationPathPart(int kind, win32::WCHAR* out);

// The shell's own resources, at the end of a run: the dialog font and the launched document's handle.
void FreeShellResources();

} // namespace vtrrt
