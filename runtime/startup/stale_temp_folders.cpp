// Removes the temporary folders that earlier runs left behind when they ended without their clean-up.
#include "startup/runtime_files.h"

#include "win32/kernel.h"

#include <string_view>
#include <vector>

using namespace win32;

namespace vtrrt {

namespace {

// "vrt" and six characters: the names CreateTempDirectory and CreateTempFolder give.
constexpr std::u16string_view TempFolderPrefix = u"vrt";
constexpr std::size_t TempFolderNameLength = 9;

std::u16string LastComponent(std::u16string_view path) {
    std::size_t cut = path.find_last_of(u"\\/");
    return std::u16string(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

bool IsRunFolderName(std::u16string_view name) {
    return name.size() == TempFolderNameLength &&
           EqualsIgnoringCase(name.substr(0, TempFolderPrefix.size()), TempFolderPrefix);
}

} // namespace

void PurgeStaleTempFolders() {
    std::u16string tempPath(MAX_PATH, u'\0');
    DWORD length = GetTempPathW(MAX_PATH, tempPath.data());
    if (length == 0 || length >= MAX_PATH) return;
    tempPath.resize(length);
    const std::u16string own = LastComponent(GetRuntimeFiles().runtimeTempFolder);

    // Names first, removal after: the listing is not disturbed by what goes.
    std::vector<std::u16string> names;
    const std::u16string pattern = tempPath + u"vrt*";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::u16string_view name = data.cFileName;
        if (IsRunFolderName(name) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !EqualsIgnoringCase(name, own))
            names.emplace_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);

    // Whatever their age and contents, the folders of runs that have ended go; those of live runs (this one's
    // among them) stay, as do links and folders of other users.
    for (const std::u16string& name : names) {
        const std::u16string folder = tempPath + name;
        RemoveAbandonedFolder(folder.c_str());
    }
}

} // namespace vtrrt
