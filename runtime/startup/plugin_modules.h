// Plug-in modules the application names (transitions, object and movement extensions): files of the run's
// temporary folder, loaded with the system's error boxes off, and what the user is told when one is missing
// or cannot be loaded.
#pragma once

#include "win32/types.h"

#include <optional>
#include <string>
#include <string_view>

namespace vtrrt {

// A name read from application data may name a file of the temporary folder and nothing else: no separator,
// drive, root or "..".
bool IsPlainFileName(std::u16string_view name);
// The name with the text after its last "." replaced by `extension` (which starts with its dot), or with the
// extension appended when the name has no dot.
std::u16string WithFileExtension(std::u16string_view name, std::u16string_view extension);
// The file's path in the run's temporary folder.
std::u16string TempFolderPath(std::u16string_view file);
// Where a plug-in module of the application is: in the run's temporary folder, or beside the program when
// nothing was packed (as the library is).
std::u16string PluginModulePath(std::u16string_view file);
// A module's language file is its name with this extension.
inline constexpr std::u16string_view LanguageFileExtension = u".txt";
// The path of a language file (a module's name with ".txt", "vtrrtd.txt", "vtrs2.txt") in the run's language
// folder; none when the run has no language folder.
std::optional<std::u16string> LanguageFilePath(std::u16string_view file);
// Loads the module at `path`; when that fails, shows "Cannot find <file>!" when there is no such file, else
// "Cannot load <file>. ...", and gives null.
win32::HMODULE LoadPluginModule(const std::u16string& path, const std::u16string& file);

} // namespace vtrrt
