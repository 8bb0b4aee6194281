// qtr_bench: what a call of the plugin costs beyond the one scan it cannot
// avoid. Loads the built plugin by path and drives its exports the way a
// host does (size query, then fetch, the whole list passed every time),
// interleaved with the floor (strstr + memchr, the same calls per name),
// on generated lists of several sizes, with and without a settings file.
//
//   qtr_bench [--plain] [--rounds N] [--sizes 10000,40000,160000]
//             [--nosettings] [--machine] [--plugin PATH] [Google Benchmark flags]
//   qtr_bench --whole ENTRIES [--plugin PATH]
//   qtr_bench --variants ENTRIES
//
// With Google Benchmark (the default where it was built with it) every
// case is a benchmark whose repetitions each time the floor and the export
// back to back; --plain times the same pairs in rounds of its own, with no
// library but the C++ one (the Windows build). Either way the run ends
// with one table of medians, and the allocations seen during the calls.
// --nosettings leaves out the cases with a settings file; --machine adds
// one line per case for a script ("call EXPORT SETTINGS ENTRIES NS FLOOR_NS").
// --whole times what a host that fills its whole list waits: every export
// for every entry, size query and fetch, no settings file; and the floor
// for the same calls ("whole ENTRIES CALLS SECONDS FLOOR_SECONDS").
// --variants times the key search alone, every variant this processor
// runs forced in turn, against the C library's strstr, for a key no line
// has ("variant NAME ENTRIES NS STRSTR_NS").
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#if defined(QTR_WITH_GBENCH)
#include <benchmark/benchmark.h>
#endif

#include "bench/allocprobe.h"
#include "bench/listgen.h"
#include "bench/sweep.h"
#include "list/scan.h"

namespace {

using namespace qtr::bench;

constexpr uint64_t kSeed = 20261211;
constexpr size_t kPresentNames = 64;
constexpr size_t kAbsentNames = 4;

const char* const kExportNames[] = {"GetTitle", "GetKana", "GetMaker", "GetVersion"};

struct Plugin {
    ListFunction functions[4] = {};
};

Plugin LoadPlugin(const std::string& path) {
    Plugin plugin;
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) throw std::runtime_error("cannot load " + path);
    for (int i = 0; i < 4; ++i) {
        plugin.functions[i] =
            reinterpret_cast<ListFunction>(reinterpret_cast<void*>(GetProcAddress(module, kExportNames[i])));
    }
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) throw std::runtime_error(dlerror());
    for (int i = 0; i < 4; ++i) {
        plugin.functions[i] = reinterpret_cast<ListFunction>(dlsym(module, kExportNames[i]));
    }
#endif
    for (int i = 0; i < 4; ++i) {
        if (plugin.functions[i] == nullptr) throw std::runtime_error(std::string("no ") + kExportNames[i]);
    }
    return plugin;
}

// The two settings states, each a working directory of its own.
enum State { kNoSettings, kRemoveVersion };
const char* const kStateNames[] = {"none", "mode 1"};

struct Directories {
    std::filesystem::path base;
    std::filesystem::path state[2];
};

Directories MakeDirectories() {
    Directories directories;
    directories.base = std::filesystem::temp_directory_path() /
                       ("qtr-bench-" + std::to_string(static_cast<long>(
#if defined(_WIN32)
                                           GetCurrentProcessId()
#else
                                           getpid()
#endif
                                               )));
    directories.state[kNoSettings] = directories.base / "none";
    directories.state[kRemoveVersion] = directories.base / "mode1";
    for (const auto& path : directories.state) std::filesystem::create_directories(path);
    std::ofstream(directories.state[kRemoveVersion] / "quillmarsh_to_Rookfable.cfg", std::ios::binary)
        << "\\(.+?\\)\r\n10\r\n1\r\n";
    return directories;
}

struct Case {
    size_t entries;
    int exportIndex;
    State state;
};

// What a case came to over all its pairs. The per-call minima are the
// figures: a call is measured many times, and whatever else runs on the
// machine can only make a call slower, never faster.
struct Outcome {
    std::vector<double> exportMin, floorMin, readFloorMin;  // per call of the sweep
    std::vector<double> sweepRatio;  // per pair: export sweep time / floor sweep time
    double nearNs = 0;               // one call, entry on the 2nd line
    double allocsPerCall = 0;
    size_t largestAlloc = 0;

