// Moving the paths an application was built with to where it runs now.
#include "startup/application_paths.h"

#include "startup/loader_environment.h"

#include "win32/kernel.h"

#include <algorithm>
#include <array>

#include "vtrformat/codes.h"

using namespace win32;

namespace vtrrt {

using namespace vtrformat;

namespace {

bool IsSeparator(WCHAR c) {
    return c == u'\\' || c == u'/';
}

// The length of the folder part of a path (up to and with its last separator); 0 when it has none.
std::size_t FolderLength(std::u16string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1])) return i;
    return 0;
}

// When `path` lies under the folder of `reference`, the length of that folder in `path`; else 0.
std::size_t SplitPathUnderFolder(const WCHAR* reference, std::u16string_view path) {
    if (!reference) return 0;
    const std::u16string_view ref(reference);
    const std::size_t folder = FolderLength(ref);
    if (folder == 0 || folder >= path.size()) return 0;
    for (std::size_t i = 0; i < folder; ++i) {
        const char32_t a = FoldCase(ref[i]);
        const char32_t b = FoldCase(path[i]);
        if (a != b && !(IsSeparator(ref[i]) && IsSeparator(path[i]))) return 0;
    }
    return folder;
}

} // namespace

void RelocatePathToTempFolder(const ApplicationRecord& app, WCHAR* path) {
    const std::u16string_view original(path, std::find(path, path + PathUnits, u'\0') - path);
    std::size_t folder = SplitPathUnderFolder(app.targetPath, original);
    if (folder == 0) folder = SplitPathUnderFolder(app.projectPath, original);
    if (folder == 0) return;

    std::u16string target;
    if (app.header.flags3 & AppFlags3RelocateToTemp) {
        target = RunTempFolder();
        if (target.empty()) return;
        if (!IsSeparator(target.back())) target += u'\\';
    } else if (app.dataFilePath) {
        const std::u16string_view data(app.dataFilePath);
        target = data.substr(0, FolderLength(data));
    }
    target += original.substr(folder);
    // A relocated path that does not fit stays as it was.
    if (target.size() >= PathUnits) return;
    std::copy(target.begin(), target.end(), path);
    path[target.size()] = 0;
}

} // namespace vtrrt
