// Temporary names and folders.
#include "kernel/owned_folders.h"
#include "paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace win32 {

namespace {

std::string TempFolderPath() {
    const char* env = std::getenv("TMPDIR");
    struct stat st;
    std::string path = env && *env && stat(env, &st) == 0 && S_ISDIR(st.st_mode) ? env : "/tmp";
    if (path.back() != '/') path.push_back('/');
    return path;
}

std::u16string HexName(std::u16string_view folder, std::u16string_view prefix, UINT number) {
    std::u16string name(folder);
    if (!name.empty() && !IsPathSeparator(name.back())) name.push_back(u'/');
    name += prefix.substr(0, 3);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X", number & 0xFFFF);
    for (const char* d = digits; *d; ++d)
        name.push_back(static_cast<char16_t>(*d));
    name += u".tmp";
    return name;
}

bool CopyOut(const std::u16string& name, LPWSTR out) {
    if (name.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::memcpy(out, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    return true;
}

} // namespace

DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
    const std::u16string path = detail::ToWide(TempFolderPath());
    if (!buffer || size <= path.size()) return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return static_cast<DWORD>(path.size());
}

UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR name) {
    if (!path || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u16string_view prefixText = prefix ? prefix : u"";
    if (unique != 0) return CopyOut(HexName(path, prefixText, unique), name) ? (unique & 0xFFFF) : 0;
    auto folder = detail::ResolvePath(path);
    if (!folder) return 0;
    struct stat st;
    if (!folder->exists || stat(folder->path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    // Names already in the folder, in any case, are skipped; the file is then created with O_EXCL, so a name
    // that another process takes meanwhile is not handed out either.
    std::unordered_set<std::u32string> taken;
    if (DIR* dir = opendir(folder->path.c_str())) {
        while (dirent* entry = readdir(dir))
            taken.insert(detail::FoldCase(entry->d_name));
        closedir(dir);
    }
    const std::string hostFolder = folder->path.back() == '/' ? folder->path : folder->path + "/";
    // Numbers start from a per-process seed and go round the 16-bit space once.
    static std::atomic<UINT> counter{static_cast<UINT>(getpid()) * 2654435761u};
    for (UINT attempt = 0; attempt < 0xFFFF; ++attempt) {
        const UINT number = (counter++ % 0xFFFF) + 1;
        const std::u16string fileName = HexName(u"", prefixText, number);
        const std::string hostName = ToUtf8(fileName);
        if (taken.contains(detail::FoldCase(hostName))) continue;
        const std::string hostPath = hostFolder + hostName;
        const int fd = open(hostPath.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            SetLastError(detail::ErrorFromErrno(errno));
            return 0;
        }
        close(fd);
        if (!CopyOut(HexName(path, prefixText, number), name)) {
            unlink(hostPath.c_str());
            return 0;
        }
        return number;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

std::u16string CreateUniqueTempFolder(std::u16string_view prefix) {
    const std::string prefixText = ToUtf8(prefix);
    if (prefixText.find('/') != std::string::npos || prefixText.find('\\') != std::string::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return {};
    }
    std::string pattern = TempFolderPath() + prefixText + "XXXXXX";
    if (!mkdtemp(pattern.data())) {
        SetLastError(detail::ErrorFromErrno(errno));
        return {};
    }
    // A folder that cannot carry the mark would look abandoned to other runs.
    if (!detail::MarkFolderOwned(pattern)) {
        const int error = errno;
        rmdir(pattern.c_str());
        SetLastError(detail::ErrorFromErrno(error ? error : ENOSPC));
        return {};
    }
    return detail::ToWide(pattern);
}

} // namespace win32