    static void Fold(std::vector<double>& minima, const std::vector<double>& calls) {
        if (minima.empty()) minima.assign(calls.size(), 1e300);
        for (size_t i = 0; i < calls.size(); ++i) minima[i] = std::min(minima[i], calls[i]);
    }
    static double PerCall(const std::vector<double>& minima) {
        double sum = 0;
        for (double ns : minima) sum += ns;
        return minima.empty() ? 0 : sum / minima.size();
    }
};

struct Bench {
    Plugin plugin;
    Directories directories;
    std::map<size_t, GeneratedList> lists;
    std::map<size_t, std::vector<std::string>> names;
    std::vector<Case> cases;
    std::vector<Outcome> outcomes;
    std::map<size_t, std::vector<int>> patterns;  // case -> calls per name
    PairTiming last;  // the latest pair Measure timed

    void Enter(State state) { std::filesystem::current_path(directories.state[state]); }

    const std::vector<int>& Pattern(size_t caseIndex) {
        auto& pattern = patterns[caseIndex];
        if (pattern.empty()) {
            const Case& c = cases[caseIndex];
            Enter(c.state);
            pattern = CallPattern(plugin.functions[c.exportIndex], lists[c.entries].text, names[c.entries]);
        }
        return pattern;
    }

    void Measure(size_t caseIndex, bool floorFirst) {
        const Case& c = cases[caseIndex];
        const std::vector<int>& pattern = Pattern(caseIndex);
        Enter(c.state);
        const bool readsSettings = c.exportIndex == 0 || c.exportIndex == 3;
        const PairTiming timing = TimePair(plugin.functions[c.exportIndex], lists[c.entries].text,
                                           names[c.entries], pattern, floorFirst, readsSettings);
        Outcome& outcome = outcomes[caseIndex];
        Outcome::Fold(outcome.exportMin, timing.exportCallNs);
        Outcome::Fold(outcome.floorMin, timing.floorCallNs);
        if (readsSettings) Outcome::Fold(outcome.readFloorMin, timing.readFloorCallNs);
        outcome.sweepRatio.push_back(timing.exportSeconds / timing.floorSeconds);
        last = timing;
    }

    // The fixed part of a call: an entry on the list's second line, so
    // that the scan is a hundred bytes. Median of many calls.
    void MeasureNear(size_t caseIndex) {
        using Clock = std::chrono::steady_clock;
        const Case& c = cases[caseIndex];
        Enter(c.state);
        const std::string& text = lists[c.entries].text;
        const std::vector<std::string> one{lists[c.entries].names[1]};
        const int calls = CallPattern(plugin.functions[c.exportIndex], text, one)[0];
        std::vector<double> samples;
        for (int i = 0; i < 51; ++i) {
            const auto start = Clock::now();
            for (int k = 0; k < 20; ++k) HostSweep(plugin.functions[c.exportIndex], text, one);
            samples.push_back(std::chrono::duration<double>(Clock::now() - start).count() * 1e9 / (20 * calls));
        }
        outcomes[caseIndex].nearNs = Median(samples);
    }

    void MeasureAllocations(size_t caseIndex) {
        const Case& c = cases[caseIndex];
        Enter(c.state);
        const std::string& text = lists[c.entries].text;
        HostSweep(plugin.functions[c.exportIndex], text, names[c.entries]);  // warm
        ArmAllocProbe();
        HostSweep(plugin.functions[c.exportIndex], text, names[c.entries]);
        const AllocCounts counts = DisarmAllocProbe();
        size_t calls = 0;
        for (int n : Pattern(caseIndex)) calls += static_cast<size_t>(n);
        outcomes[caseIndex].allocsPerCall = static_cast<double>(counts.count) / calls;
        outcomes[caseIndex].largestAlloc = counts.largest;
    }
};

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Where the time of a call goes as the entry moves down the list: the
// export's and the floor's time per call for a name near the start, in
// the middle and at the end, for every case and size.
void PrintDistances(Bench& bench) {
    std::printf("\nBy distance: ns per call (export / floor) for the entry at 1%%, 50%% and 99%% of the list\n\n");
    std::printf("| export | settings | entries | 1%% | 50%% | 99%% |\n|---|---|---:|---|---|---|\n");
    for (size_t i = 0; i < bench.cases.size(); ++i) {
        const Case& c = bench.cases[i];
        const Outcome& o = bench.outcomes[i];
        if (o.sweepRatio.empty()) continue;
        const std::vector<int>& pattern = bench.Pattern(i);
        std::string cells;
        for (size_t name : {size_t{0}, kPresentNames / 2, kPresentNames - 1}) {
            size_t slot = 0;
            for (size_t n = 0; n < name; ++n) slot += static_cast<size_t>(pattern[n]);
            double exportNs = 0, floorNs = 0;
            for (int k = 0; k < pattern[name]; ++k) {
                exportNs += o.exportMin[slot + k];
                floorNs += o.floorMin[slot + k];
            }
            cells += " " + Fixed(exportNs / pattern[name], 0) + " / " + Fixed(floorNs / pattern[name], 0) + " |";
        }
        std::printf("| %s | %s | %zu |%s\n", kExportNames[c.exportIndex], kStateNames[c.state], c.entries,
                    cells.c_str());
    }
}

