// Folder searches by pattern: the listing is taken whole at the first call, sorted, and handed out one entry
// at a time.
#include "filetime.h"
#include "handles.h"
#include "paths.h"
#include "text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace win32 {

namespace detail {

struct SearchObject : KernelObject {
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
};

} // namespace detail

namespace {

using detail::SearchObject;

// Files may have a birth time; when its last write is earlier (times set back on purpose), that is taken.
timespec CreationTime(int dirFd, const char* name, const struct stat& st) {
    timespec created = st.st_mtim;
    struct statx sx;
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
        const timespec birth{static_cast<time_t>(sx.stx_btime.tv_sec),
                             static_cast<long>(sx.stx_btime.tv_nsec)};
        if (birth.tv_sec < created.tv_sec ||
            (birth.tv_sec == created.tv_sec && birth.tv_nsec < created.tv_nsec))
            created = birth;
    }
    return created;
}

bool MakeEntry(int dirFd, const std::string& name, WIN32_FIND_DATAW& data) {
    const std::u16string wide = FromUtf8(name);
    if (wide.size() >= MAX_PATH) return false; // cannot be handed out whole
    struct stat st;
    if (fstatat(dirFd, name.c_str(), &st, 0) != 0) return false;
    data = {};
    data.dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (!(st.st_mode & S_IWUSR)) data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (!data.dwFileAttributes) data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    data.ftCreationTime = detail::FileTimeFromTimespec(CreationTime(dirFd, name.c_str(), st));
    data.ftLastAccessTime = detail::FileTimeFromTimespec(st.st_atim);
    data.ftLastWriteTime = detail::FileTimeFromTimespec(st.st_mtim);
    const auto size = S_ISDIR(st.st_mode) ? 0ULL : static_cast<ULONGLONG>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    std::memcpy(data.cFileName, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    return true;
}

// "." and ".." first, the rest in byte order, so that searches are repeatable.
bool ListedBefore(const std::string& a, const std::string& b) {
    const bool aDots = a == "." || a == "..";
    const bool bDots = b == "." || b == "..";
    if (aDots != bDots) return aDots;
    return a < b;
}

HANDLE FindFirst(std::u16string_view pattern, WIN32_FIND_DATAW* data) {
    if (!data || pattern.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    size_t cut = pattern.size();
    while (cut > 0 && !IsPathSeparator(pattern[cut - 1]))
        --cut;
    const std::string mask = ToUtf8(pattern.substr(cut));
    std::string folder = ".";
    if (cut > 0) {
        auto path = detail::ResolvePath(pattern.substr(0, cut));
        if (!path) return INVALID_HANDLE_VALUE;
        folder = path->path;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (!mask.empty() && detail::MatchesPattern(entry->d_name, mask)) names.emplace_back(entry->d_name);
    std::sort(names.begin(), names.end(), ListedBefore);
    auto find = std::make_shared<SearchObject>();
    for (const std::string& name : names) {
        WIN32_FIND_DATAW entry;
        if (MakeEntry(dirfd(dir), name, entry)) find->entries.push_back(entry);
    }
    closedir(dir);
    if (find->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = find->entries[find->next++];
    return detail::RegisterObject(std::move(find));
}

void ToNarrow(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& narrow) {
    narrow = {};
    narrow.dwFileAttributes = wide.dwFileAttributes;
    narrow.ftCreationTime = wide.ftCreationTime;
    narrow.ftLastAccessTime = wide.ftLastAccessTime;
    narrow.ftLastWriteTime = wide.ftLastWriteTime;
    narrow.nFileSizeHigh = wide.nFileSizeHigh;
    narrow.nFileSizeLow = wide.nFileSizeLow;
    auto name = detail::EncodeCodePage(CP_ACP, wide.cFileName, false, "?");
    if (name) std::strncpy(narrow.cFileName, name->text.c_str(), MAX_PATH - 1);
}

} // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data) {
    if (!pattern) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return FindFirst(pattern, data);
}

BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* data) {
    auto find = detail::LookupObject<SearchObject>(handle);
    if (!find) return FALSE;
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (find->next >= find->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = find->entries[find->next++];
    return TRUE;
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto widePattern = detail::DecodeCodePage(CP_ACP, pattern, false);
    if (!widePattern) return INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW wide;
    HANDLE find = FindFirst(*widePattern, &wide);
    if (find != INVALID_HANDLE_VALUE) ToNarrow(wide, *data);
    return find;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WIN32_FIND_DATAW wide;
    if (!FindNextFileW(find, &wide)) return FALSE;
    ToNarrow(wide, *data);
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    return detail::UnregisterObject<SearchObject>(find) ? TRUE : FALSE;
}

} // namespace win32
