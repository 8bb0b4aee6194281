#include "bench/sweep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qtr::bench {

std::vector<std::string> SweepNames(const GeneratedList& list, size_t present, size_t absent) {
    std::vector<std::string> names;
    const size_t count = list.names.size();
    for (size_t i = 0; i < present; ++i) {
        size_t at = static_cast<size_t>((static_cast<double>(i) + 0.5) * count / present);
        if (at == 0) at = 1;
        names.push_back(list.names[std::min(at, count - 1)]);
    }
    // Names no line has: the whole text is scanned, then the answer is no.
    for (size_t i = 0; i < absent; ++i) names.push_back("zz" + std::to_string(i) + "qx");
    return names;
}

std::vector<int> CallPattern(ListFunction function, const std::string& text,
                             const std::vector<std::string>& names) {
    std::vector<int> pattern;
    for (const std::string& name : names) {
        pattern.push_back(function(text.c_str(), name.c_str(), 100, nullptr, 0) > 0 ? 2 : 1);
    }
    return pattern;
}

namespace {

using Clock = std::chrono::steady_clock;

double Nanoseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::nano>(to - from).count();
}

// Times one call when asked to: `slot` moves on to the next entry.
class CallTimer {
public:
    explicit CallTimer(double* slots) : slot_(slots) {
        if (slot_) start_ = Clock::now();
    }
    void Lap() {
        if (!slot_) return;
        const Clock::time_point now = Clock::now();
        *slot_++ = Nanoseconds(start_, now);
        start_ = now;
    }

private:
    double* slot_;
    Clock::time_point start_;
};

}  // namespace

uint64_t HostSweep(ListFunction function, const std::string& text,
                   const std::vector<std::string>& names, double* perCall) {
    uint64_t checksum = 0;
    char buffer[4096];
    CallTimer timer(perCall);
    for (const std::string& name : names) {
        const int32_t room = function(text.c_str(), name.c_str(), 100, nullptr, 0);
        timer.Lap();
        if (room <= 0) {
            checksum += static_cast<uint32_t>(room);
            continue;
        }
        char* out = buffer;
        const int32_t written = function(text.c_str(), name.c_str(), 100, &out,
                                         std::min<int32_t>(room, sizeof buffer));
        timer.Lap();
        checksum += static_cast<uint32_t>(written) + static_cast<unsigned char>(buffer[0]);
    }
    return checksum;
}

namespace {

// What reading the settings file costs at the least: the system calls.
uint64_t ReadSettingsFile() {
#if defined(_WIN32)
    std::FILE* file = std::fopen("quillmarsh_to_Rookfable.cfg", "rb");
    if (file == nullptr) return 1;
    char buffer[8192];
    const size_t count = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    return count;
#else
    const int fd = ::open("quillmarsh_to_Rookfable.cfg", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 1;
    char buffer[8192];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return static_cast<uint64_t>(count);
#endif
}

}  // namespace

uint64_t FloorSweep(const std::string& text, const std::vector<std::string>& names,
                    const std::vector<int>& pattern, bool readSettings, double* perCall) {
    uint64_t checksum = 0;
    CallTimer timer(perCall);
    const char* const begin = text.c_str();
    const char* const end = begin + text.size();
    char key[64];
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        for (int call = 0; call < pattern[i]; ++call) {
            if (readSettings) checksum += ReadSettingsFile();
            const size_t length = std::min<size_t>(name.size(), sizeof key - 3);
            key[0] = '\n';
            std::memcpy(key + 1, name.data(), length);
            key[length + 1] = '\t';
            key[length + 2] = '\0';
            const char* hit = std::strstr(begin, key);
            if (hit == nullptr) {
                checksum += 1;
            } else {
                const char* field = hit + length + 2;
                const void* fieldEnd = std::memchr(field, '\t', std::min<size_t>(4096, end - field));
                checksum += fieldEnd ? static_cast<const char*>(fieldEnd) - field : 0;
            }
            timer.Lap();
        }
    }
    return checksum;
}

namespace {

volatile uint64_t sink;

}  // namespace

PairTiming TimePair(ListFunction function, const std::string& text,
                    const std::vector<std::string>& names, const std::vector<int>& pattern,
                    bool floorFirst, bool readsSettings) {
    PairTiming timing;
    for (int calls : pattern) timing.calls += static_cast<size_t>(calls);
    timing.exportCallNs.resize(timing.calls);
    timing.floorCallNs.resize(timing.calls);
    if (readsSettings) timing.readFloorCallNs.resize(timing.calls);
    for (int step = 0; step < 3; ++step) {
        const int which = floorFirst ? step : 2 - step;
        if (which == 1 && !readsSettings) continue;
        const Clock::time_point start = Clock::now();
        if (which == 0) {
            sink = FloorSweep(text, names, pattern, false, timing.floorCallNs.data());
        } else if (which == 1) {
            sink = FloorSweep(text, names, pattern, true, timing.readFloorCallNs.data());
        } else {
            sink = HostSweep(function, text, names, timing.exportCallNs.data());
        }
        const double seconds = Nanoseconds(start, Clock::now()) * 1e-9;
        (which == 0 ? timing.floorSeconds : which == 1 ? timing.readFloorSeconds : timing.exportSeconds) =
            seconds;
    }
    return timing;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace qtr::bench