void PrintTables(Bench& bench, const char* how) {
    std::printf("\n## %s\n", how);
    std::printf("ns/call: per call, the least time over all repetitions, averaged over the sweep's calls.\n");
    std::printf("floor: strstr + memchr, same names, same calls. floor+read: the floor plus open/read/close\n");
    std::printf("of the settings file at every call. sweep ratio: whole-sweep times, median [min-max].\n");
    std::printf("fixed: one call whose entry is on the list's 2nd line (median).\n");
    size_t lastEntries = 0;
    for (size_t i = 0; i < bench.cases.size(); ++i) {
        const Case& c = bench.cases[i];
        const Outcome& o = bench.outcomes[i];
        if (o.sweepRatio.empty()) continue;  // filtered out
        if (c.entries != lastEntries) {
            const GeneratedList& list = bench.lists[c.entries];
            std::printf("\n%zu entries, %.2f MB, %zu names (%zu absent), size query + fetch each\n\n",
                        c.entries, list.text.size() / 1e6, bench.names[c.entries].size(), kAbsentNames);
            std::printf("| export | settings | ns/call | floor | ratio | floor+read | ratio to floor+read | sweep ratio | fixed ns | allocs/call | largest alloc |\n");
            std::printf("|---|---|---:|---:|---:|---:|---:|---|---:|---:|---:|\n");
            lastEntries = c.entries;
        }
        const auto [low, high] = std::minmax_element(o.sweepRatio.begin(), o.sweepRatio.end());
        const double exportNs = Outcome::PerCall(o.exportMin);
        const double floorNs = Outcome::PerCall(o.floorMin);
        const bool read = !o.readFloorMin.empty();
        const double readNs = Outcome::PerCall(o.readFloorMin);
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s [%s-%s] | %s | %s | %s |\n",
                    kExportNames[c.exportIndex], kStateNames[c.state], Fixed(exportNs, 0).c_str(),
                    Fixed(floorNs, 0).c_str(), Fixed(exportNs / floorNs, 3).c_str(),
                    read ? Fixed(readNs, 0).c_str() : "-", read ? Fixed(exportNs / readNs, 3).c_str() : "-",
                    Fixed(Median(o.sweepRatio), 3).c_str(), Fixed(*low, 2).c_str(), Fixed(*high, 2).c_str(),
                    Fixed(o.nearNs, 0).c_str(),
                    AllocProbeAvailable() ? Fixed(o.allocsPerCall, 2).c_str() : "n/a",
                    AllocProbeAvailable() ? (std::to_string(o.largestAlloc) + " B").c_str() : "n/a");
    }
    PrintDistances(bench);
    std::fflush(stdout);
}

#if defined(QTR_WITH_GBENCH)
// One repetition of a case: each iteration one interleaved pair, timed by
// the export's sweep; the counters are per call, over all pairs so far.
void RunCase(benchmark::State& state, Bench* bench, size_t caseIndex) {
    bool floorFirst = true;
    Outcome repetition;  // this repetition's pairs alone, for its counters
    for (auto _ : state) {
        bench->Measure(caseIndex, floorFirst);
        floorFirst = !floorFirst;
        state.SetIterationTime(bench->last.exportSeconds);
        Outcome::Fold(repetition.exportMin, bench->last.exportCallNs);
        Outcome::Fold(repetition.floorMin, bench->last.floorCallNs);
        repetition.sweepRatio.push_back(bench->last.exportSeconds / bench->last.floorSeconds);
    }
    const double exportNs = Outcome::PerCall(repetition.exportMin);
    const double floorNs = Outcome::PerCall(repetition.floorMin);
    state.counters["ns_per_call"] = exportNs;
    state.counters["floor_ns"] = floorNs;
    state.counters["ratio"] = exportNs / floorNs;
    state.counters["sweep_ratio"] = Median(repetition.sweepRatio);
}
#endif

