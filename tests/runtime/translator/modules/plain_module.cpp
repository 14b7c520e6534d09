// A module that calls none of the resource functions a translation replaces.
#include "module_resources.h"

#include "win32/kernel.h"

MODULE_EXPORT DWORD ModuleFileName(HMODULE self, LPWSTR buffer, DWORD size) {
    return GetModuleFileNameW(self, buffer, size);
}
