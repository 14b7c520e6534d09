// For tests only: puts the wrappers back on a path, so that the ANSI path stays testable after IsUnicodeOS.
#pragma once

#include "vtrs2/export.h"

// 1 takes the wide system calls, 0 the ANSI ones; returns the previous choice.
VTRS2_API int SetUseWideApi(int use);
