// The special object's tests and changes of the application's global values and strings, its menu items and
// menu bar, menu commands posted, programs run, embedded files released and the clipboard written.
#include "builtin/special_services.h"
#include "core/upcalls.h"

#include "builtin/system_objects.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "startup/event_program.h"
#include "startup/player_globals.h"

#include "vtrs2/containers.h"
#include "vtrs2/memory.h"
#include "win32/clipboard.h"
#include "win32/kernel.h"
#include "win32/menu.h"
#include "win32/shell.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::size_t ProgramPathAt = 6;
constexpr std::size_t ProgramPathUnits = 260;
constexpr std::size_t ProgramLineAt = 526;
constexpr std::size_t ProgramLineUnits = 108;
constexpr std::uint16_t WaitForProgram = 0x1;
constexpr std::uint16_t HideWhileWaiting = 0x2;
constexpr DWORD ProgramWaitStep = 200;
constexpr std::int16_t FirstIntegerTest = -28;
constexpr std::int16_t FirstDoubleTest = -34;

// A global number of an event: 0-based as stored, or 1-based from an expression (with the parameter code of
// such expressions); -1 when there is none.
std::int32_t GlobalNumber(const std::uint8_t* p, std::int16_t expressionCode) {
    if (!p) return -1;
    const std::int64_t n = GetIntParameter(p);
    if (ParameterCode(p) != expressionCode) return static_cast<std::int32_t>(n);
    return n >= 1 ? static_cast<std::int32_t>(n - 1) : -1;
}

// A global value slot that may be written, grown to the number; null for numbers out of bounds or when the
// list cannot grow.
TypedValue* WritableGlobal(std::int32_t index) {
    ApplicationRecord* app = CurrentApplication();
    if (index < 0 || index >= GlobalNumberLimit || !ReserveGlobalValues(app, index + 1)) return nullptr;
    return GetGlobalValueSlot(app, index);
}

// A double constant: an expression, else the 8 bytes at 4, else a 32-bit constant.
double DoubleParameter(const std::uint8_t* p) {
    if (!p) return 0;
    if (IsExpressionParameterCode(ParameterCode(p))) return EvaluateExpressionParameter(p)->ToDouble();
    if (GetI16(p) >= 12) {
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = (bits << 8) | p[4 + i];
        return std::bit_cast<double>(bits);
    }
    return GetIntParameter(p);
}

// --- conditions ---

int CompareGlobalValue(std::uint8_t* record) {
    const TypedValue v = ReadGlobalValue(GlobalNumber(ParameterAt(record, 0), ParamGlobalValueNumber));
    return CompareWithParameter(v, ParameterAt(record, 1)) ? 1 : 0;
}

int CompareGlobalString(std::uint8_t* record) {
    const std::int32_t n = GlobalNumber(ParameterAt(record, 0), ParamGlobalStringNumber);
    const WCHAR* text = GetGlobalString(CurrentApplication(), n);
    return CompareWithParameter(TypedValue::String(const_cast<WCHAR*>(text)), ParameterAt(record, 1)) ? 1 : 0;
}

template <bool Double> int GlobalAgainstConstant(std::uint8_t* record) {
    const TypedValue v = ReadGlobalValue(GetIntParameter(ParameterAt(record, 0)));
    if (v.IsString()) return 0;
    const int op = (Double ? FirstDoubleTest : FirstIntegerTest) - GetI16(record + RecordNumber);
    const std::uint8_t* constant = ParameterAt(record, 1);
    const TypedValue against =
        Double ? TypedValue::Double(DoubleParameter(constant)) : TypedValue::Int(GetIntParameter(constant));
    return CompareValues(v, against, op) ? 1 : 0;
}

HMENU Menu() {
    return up::CurrentMenuHandle();
}

// The state of a menu item, or null without a menu or item.
bool MenuItemState(std::uint8_t* record, UINT* state) {
    HMENU menu = Menu();
    if (!menu) return false;
    *state = GetMenuState(menu, static_cast<UINT>(GetIntParameter(ParameterAt(record, 0))), MF_BYCOMMAND);
    return *state != 0xFFFFFFFF;
}

