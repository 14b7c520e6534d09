// A module that calls each of the resource functions a translation replaces, for the hook tests; built
// bound lazily, bound at load and without a procedure linkage table.
#include "module_resources.h"

MODULE_EXPORT HRSRC ModuleFindResourceA(HMODULE self, LPCSTR name, LPCSTR type) {
    return FindResourceA(self, name, type);
}
MODULE_EXPORT HRSRC ModuleFindResourceW(HMODULE self, LPCWSTR name, LPCWSTR type) {
    return FindResourceW(self, name, type);
}
MODULE_EXPORT HGLOBAL ModuleLoadResource(HMODULE self, HRSRC resource) {
    return LoadResource(self, resource);
}
MODULE_EXPORT DWORD ModuleSizeofResource(HMODULE self, HRSRC resource) {
    return SizeofResource(self, resource);
}
MODULE_EXPORT const void* ModuleLockResource(HGLOBAL data) {
    return LockResource(data);
}
MODULE_EXPORT HMENU ModuleLoadMenuA(HMODULE self, LPCSTR name) {
    return LoadMenuA(self, name);
}
MODULE_EXPORT HMENU ModuleLoadMenuW(HMODULE self, LPCWSTR name) {
    return LoadMenuW(self, name);
}
MODULE_EXPORT int ModuleLoadStringA(HMODULE self, UINT id, LPSTR buffer, int size) {
    return LoadStringA(self, id, buffer, size);
}
MODULE_EXPORT int ModuleLoadStringW(HMODULE self, UINT id, LPWSTR buffer, int size) {
    return LoadStringW(self, id, buffer, size);
}
MODULE_EXPORT INT_PTR ModuleDialogBoxParamA(HMODULE self, LPCSTR name, HWND owner, DLGPROC proc,
                                            LPARAM param) {
    return DialogBoxParamA(self, name, owner, proc, param);
}
MODULE_EXPORT INT_PTR ModuleDialogBoxParamW(HMODULE self, LPCWSTR name, HWND owner, DLGPROC proc,
                                            LPARAM param) {
    return DialogBoxParamW(self, name, owner, proc, param);
}
MODULE_EXPORT HWND ModuleCreateDialogParamA(HMODULE self, LPCSTR name, HWND owner, DLGPROC proc,
                                            LPARAM param) {
    return CreateDialogParamA(self, name, owner, proc, param);
}
MODULE_EXPORT HWND ModuleCreateDialogParamW(HMODULE self, LPCWSTR name, HWND owner, DLGPROC proc,
                                            LPARAM param) {
    return CreateDialogParamW(self, name, owner, proc, param);
}
