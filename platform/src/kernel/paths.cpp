// Name resolution: separators, case-insensitive lookup and pattern matching.
#include "paths.h"

#include "text.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace win32::detail {

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::u32string Decode(std::string_view utf8) {
    std::u32string out;
    const std::u16string wide = FromUtf8(utf8);
    for (size_t i = 0; i < wide.size();)
        out.push_back(NextCodePoint(wide, i));
    return out;
}

std::u32string Folded(std::string_view utf8) {
    std::u32string text = Decode(utf8);
    std::transform(text.begin(), text.end(), text.begin(), [](char32_t c) { return FoldCase(c); });
    return text;
}

// The entry of `folder` equal to `name` without regard to case; the first in byte order when several are.
std::optional<std::string> FindIgnoringCase(const std::string& folder, std::string_view name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::nullopt;
    const std::u32string wanted = Folded(name);
    std::optional<std::string> best;
    while (dirent* entry = readdir(dir)) {
        std::string_view candidate = entry->d_name;
        if (Folded(candidate) != wanted) continue;
        if (!best || candidate < *best) best = std::string(candidate);
    }
    closedir(dir);
    return best;
}

std::vector<std::string_view> SplitComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool MatchFrom(const std::u32string& name, size_t n, const std::u32string& pattern, size_t p) {
    while (p < pattern.size()) {
        if (pattern[p] == U'*') {
            while (p < pattern.size() && pattern[p] == U'*')
                ++p;
            if (p == pattern.size()) return true;
            for (size_t k = n; k <= name.size(); ++k)
                if (MatchFrom(name, k, pattern, p)) return true;
            return false;
        }
        if (n == name.size()) return false;
        if (pattern[p] != U'?' && pattern[p] != name[n]) return false;
        ++n;
        ++p;
    }
    return n == name.size();
}

} // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return Folded(a) == Folded(b);
}

std::u32string FoldCase(std::string_view utf8) {
    return Folded(utf8);
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    const std::u32string n = Folded(name);
    const std::u32string p = Folded(pattern);
    if (MatchFrom(n, 0, p, 0)) return true;
    // "x.*" also takes "x", and "x." takes names that have no dot: the extension may be absent.
    if (p.size() >= 2 && p.ends_with(U".*")) return MatchFrom(n, 0, p.substr(0, p.size() - 2), 0);
    if (p.size() >= 1 && p.back() == U'.' && n.find(U'.') == std::u32string::npos)
        return MatchFrom(n, 0, p.substr(0, p.size() - 1), 0);
    return false;
}

std::optional<HostPath> ResolvePath(std::u16string_view name) {
    if (name.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    std::string raw = ToUtf8(name);
    std::replace(raw.begin(), raw.end(), '\\', '/');
    if (raw.find('\0') != std::string::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    HostPath result;
    if (Exists(raw)) {
        result.path = std::move(raw);
        result.exists = result.parentExists = true;
        return result;
    }
    const bool absolute = raw.front() == '/';
    const std::vector<std::string_view> parts = SplitComponents(raw);
    std::string built = absolute ? "/" : "";
    bool folderExists = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        std::string_view part = parts[i];
        std::string piece(part);
        if (folderExists && part != "." && part != ".." && !Exists(built + piece)) {
            if (auto match = FindIgnoringCase(built, part)) piece = *match;
        }
        if (!built.empty() && built.back() != '/') built.push_back('/');
        built += piece;
        if (last) {
            result.parentExists = folderExists;
            result.exists = folderExists && Exists(built);
        } else if (folderExists) {
            folderExists = IsDirectory(built);
        }
    }
    if (parts.empty()) { // only separators: the root
        result.exists = result.parentExists = absolute;
    }
    result.path = built.empty() ? "." : built;
    return result;
}

std::optional<HostPath> ResolvePath(LPCWSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    return ResolvePath(std::u16string_view(name));
}

DWORD NotFoundError(const HostPath& path) {
    return path.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EBUSY:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EILSEQ:
        return ERROR_INVALID_NAME;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

std::u16string ToWide(std::string_view hostPath) {
    return FromUtf8(hostPath);
}

} // namespace win32::detail

namespace win32 {

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x137) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

char32_t UpperCase(char32_t c) {
    if (c < 0x80) return (c >= U'a' && c <= U'z') ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x137) return c & ~char32_t{1};
    if ((c >= 0x13A && c <= 0x148) || (c >= 0x17A && c <= 0x17E)) return (c & 1) ? c : c - 1;
    if (c >= 0x14A && c <= 0x177) return c & ~char32_t{1};
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return FoldCase(x) == FoldCase(y);
           });
}

} // namespace win32
