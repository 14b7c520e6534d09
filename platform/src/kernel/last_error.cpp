// The last error of each thread.
#include "win32/kernel.h"

namespace win32 {

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD code) {
    lastError = code;
}

} // namespace win32
