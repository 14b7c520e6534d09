// The runtime's services for extensions: the block handed to their entry points, kept up to date with the
// shell's state; its generic calls, user data words, modeless dialogs and the files stored in the
// application; the run routines of extension objects; and the files stored in the program image.
#pragma once

#include "plugin/extension.h"

#include "win32/user.h"

#include <cstdint>
#include <span>
#include <string_view>

class CInputFile;

namespace vtrrt {

struct ApplicationRecord;

// Fills the block's services once (at start-up); the block and its routine table live until exit.
void InitExtensionServices();
// The block, its state fields brought up to date with the shell's current application, frame, run state,
// windows and managers.
extension::RuntimeServices* ExtensionServices();

// The user data word of the extension loaded from a module; 0, and nothing changed, for any other module.
std::intptr_t GetExtensionUserData(win32::HMODULE module);
std::intptr_t SetExtensionUserData(win32::HMODULE module, std::intptr_t value);

std::intptr_t ExtensionGenericCall(std::int32_t code, std::intptr_t a1, std::intptr_t a2, std::intptr_t a3);

// Modeless dialogs registered by extensions. Whether a registered dialog took the message.
void RegisterModelessDialog(win32::HWND dialog);
void UnregisterModelessDialog(win32::HWND dialog);
bool IsRegisteredDialogMessage(win32::MSG* message);

// Files stored in the current application, found by name without regard to case. The usable path is the
// name itself when no stored file has it; a stored file is copied once into the temporary folder and its
// copy is counted, and deleted when its last user releases it. 1 or 0 (a stored file of size 0, an out
// buffer too small, a copy that failed).
int GetEmbeddedFilePath(const win32::WCHAR* name, win32::WCHAR* out, std::size_t capacity);
void ReleaseEmbeddedFilePath(const win32::WCHAR* name);
// A raw file handle at the start of the stored file's bytes (or of the real file), and its size; -1
// (INVALID_HANDLE_VALUE) when it cannot be opened.
win32::HANDLE OpenEmbeddedFile(const win32::WCHAR* name, std::uint32_t* size);
void CloseEmbeddedFile(win32::HANDLE file);

// Files stored in the program image: a run of `count` chunks at `position` of the program file, each a
// terminated UTF-16 file name followed by the file's bytes, written into the temporary folder (plain names
// only) and deleted at shutdown. 1 on success (and when there is nothing to extract); 0 after the failure was
// reported.
int ExtractEmbeddedFiles();
int ExtractProgramFiles(const win32::WCHAR* programPath, std::uint32_t position, std::uint32_t count);
void DeleteExtractedFiles();

} // namespace vtrrt
