#include "startup/shell_services.h"

#include "core/application_record.h"
#include "core/runtime_services.h"
#include "startup/runtime_files.h"

#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"
#include "win32/shell.h"

#include <algorithm>
#include <iterator>

using namespace win32;

namespace vtrrt {

namespace {

struct ShellState {
    HFONT dialogFont = nullptr;
    HANDLE launchedProcess = nullptr;
};

// In the order of ShellProperty.
constexpr const WCHAR* ShellAtomNames[] = {u"krdp", u"kprc", u"kspc", u"knum"};

ATOM& ShellAtom(std::size_t index) {
    static ATOM atoms[std::size(ShellAtomNames)]{};
    return atoms[index];
}

ShellState& State() {
    static ShellState state;
    return state;
}

bool StillRunning(HANDLE process) {
    DWORD code = 0;
    return process && GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
}

} // namespace

void SendMessageToDescendants(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, message, wParam, lParam);
        SendMessageToDescendants(child, message, wParam, lParam);
    }
}

void SetChildWindowsFont(HWND dialog) {
    ShellState& state = State();
    if (!state.dialogFont) {
        // A dialog that keeps no font of its own gets the default GUI font's normal weight.
        auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        if (!IsFont(font)) font = GetStockFont(DEFAULT_GUI_FONT);
        LOGFONTW logFont{};
        if (!GetFontObjectW(font, sizeof logFont, &logFont)) return;
        logFont.lfWeight = FW_NORMAL;
        state.dialogFont = CreateFontIndirectW(&logFont);
        if (!state.dialogFont) return;
    }
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.dialogFont), 0);
}

UINT MakeTempFileName(const WCHAR* prefix, std::u16string& name) {
    WCHAR folder[MAX_PATH]{}, made[MAX_PATH]{};
    if (!GetTempPathW(MAX_PATH, folder)) return 0;
    const UINT result = GetTempFileNameW(folder, prefix, 0, made);
    name = result ? std::u16string(made) : std::u16string();
    return result;
}

bool LaunchDocument(const WCHAR* path) {
    ShellState& state = State();
    if (StillRunning(state.launchedProcess)) return true;
    if (state.launchedProcess) CloseHandle(state.launchedProcess);
    state.launchedProcess = nullptr;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = u"open";
    info.lpFile = path;
    info.lpParameters = u"";
    info.nShow = SW_SHOWNORMAL;
    if (!path || !ShellExecuteExW(&info)) return false;
    state.launchedProcess = info.hProcess;
    return true;
}

void AddShellAtoms() {
    if (!GlobalFindAtomW(ShellAtomNames[0]))
        for (std::size_t i = 0; i < 3; ++i)
            ShellAtom(i) = GlobalAddAtomW(ShellAtomNames[i]);
    ShellAtom(3) = GlobalAddAtomW(ShellAtomNames[3]);
}

void DeleteShellAtoms() {
    for (std::size_t i = 0; i < std::size(ShellAtomNames); ++i) {
        if (ShellAtom(i)) GlobalDeleteAtom(ShellAtom(i));
        ShellAtom(i) = 0;
    }
}

const WCHAR* ShellPropertyName(ShellProperty property) {
    const auto index = static_cast<std::size_t>(property);
    return ShellAtom(index) ? MAKEINTATOM(ShellAtom(index)) : ShellAtomNames[index];
}

namespace {

constexpr std::size_t PathPartUnits = 260;

bool IsPathSeparator(WCHAR c) {
    return c == u'\\' || c == u'/';
}

// The parts of a path as the shell splits it: a drive ("C:"), the folder with its trailing separator, the
// file name and its extension (with its dot).
struct PathParts {
    std::u16string_view drive, folder, name;
};

PathParts SplitPath(std::u16string_view path) {
    PathParts parts;
    if (path.size() >= 2 && path[1] == u':') {
        parts.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    std::size_t folderEnd = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (IsPathSeparator(path[i])) folderEnd = i + 1;
    parts.folder = path.substr(0, folderEnd);
    std::u16string_view file = path.substr(folderEnd);
    const std::size_t dot = file.rfind(u'.');
    parts.name = dot == std::u16string_view::npos ? file : file.substr(0, dot);
    return parts;
}

std::u16string PathPart(int kind) {
    if (kind == 5) {
        std::u16string folder = GetRuntimeFiles().runtimeTempFolder;
        if (!folder.empty() && !IsPathSeparator(folder.back())) folder += u'\\';
        return folder;
    }
    const ApplicationRecord* app = CurrentApplication();
    const PathParts parts = SplitPath(app && app->dataFilePath ? app->dataFilePath : u"");
    switch (kind) {
    case 1:
        return std::u16string(parts.drive);
    case 2:
        return std::u16string(parts.folder);
    case 3:
        return std::u16string(parts.drive) + std::u16string(parts.folder);
    case 4:
        return std::u16string(parts.name);
    default:
        return {};
    }
}

} // namespace

void GetApplicationPathPart(int kind, WCHAR* out) {
    if (!out) return;
    const std::u16string part = PathPart(kind);
    const std::size_t n = std::min(part.size(), PathPartUnits - 1);
    std::copy_n(part.begin(), n, out);
    out[n] = 0;
}

void FreeShellResources() {
    ShellState& state = State();
    if (state.dialogFont) DeleteFont(state.dialogFont);
    if (state.launchedProcess) CloseHandle(state.launchedProcess);
    state = ShellState{};
}

} // namespace vtrrt
