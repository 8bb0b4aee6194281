// Counting the heap allocations made while a call runs. With glibc the
// benchmark program defines malloc and its relatives itself (forwarding to
// the C library's own allocator), so every allocation of the process is
// seen: the plugin's, the C++ library's (operator new ends in malloc) and
// the C library's own. Elsewhere nothing is counted.
#pragma once

#include <cstddef>

namespace qtr::bench {

struct AllocCounts {
    size_t count = 0;    // allocations while armed
    size_t largest = 0;  // the largest single one, in bytes
};

// True where allocations are counted.
bool AllocProbeAvailable();

// Starts counting from zero.
void ArmAllocProbe();

// Stops counting and returns what was seen since ArmAllocProbe.
AllocCounts DisarmAllocProbe();

}  // namespace qtr::bench
