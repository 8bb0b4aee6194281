// The host's sweep over a list and the floor it is measured against.
//
// A host asks for a field of an entry with two calls, a size query and a
// fetch, passing the whole list text each time. The library keeps nothing
// between calls, so every call must at least find LF, name, TAB in the
// text: one strstr plus a memchr to the field's end is the floor a call
// cannot go below. The sweep runs the same names through an export and
// through the floor, making the same number of calls per name, and times
// both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/listgen.h"

// The benchmark finds the exports by name and includes windows.h, whose
// GetVersion the header's prototypes would clash with: the types alone.
#define QTR_NO_PROTOTYPES
#include "quillmarsh_to_Rookfable.h"

namespace qtr::bench {

using ListFunction = QtrGetFieldFunc;

// Names spread evenly over the list (never its first line, which has no
// LF before it), then `absent` names that no line has.
std::vector<std::string> SweepNames(const GeneratedList& list, size_t present, size_t absent);

// The calls a host makes for each name: 1 when the size query fails, 2
// when it is followed by a fetch.
std::vector<int> CallPattern(ListFunction function, const std::string& text,
                             const std::vector<std::string>& names);

// One host sweep: for each name a size query and, when it succeeds, a
// fetch into a buffer of that size. Returns a checksum of the answers.
// With `perCall`, the nanoseconds of each call are written there, in
// order (one entry per call of the call pattern).
uint64_t HostSweep(ListFunction function, const std::string& text,
                   const std::vector<std::string>& names, double* perCall = nullptr);

// The floor, with the same number of calls per name as `pattern`: each
// call finds LF, name, TAB with strstr and the field's end with memchr.
// With `readSettings`, each call also reads the settings file of the
// working directory with bare system calls (open, read, close), as an
// export that must see a changed file at every call cannot avoid doing.
uint64_t FloorSweep(const std::string& text, const std::vector<std::string>& names,
                    const std::vector<int>& pattern, bool readSettings = false,
                    double* perCall = nullptr);

// One interleaved measurement: the floor sweep, the floor with the
// settings read (when `readsSettings`) and the host sweep back to back,
// in this order or the reverse. Each sweep is timed whole, and each of its
// calls on its own; a call's time includes what the calls before it in the
// same sweep left behind (a system call's cost to the caches and the TLB
// falls on the scan that follows it).
struct PairTiming {
    double exportSeconds = 0;
    double floorSeconds = 0;
    double readFloorSeconds = 0;  // 0 unless readsSettings
    std::vector<double> exportCallNs, floorCallNs, readFloorCallNs;
    size_t calls = 0;
};
PairTiming TimePair(ListFunction function, const std::string& text,
                    const std::vector<std::string>& names, const std::vector<int>& pattern,
                    bool floorFirst, bool readsSettings);

double Median(std::vector<double> values);

}  // namespace qtr::bench
