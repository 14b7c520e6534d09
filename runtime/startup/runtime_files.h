// The per-run temporary folder, the runtime modules unpacked into it, and their removal at exit.
#pragma once

#include "win32/kernel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtrrt {

// The 32-byte header of the file pack, kept whole: the display set-up reads the option word and the loader
// the data offset, which is rewritten to an absolute file offset once the pack is found.
struct FilePackHeader {
    win32::DWORD magic1 = 0;
    win32::DWORD magic2 = 0;
    win32::DWORD headerSize = 0;
    win32::DWORD dataOffset = 0;
    win32::DWORD reserved16 = 0;
    win32::DWORD options = 0;
    win32::DWORD reserved24 = 0;
    win32::DWORD entryCount = 0;
};

constexpr win32::DWORD FilePackOptionVSync = 0x1;

// What this run knows about its runtime files, from PrepareRuntimeFiles to CleanupRuntimeFiles.
struct RuntimeFiles {
    win32::HINSTANCE instance = nullptr;
    std::u16string programPath;
    // With a trailing separator; empty until the folder exists.
    std::u16string tempFolder;
    // RuntimeTempFolder: the same folder without the trailing separator, as every other subsystem uses it.
    std::u16string runtimeTempFolder;
    // LanguageFolder: where language files are looked for; none when it could not be set.
    std::optional<std::u16string> languageFolder;
    bool packFound = false;
    // Nothing is packed with the program (it runs a data file named by F): the modules the run looks for
    // are the ones beside the program, while what it writes still goes to the temporary folder.
    bool modulesBesideProgram = false;
    win32::DWORD packPosition = 0;
    FilePackHeader packHeader;
    // Every target path of the pack, recorded before its file is created, so that clean-up misses none.
    std::vector<std::u16string> unpackedFiles;
    // The unpacked copy of the library, which DelayLoadHook binds; empty when the pack held none.
    std::u16string libraryPath;
    win32::HMODULE library = nullptr;
    // Set by the extraction of embedded files; cleared when the runtime files are prepared.
    bool embeddedFilesExtracted = false;
    // Why PrepareRuntimeFiles failed: the code of CreateTempDirectory or of UnpackFilePack; 0 when it did
    // not.
    int prepareFailure = 0;
};

RuntimeFiles& GetRuntimeFiles();

// The file name the library is packed and bound under.
inline constexpr std::u16string_view LibraryFileName = u"libvtrs2.so";

// Start-up failure codes of the runtime files.
enum RuntimeFileError : int {
    ErrorCannotOpenProgram = 100,
    ErrorBadFilePack = 101,
    ErrorCannotCreateFolder = 103,
    ErrorCannotCreateFile = 104,
};
constexpr int ErrorNoTempSpace = 14;

// The program path, a new temporary folder and the pack unpacked into it: 1, or 0 on any failure (its code
// kept in `prepareFailure`).
int PrepareRuntimeFiles();
// This run's temporary folder: 0, or 103 when none could be made.
int CreateTempDirectory();
// Unloads the library, deletes every unpacked file, the folders made for them and the temporary folder.
void CleanupRuntimeFiles();

// A further new folder in the system temporary folder (extracted music, embedded files), with a trailing
// separator: 0, or 14 when none could be made. The caller removes it.
int CreateTempFolder(std::u16string& folder);
// Creates every missing folder of a file path; 0 on success. Leaves the deepest one current.
int CreateFolderPath(std::u16string_view path);
// Makes the folder of a file path current.
void ChangeToFolderOfPath(std::u16string_view path);
// Removes from the system temporary folder every run folder whose run has ended, with all it holds.
void PurgeStaleTempFolders();

// The full path of a module (null: the program), of whatever length; empty when it has none.
std::u16string GetModulePath(win32::HMODULE module);
// The folder of the program's own path, without a trailing separator (the root keeps its separator); empty
// when the path has none.
std::u16string ProgramFolder();
// Where the run looks for its modules (image and sound filters, object and movement extensions, transition
// modules, language files): the temporary folder they were unpacked into, or the program's own folder when
// nothing is packed. Never the current folder. Without a trailing separator.
std::u16string ModuleSearchFolder();

void AppendBackslash(std::u16string& path);
void RemoveTrailingBackslash(std::u16string& path);

} // namespace vtrrt