int MenuItemChecked(std::uint8_t* record) {
    UINT state = 0;
    if (!Menu()) return 0;
    return Negatable(record, MenuItemState(record, &state) && (state & MF_CHECKED));
}

int MenuItemEnabled(std::uint8_t* record) {
    UINT state = 0;
    if (!Menu()) return 0;
    return Negatable(record, MenuItemState(record, &state) && !(state & MF_GRAYED));
}

int MenuBarVisible(std::uint8_t* record) {
    return Negatable(record, Services().mainWindow && GetMenu(Services().mainWindow));
}

int ClipboardHoldsText(std::uint8_t* record) {
    return Negatable(record, IsClipboardFormatAvailable(CF_UNICODETEXT));
}

// --- actions on global values ---

void SetGlobalValueAction(std::uint8_t* record) {
    const std::int32_t n = GlobalNumber(ParameterAt(record, 0), ParamGlobalValueNumber);
    const TypedValue v = GetValueParameter(ParameterAt(record, 1));
    // Global values hold numbers: a string result would point at a string freed with the loop.
    if (v.IsString()) return;
    if (TypedValue* slot = WritableGlobal(n)) CopyTypedValue(*slot, v);
}

template <void (TypedValue::*Operation)(const TypedValue&)>
void ChangeGlobalValueAction(std::uint8_t* record) {
    const std::int32_t n = GlobalNumber(ParameterAt(record, 0), ParamGlobalValueNumber);
    const TypedValue v = GetValueParameter(ParameterAt(record, 1));
    TypedValue* slot = WritableGlobal(n);
    if (slot && !slot->IsString() && !v.IsString()) (slot->*Operation)(v);
}

template <bool Double> TypedValue Constant(std::uint8_t* record) {
    const std::uint8_t* p = ParameterAt(record, 1);
    return Double ? TypedValue::Double(DoubleParameter(p)) : TypedValue::Int(GetIntParameter(p));
}

template <bool Double> void SetGlobalConstant(std::uint8_t* record) {
    const TypedValue v = Constant<Double>(record);
    if (TypedValue* slot = WritableGlobal(GlobalNumber(ParameterAt(record, 0), ParamGlobalValueNumber)))
        CopyTypedValue(*slot, v);
}

template <bool Double, bool Add> void ChangeGlobalConstant(std::uint8_t* record) {
    const TypedValue v = Constant<Double>(record);
    TypedValue* slot = WritableGlobal(GlobalNumber(ParameterAt(record, 0), ParamGlobalValueNumber));
    if (!slot || slot->IsString()) return;
    if (Add)
        slot->AddNumber(v);
    else
        slot->SubtractNumber(v);
}

void SetGlobalStringAction(std::uint8_t* record) {
    const std::int32_t n = GlobalNumber(ParameterAt(record, 0), ParamGlobalStringNumber);
    if (n < 0 || n >= GlobalNumberLimit) return;
    // The list keeps a copy: the expression's string lives only until the loop ends.
    SetGlobalString(CurrentApplication(), n, GetStringParameter(ParameterAt(record, 1)));
}

// --- menus ---

UINT CommandOf(std::uint8_t* record) {
    return static_cast<UINT>(GetIntParameter(ParameterAt(record, 0)));
}

template <UINT Flags> void EnableItem(std::uint8_t* record) {
    if (HMENU menu = Menu()) EnableMenuItem(menu, CommandOf(record), MF_BYCOMMAND | Flags);
}
template <UINT Flags> void CheckItem(std::uint8_t* record) {
    if (HMENU menu = Menu()) CheckMenuItem(menu, CommandOf(record), MF_BYCOMMAND | Flags);
}

void ShowMenuBarAction(std::uint8_t*) {
    up::ShowMenuBar();
}
void HideMenuBarAction(std::uint8_t*) {
    up::HideMenuBar();
}

