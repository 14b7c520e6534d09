// The per-run temporary folder and its removal, with the small path operations the start-up shares.
#include "startup/runtime_files.h"

#include "core/upcalls.h"

#include "startup/delay_load.h"
#include "startup/file_pack.h"

using namespace win32;

namespace vtrrt {

namespace {

constexpr int RemoveAttempts = 10;
// The longest path a module may have here: what the file system allows.
constexpr DWORD MaxModulePathUnits = 1u << 16;
constexpr DWORD RemoveRetryDelay = 1000;
// The layer's own separator, used where the start-up joins paths.
constexpr char16_t Separator = u'/';

bool EndsWithSeparator(std::u16string_view path) {
    return !path.empty() && IsPathSeparator(path.back());
}

std::size_t LastSeparator(std::u16string_view path) {
    for (std::size_t i = path.size(); i-- > 0;)
        if (IsPathSeparator(path[i])) return i;
    return std::u16string_view::npos;
}

// Where the folders of a path begin: past the root of an absolute path, a drive's root, or a share.
std::size_t RootEnd(std::u16string_view path) {
    if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
        std::size_t server = path.size();
        for (std::size_t i = 2; i < path.size(); ++i)
            if (IsPathSeparator(path[i])) {
                server = i;
                break;
            }
        for (std::size_t i = server + 1; i < path.size(); ++i)
            if (IsPathSeparator(path[i])) return i;
        return path.size();
    }
    if (path.size() >= 3 && path[1] == u':' && IsPathSeparator(path[2])) return 2;
    if (!path.empty() && IsPathSeparator(path[0])) return 0;
    return std::u16string_view::npos;
}

bool Exists(const std::u16string& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// True once the file is gone. Only files are ours to delete: a folder in the list's place counts as gone,
// and the folder clean-up below deals with it.
bool DeleteUnpackedFile(const std::u16string& path) {
    for (int attempt = 0; attempt < RemoveAttempts; ++attempt) {
        if (attempt > 0) Sleep(RemoveRetryDelay);
        if (DeleteFileW(path.c_str())) return true;
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    }
    return false;
}

// Removes the now empty folders of an unpacked file, deepest first, never the temporary folder itself.
void RemoveEmptyFoldersOf(std::u16string path, std::u16string_view tempFolder) {
    while (true) {
        std::size_t cut = LastSeparator(path);
        if (cut == std::u16string::npos || cut + 1 <= tempFolder.size()) return;
        path.resize(cut);
        if (!RemoveDirectoryW(path.c_str())) return;
    }
}

void RemoveFolderWithRetries(const std::u16string& folder) {
    for (int attempt = 0; attempt < RemoveAttempts; ++attempt) {
        if (attempt > 0) Sleep(RemoveRetryDelay);
        if (RemoveDirectoryW(folder.c_str()) || !Exists(folder)) return;
    }
}

// The temporary folder cannot be removed while it is current.
void MakeProgramFolderCurrent(std::u16string_view programPath) {
    std::size_t cut = LastSeparator(programPath);
    if (cut == std::u16string_view::npos) return;
    std::u16string folder(programPath.substr(0, cut < 3 ? cut + 1 : cut));
    SetCurrentDirectoryW(folder.c_str());
}

} // namespace

RuntimeFiles& GetRuntimeFiles() {
    static RuntimeFiles files;
    return files;
}

void AppendBackslash(std::u16string& path) {
    if (!path.empty() && !EndsWithSeparator(path)) path.push_back(Separator);
}

void RemoveTrailingBackslash(std::u16string& path) {
    bool root = path.size() == 1 || (path.size() == 3 && path[1] == u':');
    if (EndsWithSeparator(path) && !root) path.pop_back();
}

int CreateTempDirectory() {
    RuntimeFiles& files = GetRuntimeFiles();
    std::u16string folder = CreateUniqueTempFolder(u"vrt");
    if (folder.empty()) return ErrorCannotCreateFolder;
    AppendBackslash(folder);
    files.tempFolder = folder;
    return 0;
}

std::u16string GetModulePath(HMODULE module) {
    // A truncated path comes back filling the whole buffer: try again with a larger one.
    for (DWORD size = MAX_PATH; size <= MaxModulePathUnits; size *= 2) {
        std::u16string path(size, u'\0');
        const DWORD length = GetModuleFileNameW(module, path.data(), size);
        if (length == 0) return {};
        if (length < size) {
            path.resize(length);
            return path;
        }
    }
    return {};
}

std::u16string ProgramFolder() {
    const std::u16string& path = GetRuntimeFiles().programPath;
    const std::size_t cut = LastSeparator(path);
    if (cut == std::u16string::npos) return {};
    return path.substr(0, cut == 0 ? 1 : cut);
}

std::u16string ModuleSearchFolder() {
    const RuntimeFiles& files = GetRuntimeFiles();
    return files.modulesBesideProgram ? ProgramFolder() : files.runtimeTempFolder;
}

int PrepareRuntimeFiles() {
    RuntimeFiles& files = GetRuntimeFiles();
    files.prepareFailure = 0;
    files.programPath = GetModulePath(files.instance);
    if (files.programPath.empty()) {
        files.prepareFailure = ErrorCannotOpenProgram;
        return 0;
    }
    if (int code = CreateTempDirectory(); code != 0) {
        files.prepareFailure = code;
        return 0;
    }
    // The run's own temporary folder in every case, packed or not: what the run writes goes there.
    files.runtimeTempFolder = files.tempFolder;
    RemoveTrailingBackslash(files.runtimeTempFolder);
    if (int code = UnpackFilePack(); code != 0) {
        files.prepareFailure = code;
        files.modulesBesideProgram = !files.packFound && code == ErrorBadFilePack;
        return 0;
    }
    files.embeddedFilesExtracted = false;
    return 1;
}

void CleanupRuntimeFiles() {
    RuntimeFiles& files = GetRuntimeFiles();
    if (files.library) {
        // The library's translation goes with it (the language folder is already gone at this point).
        up::ReleaseModuleTranslation(files.library);
        UnbindDelayLoadedImports();
        FreeLibrary(files.library);
        files.library = nullptr;
    }
    MakeProgramFolderCurrent(files.programPath);
    for (const std::u16string& path : files.unpackedFiles) {
        if (DeleteUnpackedFile(path)) RemoveEmptyFoldersOf(path, files.tempFolder);
    }
    if (!files.tempFolder.empty()) {
        std::u16string folder = files.tempFolder;
        RemoveTrailingBackslash(folder);
        RemoveFolderWithRetries(folder);
    }
    HINSTANCE instance = files.instance;
    files = RuntimeFiles();
    files.instance = instance;
}

int CreateTempFolder(std::u16string& folder) {
    std::u16string made = CreateUniqueTempFolder(u"vrt");
    if (made.empty()) return ErrorNoTempSpace;
    AppendBackslash(made);
    folder = made;
    return 0;
}

int CreateFolderPath(std::u16string_view path) {
    std::size_t cut = LastSeparator(path);
    if (cut == std::u16string_view::npos) return 0;
    std::u16string_view folder = path.substr(0, cut + 1);
    std::size_t rootEnd = RootEnd(folder);
    std::size_t first = rootEnd == std::u16string_view::npos ? 0 : rootEnd + 1;
    for (std::size_t i = first; i < folder.size(); ++i) {
        if (!IsPathSeparator(folder[i]) || i == 0) continue;
        std::u16string prefix(folder.substr(0, i));
        if (SetCurrentDirectoryW(prefix.c_str())) continue;
        if (!CreateDirectoryW(prefix.c_str(), nullptr) || !SetCurrentDirectoryW(prefix.c_str())) return 1;
    }
    return 0;
}

void ChangeToFolderOfPath(std::u16string_view path) {
    std::size_t cut = LastSeparator(path);
    if (cut == std::u16string_view::npos) return;
    std::u16string folder(path.substr(0, cut + 1));
    if (folder.size() > 1) folder.pop_back();
    SetCurrentDirectoryW(folder.c_str());
}

} // namespace vtrrt
