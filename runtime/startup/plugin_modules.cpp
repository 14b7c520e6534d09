#include "startup/plugin_modules.h"

#include "core/error_message.h"
#include "startup/runtime_files.h"

#include "vtrs2/raw_files.h"
#include "win32/kernel.h"

namespace vtrrt {

using namespace win32;

namespace {

constexpr UINT QuietErrorMode = SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS;

} // namespace

bool IsPlainFileName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    return name.find_first_of(u"/\\:") == std::u16string_view::npos &&
           name.find(u"..") == std::u16string_view::npos;
}

std::u16string WithFileExtension(std::u16string_view name, std::u16string_view extension) {
    const std::size_t dot = name.rfind(u'.');
    return std::u16string(name.substr(0, dot)) + std::u16string(extension);
}

std::u16string TempFolderPath(std::u16string_view file) {
    std::u16string path = GetRuntimeFiles().tempFolder;
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
    return path + std::u16string(file);
}

std::u16string PluginModulePath(std::u16string_view file) {
    if (!GetRuntimeFiles().modulesBesideProgram) return TempFolderPath(file);
    std::u16string path = ProgramFolder();
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'/';
    return path + std::u16string(file);
}

std::optional<std::u16string> LanguageFilePath(std::u16string_view file) {
    const std::optional<std::u16string>& folder = GetRuntimeFiles().languageFolder;
    if (!folder) return std::nullopt;
    std::u16string path = *folder;
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'/';
    return path + std::u16string(file);
}

HMODULE LoadPluginModule(const std::u16string& path, const std::u16string& file) {
    const UINT previous = SetErrorMode(QuietErrorMode);
    HMODULE module = LoadLibraryW(path.c_str());
    SetErrorMode(previous);
    if (module) return module;
    const HANDLE opened = FileOpenRaw(path.c_str(), 0);
    if (opened == INVALID_HANDLE_VALUE) {
        ShowCannotFindMessage(file.c_str());
    } else {
        FileCloseRaw(opened);
        ShowCannotLoadMessage(file.c_str());
    }
    return nullptr;
}

} // namespace vtrrt