void SendMenuCommand(std::uint8_t* record) {
    if (HWND main = Services().mainWindow) PostMessageW(main, WM_COMMAND, CommandOf(record), 0);
}

// --- programs ---

std::u16string FixedText(const std::uint8_t* p, std::size_t at, std::size_t units) {
    std::u16string text;
    const auto size = static_cast<std::size_t>(std::max<std::int16_t>(GetI16(p), 0));
    for (std::size_t i = 0; i < units && at + 2 * i + 2 <= size; ++i) {
        const auto c = static_cast<char16_t>(GetU16(p + at + 2 * i));
        if (!c) break;
        text.push_back(c);
    }
    return text;
}

void ExecuteStoredProgram(std::uint8_t* record) {
    const std::uint8_t* p = ParameterAt(record, 0);
    if (!p || ParameterCode(p) != ParamProgram || GetI16(p) < static_cast<std::int16_t>(ProgramPathAt))
        return;
    const std::u16string file = FixedText(p, ProgramPathAt, ProgramPathUnits);
    const std::u16string parameters = FixedText(p, ProgramLineAt, ProgramLineUnits);
    ExecuteProgram(GetU16(p + ProgramParamFlagsAt), file.c_str(), parameters.c_str());
}

void ExecuteProgramAction(std::uint8_t* record) {
    const std::u16string file = GetStringParameter(ParameterAt(record, 0));
    const std::u16string parameters = GetStringParameter(ParameterAt(record, 1));
    ExecuteProgram(static_cast<std::uint16_t>(GetIntParameter(ParameterAt(record, 2))), file.c_str(),
                   parameters.c_str());
}

// --- embedded files ---

// The stored file is copied into the temporary folder on first use; the path is not kept here (the
// usable-path expression finds it on the entry).
void MakeEmbeddedFileUsable(std::uint8_t* record) {
    const std::u16string name(GetStringParameter(ParameterAt(record, 0)));
    WCHAR path[MAX_PATH];
    if (!name.empty()) up::GetEmbeddedFilePath(name.c_str(), path, MAX_PATH);
}

void ReleaseEmbeddedFile(std::uint8_t* record) {
    const std::u16string name(GetStringParameter(ParameterAt(record, 0)));
    if (!name.empty()) up::ReleaseEmbeddedFilePath(name.c_str());
}

// --- clipboard ---

void SetClipboardTextAction(std::uint8_t* record) {
    const std::u16string text = GetStringParameter(ParameterAt(record, 0));
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    if (!text.empty()) {
        const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
        HANDLE block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
        if (void* to = GlobalLock(block)) {
            std::memcpy(to, text.c_str(), bytes);
            GlobalUnlock(block);
            if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
        } else if (block) {
            GlobalFree(block);
        }
    }
    CloseClipboard();
}

void ClearClipboardAction(std::uint8_t*) {
    if (!OpenClipboard(Services().mainWindow)) return;
    EmptyClipboard();
    CloseClipboard();
}

} // namespace

TypedValue ReadGlobalValue(std::int32_t index) {
    const ApplicationRecord* owner = GetGlobalValuesOwner(CurrentApplication());
    if (!owner || index < 0 || index >= owner->globals.valueCount || !owner->globals.values)
        return TypedValue::Int(0);
    TypedValue v{};
    CopyTypedValue(v, owner->globals.values[index]);
    return v;
}

void ExecuteProgram(std::uint16_t options, const WCHAR* file, const WCHAR* parameters) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = u"open";
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = SW_SHOW;
    if (!ShellExecuteExW(&info)) return;
    if (options & WaitForProgram) {
        up::PauseApplication();
        const HWND windows[] = {Services().mainWindow, Services().frameWindow};
        const bool hide = (options & HideWhileWaiting) != 0;
        if (hide)
            for (HWND w : windows)
                if (w) ShowWindow(w, SW_HIDE);
        DWORD code = STILL_ACTIVE;
        while (info.hProcess && GetExitCodeProcess(info.hProcess, &code) && code == STILL_ACTIVE) {
            MSG msg{};
            up::PumpMessages(&msg, 0);
            MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, ProgramWaitStep, QS_ALLINPUT);
        }
        if (hide)
            for (HWND w : windows)
                if (w) ShowWindow(w, SW_SHOW);
        up::ResumeApplication();
    }
    if (info.hProcess) CloseHandle(info.hProcess);
}

