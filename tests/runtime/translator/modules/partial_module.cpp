// A module that calls only a few of the resource functions a translation replaces: strings, and finding,
// loading and locking a resource, but never its size.
#include "module_resources.h"

MODULE_EXPORT int ModuleLoadStringW(HMODULE self, UINT id, LPWSTR buffer, int size) {
    return LoadStringW(self, id, buffer, size);
}
MODULE_EXPORT HRSRC ModuleFindResourceW(HMODULE self, LPCWSTR name, LPCWSTR type) {
    return FindResourceW(self, name, type);
}
MODULE_EXPORT HGLOBAL ModuleLoadResource(HMODULE self, HRSRC resource) {
    return LoadResource(self, resource);
}
MODULE_EXPORT const void* ModuleLockResource(HGLOBAL data) {
    return LockResource(data);
}
