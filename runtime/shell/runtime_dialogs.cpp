#include "shell/runtime_dialogs.h"

#include "core/application_globals.h"
#include "core/application_record.h"
#include "core/header_flags.h"
#include "core/key_names.h"
#include "core/runtime_services.h"
#include "shell/main_window.h"
#include "shell/window_placement.h"
#include "startup/application_paths.h"
#include "startup/player_globals.h"
#include "startup/shell_services.h"

#include "vtrs2/app_window.h"
#include "win32/dialog.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"
#include "win32/mm.h"
#include "win32/resource.h"

#include <algorithm>
#include <array>
#include <optional>

namespace vtrrt {

using namespace win32;

namespace {

constexpr DWORD LayoutRtl = 0x400000;
constexpr UINT_PTR HelpTimer = 5;
constexpr UINT HelpDelayMs = 100;
constexpr int PasswordUnits = 11;
constexpr int PasswordEditLimit = 9;
constexpr int PasswordReadUnits = 9; // at most 8 characters and the terminator
constexpr int PasswordEdit = 101;
constexpr int FirstKeyButton = 101, FirstKeyText = 110, KeyPrompt = 120, KeyPromptMore = 121;
constexpr int ControlsGrid = 121;
constexpr int GridColumns = 4, GridRows = 5;
constexpr int CrossInset = 4;
constexpr int CrossPen = 3;
constexpr int AboutName = 102, AboutText = 104, AboutCopyright = 105;
constexpr int JoystickMessage = 22;
constexpr int KeyCount = 8;
constexpr std::size_t ControlWords = ControlBlockWords;

HFONT& AboutBoldFont() {
    static HFONT font = nullptr;
    return font;
}

HINSTANCE ProgramInstance() {
    return GetModuleHandleW(nullptr);
}

INT_PTR Show(RuntimeDialog id, HWND owner, DLGPROC proc, LPARAM param) {
    UpdateScreenSize();
    return DialogBoxParamW(ProgramInstance(), MAKEINTRESOURCEW(static_cast<WORD>(id)), owner, proc, param);
}

// What every runtime dialog does as it opens.
void PrepareDialog(HWND dialog, LPARAM param) {
    SetWindowLongPtrW(dialog, DWLP_USER, param);
    SetChildWindowsFont(dialog);
    ApplyDialogLayoutOptions(dialog);
}

template <typename T> T* DataOf(HWND dialog) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void ShowItem(HWND dialog, int id, bool show) {
    if (HWND item = GetDlgItem(dialog, id)) ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

std::u16string TableString(UINT id) {
    WCHAR text[256]{};
    LoadStringW(ProgramInstance(), id, text, 256);
    return text;
}

// --- the paused dialog ---

INT_PTR PausedDlgProc(HWND dialog, UINT message, WPARAM, LPARAM param) {
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialog(dialog, param);
        return TRUE;
    case WM_COMMAND:
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

// Opens the help file a moment after the dialog shows, so that the dialog is up while it starts.
void LaunchHelp() {
    const ApplicationRecord* app = CurrentApplication();
    if (!app || !app->helpFile) return;
    std::array<WCHAR, EmbeddedNameUnits> path{};
    const std::u16string_view help(app->helpFile);
    std::copy_n(help.begin(), std::min(help.size(), path.size() - 1), path.begin());
    RelocatePathToTempFolder(*app, path.data());
    LaunchDocument(path.data());
}

INT_PTR HelpLaunchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM param) {
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialog(dialog, param);
        SetTimer(dialog, HelpTimer, HelpDelayMs, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam != HelpTimer) return FALSE;
        KillTimer(dialog, HelpTimer);
        LaunchHelp();
        return TRUE;
    case WM_COMMAND:
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

// --- the password ---

INT_PTR PasswordDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM param) {
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialog(dialog, param);
        SendDlgItemMessageW(dialog, PasswordEdit, EM_LIMITTEXT, PasswordEditLimit, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (auto* buffer = DataOf<WCHAR>(dialog))
                GetDlgItemTextW(dialog, PasswordEdit, buffer, PasswordReadUnits);
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 2);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

int FrameWithPassword(const ApplicationRecord& app, std::u16string_view typed) {
    for (std::int32_t i = 0; app.framePasswords && i < app.frameTableEntries; ++i) {
        const WCHAR* password = app.framePasswords[i];
        if (i == app.currentFrameIndex || !password || !password[0]) continue;
        if (EqualsIgnoringCase(password, typed)) return i;
    }
    return -1;
}

// --- the keyboard set-up ---

struct KeyboardSetup {
    std::array<std::uint16_t, KeyCount> keys{};
    int index = 0;
    bool awaiting = false;
};

void ShowKeyNames(HWND dialog, const KeyboardSetup& setup) {
    ShowItem(dialog, KeyPrompt, false);
    ShowItem(dialog, KeyPromptMore, false);
    for (int i = 0; i < KeyCount; ++i) {
        WCHAR name[KeyNameUnits];
        GetKeyName(name, setup.keys[static_cast<std::size_t>(i)]);
        SetDlgItemTextW(dialog, FirstKeyText + i, name);
        ShowItem(dialog, FirstKeyText + i, true);
    }
}

void AwaitKey(HWND dialog, KeyboardSetup& setup, int index) {
    setup.index = index;
    if (!InstallMessageFilterHook()) return;
    setup.awaiting = true;
    for (int i = 0; i < KeyCount; ++i)
        ShowItem(dialog, FirstKeyText + i, false);
    ShowItem(dialog, KeyPrompt, true);
    ShowItem(dialog, KeyPromptMore, true);
}

// The wait ends with a key (Escape, or none, keeps the old one).
void EndAwait(HWND dialog, KeyboardSetup& setup, std::optional<int> key) {
    if (!setup.awaiting) return;
    setup.awaiting = false;
    if (key && *key != VK_ESCAPE && KeyCanBeAssigned(*key))
        setup.keys[static_cast<std::size_t>(setup.index)] = static_cast<std::uint16_t>(*key);
    RemoveMessageFilterHook();
    ShowKeyNames(dialog, setup);
}

INT_PTR KeyboardSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM param) {
    KeyboardSetup* setup = DataOf<KeyboardSetup>(dialog);
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialog(dialog, param);
        ShowKeyNames(dialog, *reinterpret_cast<KeyboardSetup*>(param));
        return TRUE;
    case WM_COMMAND: {
        if (!setup) return FALSE;
        const int id = LOWORD(wParam);
        if (setup->awaiting)
            EndAwait(dialog, *setup, std::nullopt);
        else if (id == IDOK || id == IDCANCEL)
            EndDialog(dialog, id);
        else if (id >= FirstKeyButton && id < FirstKeyButton + KeyCount)
            AwaitKey(dialog, *setup, id - FirstKeyButton);
        return TRUE;
    }
    case DialogKeyMessage:
        if (setup) EndAwait(dialog, *setup, static_cast<int>(wParam));
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        // A click while a key is awaited counts as Escape.
        if (setup) EndAwait(dialog, *setup, VK_ESCAPE);
        return TRUE;
    case WM_DESTROY:
        if (setup && setup->awaiting) {
            setup->awaiting = false;
            RemoveMessageFilterHook();
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// --- the player controls ---

struct PlayerControls {
    std::array<std::uint16_t, ControlWords> words{};
};

// The grid's rectangle in the dialog's client coordinates, left and right in order.
RECT GridRect(HWND dialog) {
    RECT r{};
    HWND grid = GetDlgItem(dialog, ControlsGrid);
    if (!grid || !GetWindowRect(grid, &r)) return RECT{};
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(nullptr, dialog, corners, 2);
    return RECT{std::min(corners[0].x, corners[1].x), corners[0].y, std::max(corners[0].x, corners[1].x),
                corners[1].y};
}

RECT Cell(const RECT& grid, int column, int row) {
    const LONG width = (grid.right - grid.left) / GridColumns, height = (grid.bottom - grid.top) / GridRows;
    const LONG left = grid.left + column * width, top = grid.top + row * height;
    return RECT{left, top, left + width + 1, top + height + 1};
}

void DrawCross(HDC dc, const RECT& cell) {
    HPEN pen = CreatePen(PS_SOLID, CrossPen, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    const RECT in{cell.left + CrossInset, cell.top + CrossInset, cell.right - 1 - CrossInset,
                  cell.bottom - 1 - CrossInset};
    MoveToEx(dc, in.left, in.top, nullptr);
    LineTo(dc, in.right, in.bottom);
    MoveToEx(dc, in.right, in.top, nullptr);
    LineTo(dc, in.left, in.bottom);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// The cell a click falls in: a column of the four players and a row of the five controls; none in the
// grid's remainders or when the grid is too small to hold its cells.
std::optional<std::pair<int, int>> CellAt(HWND dialog, POINT p) {
    const RECT grid = GridRect(dialog);
    const LONG width = (grid.right - grid.left) / GridColumns, height = (grid.bottom - grid.top) / GridRows;
    if (width <= 0 || height <= 0 || !PtInRect(&grid, p)) return std::nullopt;
    const int column = static_cast<int>((p.x - grid.left) / width);
    const int row = static_cast<int>((p.y - grid.top) / height);
    if (column >= GridColumns || row >= GridRows) return std::nullopt;
    return std::pair{column, row};
}

// A joystick that answers keeps its ranges; one that does not is reported and keeps the player's control.
bool ReadJoystick(HWND dialog, int joystick) {
    JOYINFOEX info{};
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNX | JOY_RETURNY | JOY_RETURNBUTTONS;
    if (joyGetPosEx(static_cast<UINT>(joystick), &info) != JOYERR_NOERROR) {
        const ApplicationRecord* app = CurrentApplication();
        MessageBoxW(dialog, TableString(JoystickMessage).c_str(), app && app->name ? app->name : nullptr,
                    MB_ICONWARNING);
        return false;
    }
    JOYCAPSW caps{};
    JoystickRange& range = JoystickRangeOf(joystick);
    if (joyGetDevCapsW(static_cast<UINT_PTR>(joystick), &caps, sizeof caps) == JOYERR_NOERROR)
        range = {caps.wXmin, caps.wXmax, caps.wYmin, caps.wYmax};
    else
        range = {0, 0xFFFF, 0, 0xFFFF};
    return true;
}

void OnGridClick(HWND dialog, PlayerControls& controls, POINT p) {
    const std::optional<std::pair<int, int>> cell = CellAt(dialog, p);
    if (!cell) return;
    const auto [player, row] = *cell;
    if (row < PlayerCount && !ReadJoystick(dialog, row)) return;
    controls.words[static_cast<std::size_t>(player)] = static_cast<std::uint16_t>(row + 1);
    const RECT grid = GridRect(dialog);
    InvalidateRect(dialog, &grid, TRUE);
    UpdateWindow(dialog);
    if (row + 1 == ControlKeyboard)
        ShowKeyboardSetupDialog(dialog,
                                &controls.words[PlayerCount + static_cast<std::size_t>(player) * KeyCount]);
}

INT_PTR PlayerControlsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM param) {
    PlayerControls* controls = DataOf<PlayerControls>(dialog);
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialog(dialog, param);
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(dialog, &paint);
        if (controls) DrawControlsGrid(dialog, dc, controls->words.data());
        EndPaint(dialog, &paint);
        return TRUE;
    }
    case WM_LBUTTONDOWN:
        if (controls) OnGridClick(dialog, *controls, POINT{GET_X_LPARAM(param), GET_Y_LPARAM(param)});
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

// --- About ---

HFONT BoldCopy(HWND dialog) {
    HFONT& bold = AboutBoldFont();
    if (bold) return bold;
    LOGFONTW lf{};
    if (!GetFontObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof lf, &lf))
        return nullptr;
    lf.lfWeight = FW_BOLD;
    bold = CreateFontIndirectW(&lf);
    return bold;
}

void CentreOnMainWindow(HWND dialog) {
    RECT around{}, box{};
    if (!Services().mainWindow || !GetWindowRect(Services().mainWindow, &around) ||
        !GetWindowRect(dialog, &box))
        return;
    const int width = box.right - box.left, height = box.bottom - box.top;
    SetWindowPos(dialog, nullptr, around.left + (around.right - around.left - width) / 2,
                 around.top + (around.bottom - around.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM param) {
    switch (message) {
    case WM_INITDIALOG: {
        PrepareDialog(dialog, param);
        const ApplicationRecord* app = CurrentApplication();
        if (app && app->name && app->name[0]) {
            SetDlgItemTextW(dialog, AboutName, app->name);
            if (HFONT bold = BoldCopy(dialog))
                SendDlgItemMessageW(dialog, AboutName, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
        }
        if (app && app->aboutText) SetDlgItemTextW(dialog, AboutText, app->aboutText);
        if (app && app->copyright) SetDlgItemTextW(dialog, AboutCopyright, app->copyright);
        CentreOnMainWindow(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR ShowPausedDialog(HWND owner) {
    return Show(DialogPaused, owner, PausedDlgProc, 0);
}

INT_PTR ShowHelpLaunchDialog(HWND owner) {
    return Show(DialogPaused, owner, HelpLaunchDlgProc, 0);
}

int AskFramePassword(HWND owner) {
    WCHAR typed[PasswordUnits]{};
    if (Show(DialogPassword, owner, PasswordDlgProc, reinterpret_cast<LPARAM>(typed)) != 1 || !typed[0])
        return -1;
    const ApplicationRecord* app = CurrentApplication();
    return app ? FrameWithPassword(*app, typed) : -1;
}

INT_PTR ShowKeyboardSetupDialog(HWND owner, std::uint16_t* keys) {
    if (!keys) return -1;
    KeyboardSetup setup;
    std::copy_n(keys, KeyCount, setup.keys.begin());
    const INT_PTR result =
        Show(DialogKeyboardSetup, owner, KeyboardSetupDlgProc, reinterpret_cast<LPARAM>(&setup));
    if (result == IDOK) std::copy(setup.keys.begin(), setup.keys.end(), keys);
    return result;
}

void ShowPlayerControlsDialog(HWND owner, std::uint16_t* controls) {
    if (!controls) return;
    PlayerControls copy;
    std::copy_n(controls, ControlWords, copy.words.begin());
    if (Show(DialogPlayerControls, owner, PlayerControlsDlgProc, reinterpret_cast<LPARAM>(&copy)) == IDOK)
        std::copy(copy.words.begin(), copy.words.end(), controls);
}

INT_PTR ShowAboutDialog(HWND owner) {
    return Show(DialogAbout, owner, AboutDlgProc, 0);
}

void ApplyDialogLayoutOptions(HWND dialog) {
    const ApplicationRecord* app = CurrentApplication();
    const std::uint32_t options = app ? ExtendedOptionFlags(*app) : 0;
    if (!(options & (ExtendedRtlReading | ExtendedRtlLayout))) return;
    auto style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    if (options & ExtendedRtlReading) style |= WS_EX_RTLREADING;
    if (options & ExtendedRtlLayout) style |= LayoutRtl;
    SetWindowLongPtrW(dialog, GWL_EXSTYLE, static_cast<LONG_PTR>(style));
}

void DrawControlsGrid(HWND dialog, HDC dc, const std::uint16_t* controls) {
    const bool own = dc == nullptr;
    if (own) dc = GetDC(dialog);
    if (!dc) return;
    const RECT grid = GridRect(dialog);
    for (int column = 0; column < GridColumns; ++column) {
        for (int row = 0; row < GridRows; ++row) {
            const RECT cell = Cell(grid, column, row);
            Rectangle(dc, cell.left, cell.top, cell.right, cell.bottom);
            if (controls && controls[column] == row + 1) DrawCross(dc, cell);
        }
    }
    if (own) ReleaseDC(dialog, dc);
}

void FreeRuntimeDialogFonts() {
    if (AboutBoldFont()) DeleteFont(AboutBoldFont());
    AboutBoldFont() = nullptr;
}

} // namespace vtrrt