EmbeddedFileEntry* FindEmbeddedFile(std::u16string_view name) {
    ApplicationRecord* app = CurrentApplication();
    if (!app || !app->embeddedFiles) return nullptr;
    int cursor = app->embeddedFiles->GetHead();
    while (void* item = app->embeddedFiles->Next(cursor)) {
        auto* entry = static_cast<EmbeddedFileEntry*>(item);
        if (EqualsIgnoringCase(std::u16string_view(entry->name), name)) return entry;
    }
    return nullptr;
}

std::u16string ClipboardText() {
    std::u16string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        const std::size_t units = GlobalSize(block) / sizeof(char16_t);
        if (const auto* from = static_cast<const char16_t*>(GlobalLock(block))) {
            text.assign(from, std::find(from, from + units, u'\0'));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return text;
}

void InstallSpecialServiceRoutines() {
    SetConditionRoutine(TypeSpecial, -8, CompareGlobalValue, nullptr);
    SetConditionRoutine(TypeSpecial, -17, MenuItemChecked, nullptr);
    SetConditionRoutine(TypeSpecial, -18, MenuItemEnabled, nullptr);
    SetConditionRoutine(TypeSpecial, -19, MenuBarVisible, nullptr);
    SetConditionRoutine(TypeSpecial, -20, CompareGlobalString, nullptr);
    SetConditionRoutine(TypeSpecial, -22, ClipboardHoldsText, nullptr);
    for (std::int16_t k = 0; k < 6; ++k) {
        SetConditionRoutine(TypeSpecial, FirstIntegerTest - k, GlobalAgainstConstant<false>, nullptr);
        SetConditionRoutine(TypeSpecial, FirstDoubleTest - k, GlobalAgainstConstant<true>, nullptr);
    }
    static constexpr std::array<std::pair<std::int32_t, ActionRoutine>, 29> Actions{{
        {2, ExecuteStoredProgram},
        {3, SetGlobalValueAction},
        {4, ChangeGlobalValueAction<&TypedValue::SubtractNumber>},
        {5, ChangeGlobalValueAction<&TypedValue::AddNumber>},
        {8, EnableItem<MF_ENABLED>},
        {9, EnableItem<MF_GRAYED>},
        {10, CheckItem<MF_CHECKED>},
        {11, CheckItem<MF_UNCHECKED>},
        {12, ShowMenuBarAction},
        {13, HideMenuBarAction},
        {18, SendMenuCommand},
        {19, SetGlobalStringAction},
        {20, SetClipboardTextAction},
        {21, ClearClipboardAction},
        {22, ExecuteProgramAction},
        {25, MakeEmbeddedFileUsable},
        {26, ReleaseEmbeddedFile},
        {27, SetGlobalConstant<false>},
        {28, SetGlobalConstant<false>},
        {29, SetGlobalConstant<true>},
        {30, SetGlobalConstant<true>},
        {31, ChangeGlobalConstant<false, true>},
        {32, ChangeGlobalConstant<false, true>},
        {33, ChangeGlobalConstant<true, true>},
        {34, ChangeGlobalConstant<true, true>},
        {35, ChangeGlobalConstant<false, false>},
        {36, ChangeGlobalConstant<false, false>},
        {37, ChangeGlobalConstant<true, false>},
        {38, ChangeGlobalConstant<true, false>},
    }};
    for (const auto& [number, routine] : Actions)
        SetActionRoutine(TypeSpecial, number, routine);
}

} // namespace vtrrt
