// Several host threads at once: eight threads call all seven exports, for
// different names, while another thread keeps adding and removing the
// settings file. Every answer must be one that the settings of the moment
// allow. Built with ThreadSanitizer by `make test-tsan`, which must stay
// silent about the library's code.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>
#include <thread>
#include <vector>

#include "helpers.h"
#include "plugin/identity.h"
#include "platform/platform.h"
#include "quillmarsh_to_Rookfable.h"

namespace qtr {
namespace {

using test::Ask;
using test::ListFunction;

// One fetch into a roomy buffer. A host's size query and fetch are two
// calls: with the settings file changing in between, the fetch may give
// the other answer, so the two are not compared here.
std::string Fetch(ListFunction function, const std::string& list, const std::string& name) {
    char buffer[256];
    char* data = buffer;
    const int32_t written = function(list.c_str(), name.c_str(), 100, &data, sizeof buffer);
    if (written < 0) return "code " + std::to_string(written);
    return std::string(buffer, static_cast<size_t>(written));
}

constexpr int kThreads = 8;
constexpr int kRounds = 200;  // per thread; each round is about a dozen calls

struct Entry {
    std::string name, title, cleaned, kana, maker, version;
};

const std::vector<Entry> kEntries = {
    {"sf2", "Harbor Brawl II (World 880317) (Rev A)", "Harbor Brawl II (World 880317)",
     "\x82\xB7\x82\xC6", "Northwind", "(Rev A)"},
    {"drgnwake", "Dragon Wake (US) (Rev A)", "Dragon Wake (US)", "kana", "Kestrel Soft",
     "(Rev A)"},
    {"proto", "(Prototype)", "", "k", "M", "(Prototype)"},
    {"3011", "3011 -Lantern Raid- (World)", "3011 -Lantern Raid-", "k", "Northwind",
     "(World)"},
    {"sjis", "\x83X\x83\x67 (\x94\xC5)", "\x83X\x83\x67", "\x82\xA0", "\x83\x81", "(\x94\xC5)"},
};

std::string ListText() {
    std::string list;
    for (const Entry& e : kEntries) {
        list += e.name + "\t" + e.title + "\t" + e.kana + "\t" + e.maker + "\r\n";
    }
    return list;
}

std::string Text(int32_t (*function)(char**, int32_t)) {
    const int32_t room = function(nullptr, 0);
    std::vector<char> buffer(static_cast<size_t>(room));
    char* data = buffer.data();
    return std::string(data, static_cast<size_t>(function(&data, room)));
}

using Threads = test::WorkingDirectory;

TEST_F(Threads, AllExportsFromEightThreadsWhileTheSettingsChange) {
    const std::string list = ListText();
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};

    // The settings file comes and goes, replaced whole (written aside,
    // then renamed) as an editor saves it: every reader sees it or not.
    std::thread editor([&] {
        const std::filesystem::path file = directory_ / "quillmarsh_to_Rookfable.cfg";
        const std::filesystem::path aside = directory_ / "saving.tmp";
        // (Where a reader holding the file open keeps it from being
        // replaced or removed, as on Windows, that round is skipped.)
        std::error_code ignored;
        for (int i = 0; !done.load(); ++i) {
            if (i % 2 == 0) {
                std::ofstream(aside, std::ios::binary) << "\\(.+?\\)\r\n10\r\n1\r\n";
                std::filesystem::rename(aside, file, ignored);
            } else {
                std::filesystem::remove(file, ignored);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    std::vector<std::thread> hosts;
    for (int t = 0; t < kThreads; ++t) {
        hosts.emplace_back([&, t] {
            auto expect = [&](bool ok) {
                if (!ok) failures.fetch_add(1);
            };
            for (int round = 0; round < kRounds; ++round) {
                const Entry& e = kEntries[static_cast<size_t>(t + round) % kEntries.size()];
                expect(GetPluginVersion() == kPluginVersion);
                expect(Text(GetPluginAuthor) == kPluginAuthor);
                expect(Text(GetPluginInfo) == kPluginInfo);
                const std::string title = Fetch(GetTitle, list, e.name);
                expect(title == e.title || title == e.cleaned);
                const int32_t room = GetTitle(list.c_str(), e.name.c_str(), 100, nullptr, 0);
                expect(room == static_cast<int32_t>(e.title.size() + 1) ||
                       room == static_cast<int32_t>(e.cleaned.size() + 1));
                expect(Fetch(GetKana, list, e.name) == e.kana);
                expect(Fetch(GetMaker, list, e.name) == e.maker);
                expect(Fetch(GetVersion, list, e.name) == e.version);
                expect(GetKana(list.c_str(), e.name.c_str(), 99, nullptr, 0) == ResultNotFound);
            }
        });
    }
    for (std::thread& host : hosts) host.join();
    done.store(true);
    editor.join();

    EXPECT_EQ(failures.load(), 0);
    // Whatever the order, the process ends in the Japanese locale.
    EXPECT_TRUE(platform::InJapaneseLocale());
}

TEST_F(Threads, LocaleSwitchesRaceOnlyWithEachOther) {
    // Start from the C locale, so that the first switches really switch,
    // and let eight threads switch at once while others build patterns
    // under whichever global locale is current.
    std::locale::global(std::locale::classic());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 20; ++i) {
                if (t % 2 == 0) {
                    platform::SwitchToJapaneseLocale();
                } else {
                    const std::string list = "g\tName (Rev " + std::to_string(i) + ")\tk\tm\n";
                    const std::string version = Ask(GetVersion, list, "g");
                    if (version != "(Rev " + std::to_string(i) + ")") ADD_FAILURE() << version;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_TRUE(platform::InJapaneseLocale());
}

// Patterns with classes, compiled and matched by eight threads at once: the
// locale they are built under (on Windows made by the first call) and its
// caches are shared by all. Run on its own (as CTest runs each case on
// Linux), these are the process's first calls.
TEST_F(Threads, PatternsWithClassesFromTheFirstCall) {
    WriteSettings("\\(\\w+\\)\r\n10\r\n1\r\n");
    const std::string list = "k\t\xB1\xB2 (\xB3\xB4) 1_2\tk\tm\r\n";
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) {
            }
            for (int i = 0; i < 20; ++i) {
                const std::string version = Ask(GetVersion, list, "k");
                if (version != "(\xB3\xB4)") ADD_FAILURE() << version;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
}

}  // namespace
}  // namespace qtr
