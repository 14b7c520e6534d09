// The special object's global values and strings, menus, programs, embedded files and clipboard: what its
// conditions, actions and expression functions share.
#pragma once

#include "core/application_record.h"
#include "core/typed_value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vtrrt {

// The most global values and global strings an event may grow the application's lists to.
constexpr std::int32_t GlobalNumberLimit = 1 << 16;

// Global value N (0-based) as it stands; an integer 0 when it is not there (nothing is grown to read it).
TypedValue ReadGlobalValue(std::int32_t index);

// Runs a program: an executable with its parameters as arguments, or a document through the desktop's opener
// (never through a shell). Options bit 0 waits for it to end with the application paused, bit 1 then hides
// the windows meanwhile.
void ExecuteProgram(std::uint16_t options, const win32::WCHAR* file, const win32::WCHAR* parameters);

// The embedded file of that name (without regard to case), or null.
EmbeddedFileEntry* FindEmbeddedFile(std::u16string_view name);

// The clipboard's Unicode text; empty when it holds none.
std::u16string ClipboardText();

} // namespace vtrrt
