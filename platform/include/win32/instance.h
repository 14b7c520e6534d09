// Whether other processes of the same program run: each process holds a shared lock on a named lock file in
// the system's temporary folder for its whole life.
#pragma once

#include "win32/types.h"

namespace win32 {

// Takes this process's hold on the named instance lock (once; later calls only answer) and returns TRUE
// when no other process held it at the first call.
BOOL RegisterProgramInstance(LPCWSTR name);

} // namespace win32