std::vector<size_t> ParseSizes(const std::string& text) {
    std::vector<size_t> sizes;
    size_t at = 0;
    while (at < text.size()) {
        sizes.push_back(std::strtoul(text.c_str() + at, nullptr, 10));
        const size_t comma = text.find(',', at);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return sizes;
}

volatile uint64_t sink;

// The whole text scanned for a key no line has: each variant of the
// search and strstr in turn, 21 rounds, the median of each.
void TimeVariants(size_t entries) {
    using Clock = std::chrono::steady_clock;
    const GeneratedList list = MakeList(entries, kSeed);
    static char key[] = "\nzz0qx\t";
    const char* volatile keyPointer = key;  // no strstr folded at compile time
    for (int v = 0; v <= static_cast<int>(qtr::ScanVariant::kAvx512); ++v) {
        const auto variant = static_cast<qtr::ScanVariant>(v);
        if (!qtr::ForceScanVariant(variant)) continue;
        std::vector<double> ours, theirs;
        // Several scans between two clock reads: where reading the clock is
        // a system call (under Wine here) and empties the TLB, only the
        // first scan of the batch pays for it.
        constexpr int kBatch = 8;
        for (int round = 0; round < 21; ++round) {
            auto start = Clock::now();
            for (int k = 0; k < kBatch; ++k) {
                sink = reinterpret_cast<uintptr_t>(qtr::FindListKey(list.text.c_str(), keyPointer, sizeof key - 1));
            }
            ours.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kBatch);
            start = Clock::now();
            for (int k = 0; k < kBatch; ++k) sink = reinterpret_cast<uintptr_t>(std::strstr(list.text.c_str(), keyPointer));
            theirs.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kBatch);
        }
        std::printf("variant %s %zu %.0f %.0f\n", qtr::ScanVariantName(variant), entries, Median(ours),
                    Median(theirs));
    }
}

// The host that fills its list: for every entry, each export asked for its
// size and then fetched. Returns the seconds the exports took and, in
// `floorSeconds`, those the floor takes for the same calls (0 on Windows).
double WholeListWait(const Plugin& plugin, const GeneratedList& list, size_t* calls, double* floorSeconds) {
    using Clock = std::chrono::steady_clock;
    std::vector<std::string> names(list.names.begin() + 1, list.names.end());  // not the first line
    std::vector<int> pattern;
    *calls = 0;
    double exportSeconds = 0;
    std::vector<int> allPatterns;
    for (const ListFunction function : plugin.functions) {
        const auto start = Clock::now();
        sink = HostSweep(function, list.text, names);
        exportSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        pattern = CallPattern(function, list.text, names);
        allPatterns.insert(allPatterns.end(), pattern.begin(), pattern.end());
    }
    std::vector<std::string> allNames;
    for (int i = 0; i < 4; ++i) allNames.insert(allNames.end(), names.begin(), names.end());
    for (int n : allPatterns) *calls += static_cast<size_t>(n);
    *floorSeconds = 0;
#if !defined(_WIN32)
    // The floor is glibc's: the C library of Windows goes byte by byte, and
    // would take minutes.
    const auto start = Clock::now();
    sink = FloorSweep(list.text, allNames, allPatterns);
    *floorSeconds = std::chrono::duration<double>(Clock::now() - start).count();
#endif
    return exportSeconds;
}

}  // namespace

int main(int argc, char** argv) {
    bool plain = false, noSettings = false, machine = false;
    size_t whole = 0, variants = 0;
    int rounds = 0;  // default: 9 repetitions, 21 plain rounds
    std::vector<size_t> sizes{10000, 40000, 160000};
#if defined(QTR_BENCH_PLUGIN)
    std::string pluginPath = QTR_BENCH_PLUGIN;
#else
    std::string pluginPath = "quillmarsh_to_Rookfable.dll";
#endif
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--plain") {
            plain = true;
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::atoi(argv[++i]);
        } else if (arg == "--sizes" && i + 1 < argc) {
            sizes = ParseSizes(argv[++i]);
        } else if (arg == "--nosettings") {
            noSettings = true;
        } else if (arg == "--machine") {
            machine = true;
        } else if (arg == "--variants" && i + 1 < argc) {
            variants = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--whole" && i + 1 < argc) {
            whole = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--plugin" && i + 1 < argc) {
            pluginPath = argv[++i];
        } else {
            rest.push_back(argv[i]);
        }
    }
#if !defined(QTR_WITH_GBENCH)
    plain = true;
