// The hooks that stand in a translated module's import table for the layer's resource functions: each
// records the module's menu, dialog and string-table resources, hands back their translated copies, and
// reroutes menus and dialogs made by name through the resource functions.
#pragma once

#include "translator/resource_translator.h"

#include "win32/dialog.h"
#include "win32/menu.h"
#include "win32/resource.h"

#include <array>

namespace vtrrt {

// The hooked-function table: the row of each function, its name and the library name the system's modules
// import it from.
#define VTR_TRANSLATED_FUNCTIONS(X)                                                                          \
    X(FindResourceA, "Kernel32.dll")                                                                         \
    X(FindResourceW, "Kernel32.dll")                                                                         \
    X(LoadResource, "Kernel32.dll")                                                                          \
    X(SizeofResource, "Kernel32.dll")                                                                        \
    X(LockResource, "Kernel32.dll")                                                                          \
    X(LoadMenuA, "User32.dll")                                                                               \
    X(LoadMenuW, "User32.dll")                                                                               \
    X(LoadStringA, "User32.dll")                                                                             \
    X(LoadStringW, "User32.dll")                                                                             \
    X(DialogBoxParamA, "User32.dll")                                                                         \
    X(DialogBoxParamW, "User32.dll")                                                                         \
    X(CreateDialogParamA, "User32.dll")                                                                      \
    X(CreateDialogParamW, "User32.dll")

enum HookedFunction : int {
#define VTR_ROW(name, dll) Hooked##name,
    VTR_TRANSLATED_FUNCTIONS(VTR_ROW)
#undef VTR_ROW
};

struct HookedFunctionRow {
    const char* name;
    const char* dllName;
};
inline constexpr std::array<HookedFunctionRow, HookedFunctionCount> HookedFunctions = {{
#define VTR_ROW(name, dll) {#name, dll},
    VTR_TRANSLATED_FUNCTIONS(VTR_ROW)
#undef VTR_ROW
}};

// Patches the module of an entry placed at `slot` with that slot's thunks: nothing for slots from
// HookSlotCount on or an entry already hooked.
void InstallTranslationHooks(CModuleResources& entry, int slot);

// The thunk of a function and slot: what a hooked module's import slot holds.
void* HookThunk(int function, int slot);

// The hooks. Each first argument is the hook slot of the module whose import table led here; the module
// whose resources are searched is the one the call names.
win32::HRSRC HookFindResourceA(int slot, win32::HMODULE module, win32::LPCSTR name, win32::LPCSTR type);
win32::HRSRC HookFindResourceW(int slot, win32::HMODULE module, win32::LPCWSTR name, win32::LPCWSTR type);
win32::HGLOBAL HookLoadResource(int slot, win32::HMODULE module, win32::HRSRC resource);
win32::DWORD HookSizeofResource(int slot, win32::HMODULE module, win32::HRSRC resource);
const void* HookLockResource(int slot, win32::HGLOBAL data);
win32::HMENU HookLoadMenuA(int slot, win32::HINSTANCE instance, win32::LPCSTR name);
win32::HMENU HookLoadMenuW(int slot, win32::HINSTANCE instance, win32::LPCWSTR name);
int HookLoadStringA(int slot, win32::HINSTANCE instance, win32::UINT id, win32::LPSTR buffer, int size);
int HookLoadStringW(int slot, win32::HINSTANCE instance, win32::UINT id, win32::LPWSTR buffer, int size);
win32::INT_PTR HookDialogBoxParamA(int slot, win32::HINSTANCE instance, win32::LPCSTR name, win32::HWND owner,
                                   win32::DLGPROC proc, win32::LPARAM param);
win32::INT_PTR HookDialogBoxParamW(int slot, win32::HINSTANCE instance, win32::LPCWSTR name,
                                   win32::HWND owner, win32::DLGPROC proc, win32::LPARAM param);
win32::HWND HookCreateDialogParamA(int slot, win32::HINSTANCE instance, win32::LPCSTR name, win32::HWND owner,
                                   win32::DLGPROC proc, win32::LPARAM param);
win32::HWND HookCreateDialogParamW(int slot, win32::HINSTANCE instance, win32::LPCWSTR name,
                                   win32::HWND owner, win32::DLGPROC proc, win32::LPARAM param);

} // namespace vtrrt
