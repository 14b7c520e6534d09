#include "shell/shell_services.h"

#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"
#include "win32/shell.h"

#include <iterator>

using namespace win32;

namespace vtrrt {

namespace {

constexpr LONG NormalWeight = 400;

struct ShellState {
    HFONT dialogFont = nullptr;
    HANDLE launchedProcess = nullptr;
};

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
        logFont.lfWeight = NormalWeight;
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

void FreeShellResources() {
    ShellState& state = State();
    if (state.dialogFont) DeleteFont(state.dialogFont);
    if (state.launchedProcess) CloseHandle(state.launchedProcess);
    state = ShellState{};
}

} // namespace vtrrt