#endif
    if (rounds <= 0) rounds = plain ? 21 : 9;

    if (variants > 0) {
        TimeVariants(variants);
        return 0;
    }
    const std::filesystem::path start = std::filesystem::current_path();
    Bench bench;
    try {
        bench.plugin = LoadPlugin(pluginPath);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qtr_bench: %s\n", error.what());
        return 2;
    }
    bench.directories = MakeDirectories();

    if (whole > 0) {
        bench.Enter(kNoSettings);
        size_t calls = 0;
        double floorSeconds = 0;
        const double seconds = WholeListWait(bench.plugin, MakeList(whole, kSeed), &calls, &floorSeconds);
        std::printf("whole %zu %zu %.3f %.3f\n", whole, calls, seconds, floorSeconds);
        std::filesystem::current_path(start);
        std::error_code ignored;
        std::filesystem::remove_all(bench.directories.base, ignored);
        return 0;
    }

    // The first call of the process switches the locale: its allocations
    // are reported on their own.
    AllocCounts firstCall;
    {
        const GeneratedList small = MakeList(100, kSeed);
        bench.Enter(kRemoveVersion);
        ArmAllocProbe();
        bench.plugin.functions[0](small.text.c_str(), small.names[5].c_str(), 100, nullptr, 0);
        firstCall = DisarmAllocProbe();
    }

    for (size_t entries : sizes) {
        bench.lists[entries] = MakeList(entries, kSeed);
        bench.names[entries] = SweepNames(bench.lists[entries], kPresentNames, kAbsentNames);
        for (int state = 0; state < (noSettings ? 1 : 2); ++state) {
            for (int e = 0; e < 4; ++e) bench.cases.push_back(Case{entries, e, static_cast<State>(state)});
        }
    }
    bench.outcomes.resize(bench.cases.size());
    for (size_t i = 0; i < bench.cases.size(); ++i) bench.Pattern(i);

    std::string how;
    if (plain) {
        // Rounds of every case, the floor and the export back to back, the
        // order of cases turning from round to round.
        for (int round = 0; round < rounds; ++round) {
            for (size_t k = 0; k < bench.cases.size(); ++k) {
                const size_t i = (k + static_cast<size_t>(round)) % bench.cases.size();
                bench.Measure(i, round % 2 == 0);
            }
        }
        how = "qtr_bench --plain: " + std::to_string(rounds) + " rounds of interleaved pairs";
    } else {
#if defined(QTR_WITH_GBENCH)
        for (size_t i = 0; i < bench.cases.size(); ++i) {
            const Case& c = bench.cases[i];
            const std::string name = std::string(kExportNames[c.exportIndex]) + "/" +
                                     (c.state == kNoSettings ? "nosettings" : "mode1") + "/" +
                                     std::to_string(c.entries);
            benchmark::RegisterBenchmark(name.c_str(), RunCase, &bench, i)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(3)
                ->Repetitions(rounds);
        }
        // One line per case unless asked otherwise: the repetitions are
        // folded into the table at the end anyway.
        std::string aggregatesOnly = "--benchmark_report_aggregates_only=true";
        rest.insert(rest.begin() + 1, &aggregatesOnly[0]);
        int gargc = static_cast<int>(rest.size());
        benchmark::Initialize(&gargc, rest.data());
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        how = "qtr_bench (Google Benchmark): " + std::to_string(rounds) + " repetitions of 3 interleaved pairs";
#endif
    }
    for (size_t i = 0; i < bench.cases.size(); ++i) {
        if (bench.outcomes[i].sweepRatio.empty()) continue;
        bench.MeasureNear(i);
        bench.MeasureAllocations(i);
    }
    PrintTables(bench, how.c_str());
    if (machine) {
        for (size_t i = 0; i < bench.cases.size(); ++i) {
            const Case& c = bench.cases[i];
            const Outcome& o = bench.outcomes[i];
            if (o.sweepRatio.empty()) continue;
            std::printf("call %s %s %zu %.0f %.0f\n", kExportNames[c.exportIndex],
                        c.state == kNoSettings ? "none" : "mode1", c.entries, Outcome::PerCall(o.exportMin),
                        Outcome::PerCall(o.floorMin));
        }
    }
    if (AllocProbeAvailable()) {
        std::printf("\nFirst call of the process (locale switch): %zu allocations, largest %zu B\n",
                    firstCall.count, firstCall.largest);
    }
    std::filesystem::current_path(start);
    std::error_code ignored;
    std::filesystem::remove_all(bench.directories.base, ignored);
    return 0;
}
