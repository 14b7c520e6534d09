// Host times as FILETIME.
#pragma once

#include "win32/kernel.h"

#include <ctime>

namespace win32::detail {

FILETIME FileTimeFromTimespec(const timespec& time);

} // namespace win32::detail
