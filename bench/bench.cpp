// qtr_bench: what a call of the plugin costs beyond the one scan it cannot
// avoid. Loads the built plugin by path and drives its exports the way a
// host does (size query, then fetch, the whole list passed every time),
// interleaved with the floor (strstr + memchr, the same calls per name),
// on generated lists of several sizes, with and without a settings file.
//
//   qtr_bench [--plain] [--rounds N] [--sizes 10000,40000,160000]
//             [--plugin PATH] [Google Benchmark flags]
//
// With Google Benchmark (the default where it was built with it) every
// case is a benchmark whose repetitions each time the floor and the export
// back to back; --plain times the same pairs in rounds of its own, with no
// library but the C++ one (the Windows build). Either way the run ends
// with one table of medians, and the allocations seen during the calls.
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

struct Outcome {
    std::vector<double> exportNs, floorNs, ratio;  // per repetition, per call
    std::vector<double> readFloorNs, readRatio;    // the floor with the settings read
    double nearNs = 0;                             // one call, entry on the 2nd line
    double allocsPerCall = 0;
    size_t largestAlloc = 0;
};

struct Bench {
    Plugin plugin;
    Directories directories;
    std::map<size_t, GeneratedList> lists;
    std::map<size_t, std::vector<std::string>> names;
    std::vector<Case> cases;
    std::vector<Outcome> outcomes;
    std::map<size_t, std::vector<int>> patterns;  // case -> calls per name

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
        outcome.exportNs.push_back(timing.exportSeconds * 1e9 / timing.calls);
        outcome.floorNs.push_back(timing.floorSeconds * 1e9 / timing.calls);
        outcome.ratio.push_back(timing.exportSeconds / timing.floorSeconds);
        if (readsSettings) {
            outcome.readFloorNs.push_back(timing.readFloorSeconds * 1e9 / timing.calls);
            outcome.readRatio.push_back(timing.exportSeconds / timing.readFloorSeconds);
        }
    }

    // The fixed part of a call: an entry on the list's second line, so
    // that the scan is a hundred bytes. Median of many calls.
    void MeasureNear(size_t caseIndex) {
        using Clock = std::chrono::steady_clock;
        const Case& c = cases[caseIndex];
        Enter(c.state);
        const std::vector<std::string> one{lists[c.entries].names[1]};
        std::vector<double> samples;
        for (int i = 0; i < 51; ++i) {
            const auto start = Clock::now();
            for (int k = 0; k < 20; ++k) HostSweep(plugin.functions[c.exportIndex], lists[c.entries].text, one);
            samples.push_back(std::chrono::duration<double>(Clock::now() - start).count() * 1e9 / 40);
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

void PrintTables(Bench& bench, const char* how) {
    std::printf("\n## %s; medians of the repetitions (ratio range in brackets)\n\n", how);
    size_t lastEntries = 0;
    for (size_t i = 0; i < bench.cases.size(); ++i) {
        const Case& c = bench.cases[i];
        const Outcome& o = bench.outcomes[i];
        if (c.entries != lastEntries) {
            const GeneratedList& list = bench.lists[c.entries];
            std::printf("\n%zu entries, %.1f MB, %zu names (%zu absent), size query + fetch each\n\n",
                        c.entries, list.text.size() / 1e6, bench.names[c.entries].size(), kAbsentNames);
            std::printf("| export | settings | ns/call | floor ns/call | ratio | ratio range | overhead ns/call | near-entry ns/call | floor+read ns/call | ratio to floor+read | allocs/call | largest alloc |\n");
            std::printf("|---|---|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|\n");
            lastEntries = c.entries;
        }
        const auto [low, high] = std::minmax_element(o.ratio.begin(), o.ratio.end());
        const double exportNs = Median(o.exportNs);
        const double floorNs = Median(o.floorNs);
        const bool read = !o.readFloorNs.empty();
        std::printf("| %s | %s | %s | %s | %s | %s-%s | %s | %s | %s | %s | %s | %s |\n", kExportNames[c.exportIndex],
                    kStateNames[c.state], Fixed(exportNs, 0).c_str(), Fixed(floorNs, 0).c_str(),
                    Fixed(Median(o.ratio), 3).c_str(), Fixed(*low, 3).c_str(), Fixed(*high, 3).c_str(),
                    Fixed(exportNs - floorNs, 0).c_str(), Fixed(o.nearNs, 0).c_str(),
                    read ? Fixed(Median(o.readFloorNs), 0).c_str() : "-",
                    read ? Fixed(Median(o.readRatio), 3).c_str() : "-",
                    AllocProbeAvailable() ? Fixed(o.allocsPerCall, 2).c_str() : "n/a",
                    AllocProbeAvailable() ? (std::to_string(o.largestAlloc) + " B").c_str() : "n/a");
    }
    std::fflush(stdout);
}

#if defined(QTR_WITH_GBENCH)
void RunCase(benchmark::State& state, Bench* bench, size_t caseIndex) {
    bool floorFirst = true;
    size_t before = bench->outcomes[caseIndex].exportNs.size();
    for (auto _ : state) {
        bench->Measure(caseIndex, floorFirst);
        floorFirst = !floorFirst;
        state.SetIterationTime(bench->outcomes[caseIndex].exportNs.back() * 1e-9);
    }
    // One repetition: its iterations folded into one sample of each.
    Outcome& o = bench->outcomes[caseIndex];
    std::vector<double> e(o.exportNs.begin() + before, o.exportNs.end());
    std::vector<double> f(o.floorNs.begin() + before, o.floorNs.end());
    std::vector<double> r(o.ratio.begin() + before, o.ratio.end());
    o.exportNs.resize(before);
    o.floorNs.resize(before);
    o.ratio.resize(before);
    o.exportNs.push_back(Median(e));
    o.floorNs.push_back(Median(f));
    o.ratio.push_back(Median(r));
    if (!o.readFloorNs.empty()) {
        std::vector<double> rf(o.readFloorNs.begin() + before, o.readFloorNs.end());
        std::vector<double> rr(o.readRatio.begin() + before, o.readRatio.end());
        o.readFloorNs.resize(before);
        o.readRatio.resize(before);
        o.readFloorNs.push_back(Median(rf));
        o.readRatio.push_back(Median(rr));
        state.counters["read_floor_ns_per_call"] = o.readFloorNs.back();
    }
    state.counters["ns_per_call"] = o.exportNs.back();
    state.counters["floor_ns_per_call"] = o.floorNs.back();
    state.counters["ratio"] = o.ratio.back();
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

}  // namespace

int main(int argc, char** argv) {
    bool plain = false;
    int rounds = 9;
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
        } else if (arg == "--plugin" && i + 1 < argc) {
            pluginPath = argv[++i];
        } else {
            rest.push_back(argv[i]);
        }
    }
#if !defined(QTR_WITH_GBENCH)
    plain = true;
#endif

    const std::filesystem::path start = std::filesystem::current_path();
    Bench bench;
    try {
        bench.plugin = LoadPlugin(pluginPath);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qtr_bench: %s\n", error.what());
        return 2;
    }
    bench.directories = MakeDirectories();

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
        for (int state = 0; state < 2; ++state) {
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
        how = "qtr_bench --plain, " + std::to_string(rounds) + " rounds";
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
        int gargc = static_cast<int>(rest.size());
        benchmark::Initialize(&gargc, rest.data());
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        how = "qtr_bench (Google Benchmark), " + std::to_string(rounds) + " repetitions of 3 pairs";
#endif
    }
    for (size_t i = 0; i < bench.cases.size(); ++i) {
        if (bench.outcomes[i].exportNs.empty()) continue;
        bench.MeasureNear(i);
        bench.MeasureAllocations(i);
    }
    // Drop cases that were filtered out.
    Bench shown;
    for (size_t i = 0; i < bench.cases.size(); ++i) {
        if (bench.outcomes[i].exportNs.empty()) continue;
        shown.cases.push_back(bench.cases[i]);
        shown.outcomes.push_back(bench.outcomes[i]);
    }
    shown.lists = std::move(bench.lists);
    shown.names = std::move(bench.names);
    PrintTables(shown, how.c_str());
    if (AllocProbeAvailable()) {
        std::printf("\nFirst call of the process (locale switch): %zu allocations, largest %zu B\n",
                    firstCall.count, firstCall.largest);
    }
    std::filesystem::current_path(start);
    std::error_code ignored;
    std::filesystem::remove_all(bench.directories.base, ignored);
    return 0;
}
