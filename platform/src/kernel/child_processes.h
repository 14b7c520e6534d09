// Handles of processes this process started.
#pragma once

#include "win32/kernel.h"

#include <sys/types.h>

namespace win32::detail {

// A handle to a started child; GetExitCodeProcess reaps it once it ends.
HANDLE RegisterChildProcess(pid_t pid);

} // namespace win32::detail
