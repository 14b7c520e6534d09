// Windows-style names to host paths: both separators, and a name that does not exist as written is looked
// up without regard to case, folder by folder.
#pragma once

#include "win32/kernel.h"

#include <optional>
#include <string>
#include <string_view>

namespace win32::detail {

struct HostPath {
    std::string path;
    bool exists = false;       // the whole path names something
    bool parentExists = false; // every folder above the last component exists
};

// Empty optional for an empty or unconvertible name (last error set).
std::optional<HostPath> ResolvePath(std::u16string_view name);
std::optional<HostPath> ResolvePath(LPCWSTR name);

// ERROR_FILE_NOT_FOUND when the folder exists, ERROR_PATH_NOT_FOUND when it does not.
DWORD NotFoundError(const HostPath& path);

// The Windows code for an errno value.
DWORD ErrorFromErrno(int error);

// The layer's case folding (win32::FoldCase) over UTF-8 names: a name's folded form, for comparing many
// names against many, and the comparison of two.
using win32::EqualsIgnoringCase;
using win32::FoldCase;
std::u32string FoldCase(std::string_view utf8);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// Windows pattern matching ('*', '?'), without regard to case, on UTF-8 names.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// The host path as UTF-16, as the layer hands paths back.
std::u16string ToWide(std::string_view hostPath);

} // namespace win32::detail
