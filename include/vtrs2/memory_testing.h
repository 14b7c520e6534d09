// For tests only: makes the library's allocations fail on demand, to exercise out-of-memory paths.
#pragma once

#include "vtrs2/export.h"

// The next `skip` allocations succeed; then `count` raw attempts fail (each failed allocation makes two
// attempts: the first try and the retry after compaction). count 0 turns the injection off.
VTRS2_API void SetAllocationFailures(int skip, int count);
// How many heap compactions have run since the library was loaded.
VTRS2_API int GetHeapCompactionCount();
