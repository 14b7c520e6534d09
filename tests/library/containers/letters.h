// Shared by the container tests: distinct pointers named by letters, and a scoped allocation failure.
#pragma once

#include "vtrs2/memory_testing.h"

namespace containertest {

// Makes the next allocation of the library fail (both its try and its retry) for the scope.
struct FailNextAllocation {
    FailNextAllocation() { SetAllocationFailures(0, 2); }
    ~FailNextAllocation() { SetAllocationFailures(0, 0); }
};

inline char letters[] = "abcdefghijklmnopqrstuvwxyz";
inline void* Letter(char c) {
    return &letters[c - 'a'];
}

} // namespace containertest
