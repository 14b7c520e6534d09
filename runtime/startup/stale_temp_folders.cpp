// Removes the runtime files that earlier runs, ended without their clean-up, left in the temporary folder.
#include "startup/runtime_files.h"

#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <vector>

using namespace win32;

namespace vtrrt {

namespace {

// A folder is stale when created more than this many days before today.
constexpr int StaleAfterDays = 3;

constexpr std::array<int, 12> MonthLengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Only the kinds of file a run unpacks or extracts; folders are never deleted by pattern. The library and the
// display drivers are ".so" modules on this system.
constexpr std::array<std::u16string_view, 6> StaleFolderPatterns = {u"Mid*.mid", u"*.vxe", u"*.mvx",
                                                                    u"*.so",     u"*.ift", u"*.sft"};

// "vrt" and six characters: the names CreateTempDirectory and CreateTempFolder give.
constexpr std::u16string_view TempFolderPrefix = u"vrt";
constexpr std::size_t TempFolderNameLength = 9;

bool IsDotEntry(std::u16string_view name) {
    return name == u"." || name == u"..";
}

std::u16string CurrentDirectory() {
    std::u16string path(MAX_PATH, u'\0');
    DWORD length = GetCurrentDirectoryW(MAX_PATH, path.data());
    if (length == 0 || length >= MAX_PATH) return {};
    path.resize(length);
    return path;
}

std::u16string LastComponent(std::u16string_view path) {
    std::size_t cut = path.find_last_of(u"\\/");
    return std::u16string(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

template <typename Visit> void ForEachMatch(std::u16string_view pattern, Visit visit) {
    std::u16string text(pattern);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(text.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        visit(data);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

int CreationDay(const WIN32_FIND_DATAW& data) {
    FILETIME local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(&data.ftCreationTime, &local) || !FileTimeToSystemTime(&local, &time))
        return 0;
    return DayNumber(time);
}

bool HoldsNothing() {
    bool empty = true;
    ForEachMatch(u"*.*", [&](const WIN32_FIND_DATAW& data) { empty = empty && IsDotEntry(data.cFileName); });
    return empty;
}

// Runs inside the folder only when entering it really led there: a link in the shared temporary folder must
// never lead the purge to delete files elsewhere.
void PurgeFolder(const std::u16string& tempFolder, const std::u16string& name) {
    std::u16string expected = tempFolder + u"/" + name;
    if (!SetCurrentDirectoryW(name.c_str())) return;
    if (CurrentDirectory() == expected) {
        for (std::u16string_view pattern : StaleFolderPatterns) {
            ForEachMatch(pattern, [](const WIN32_FIND_DATAW& data) {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(data.cFileName);
            });
        }
        bool empty = HoldsNothing();
        SetCurrentDirectoryW(tempFolder.c_str());
        if (empty) RemoveDirectoryW(name.c_str());
    }
    SetCurrentDirectoryW(tempFolder.c_str());
}

} // namespace

int DayNumber(const SYSTEMTIME& time) {
    int month = std::min<int>(time.wMonth, 12);
    int days = time.wYear * 365 + time.wDay;
    for (int m = 1; m < month; ++m)
        days += MonthLengths[m - 1];
    return days;
}

void PurgeStaleTempFolders() {
    std::u16string remembered = CurrentDirectory();
    std::u16string tempPath(MAX_PATH, u'\0');
    DWORD length = GetTempPathW(MAX_PATH, tempPath.data());
    if (length == 0 || length >= MAX_PATH) return;
    tempPath.resize(length);
    if (!SetCurrentDirectoryW(tempPath.c_str())) return;
    // Compared with where entering each folder leads, so taken as the system resolves it.
    std::u16string tempFolder = CurrentDirectory();

    SYSTEMTIME now;
    GetSystemTime(&now);
    int today = DayNumber(now);
    std::u16string own = LastComponent(GetRuntimeFiles().runtimeTempFolder);

    std::vector<std::u16string> stale;
    ForEachMatch(u"vrt*", [&](const WIN32_FIND_DATAW& data) {
        std::u16string_view name = data.cFileName;
        if (IsDotEntry(name) || name.size() != TempFolderNameLength ||
            !EqualsIgnoringCase(name.substr(0, TempFolderPrefix.size()), TempFolderPrefix) ||
            !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || EqualsIgnoringCase(name, own))
            return;
        if (CreationDay(data) < today - StaleAfterDays) stale.emplace_back(name);
    });
    for (const std::u16string& name : stale)
        PurgeFolder(tempFolder, name);

    if (!remembered.empty()) SetCurrentDirectoryW(remembered.c_str());
}

} // namespace vtrrt
