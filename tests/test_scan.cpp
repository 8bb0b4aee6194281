// The key search, every variant this processor runs, forced in turn,
// against strstr: texts placed right before a page that cannot be read, at
// every distance from it, so that a read past the aligned block holding the
// NUL faults, and with the key itself after the NUL, so that a search that
// missed the NUL answers wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "guard_page.h"
#include "list/scan.h"

namespace qtr {
namespace {

// Far enough for every alignment of the text's end within a 128-byte block,
// and the end in the page's last block or the one before.
constexpr size_t kGaps = 260;

class Scan : public ::testing::TestWithParam<ScanVariant> {
protected:
    void SetUp() override {
        if (!ScanVariantSupported(GetParam())) {
            GTEST_SKIP() << "this processor or system cannot run " << ScanVariantName(GetParam());
        }
        previous_ = CurrentScanVariant();
        ForceScanVariant(GetParam());
    }
    void TearDown() override { ForceScanVariant(previous_); }

    // FindListKey's answer and strstr's for `text` placed `gap` bytes
    // before the guard page, as offsets into the text (-1: not found).
    void ExpectLikeStrstr(const std::string& text, const std::string& key, size_t gap) {
        const char* start = buffer_.Place(text, gap, key);
        const char* expected = std::strstr(start, key.c_str());
        const char* found = FindListKey(start, key.c_str(), key.size());
        ASSERT_EQ(found ? found - start : -1, expected ? expected - start : -1)
            << "key " << testing::PrintToString(key) << " gap " << gap << " text size " << text.size()
            << " text " << testing::PrintToString(text.substr(0, 200));
    }

    test::GuardedBuffer buffer_{1 << 20};

private:
    ScanVariant previous_ = ScanVariant::kWords;
};

std::string Repeat(const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += piece;
    return text;
}

// Every case at every distance from the guard page, and so with its start
// and its NUL at every position within a block.
TEST_P(Scan, CasesAtEveryDistanceFromAPageEnd) {
    struct Case {
        const char* what;
        std::string text, key;
    };
    const std::string key = "\nab\t";
    const std::vector<Case> cases = {
        {"at a line start", "x\ty\nab\tc\n", key},
        {"the first of two", "x\nab\t1\nab\t2", key},
        {"at offset 0, no LF before it", "ab\tc\nx", key},
        {"the text is the key", key, key},
        {"the key ends the text", "x\nab\t", key},
        {"LF and name without TAB", "x\nab c\nab", key},
        {"name and TAB without LF", "xab\tc\tab\t", key},
        {"the text ends after LF", "x\n", key},
        {"the text ends after LF and the key's second byte", "x\na", key},
        {"the text ends inside the key", "x\nab", key},
        {"empty text", "", key},
        {"LF alone", "\n", key},
        {"a bare LF as the key", "abc\ndef", "\n"},
        {"LF and TAB (empty name)", "a\n\tb\n\t", "\n\t"},
        {"many candidates, no match", Repeat("\na", 300), key},
        {"many near misses, then the key", Repeat("\nab \nab", 200) + "\nab\t", key},
        {"no LF for many blocks", std::string(5000, 'a') + "\nab\t", key},
        {"only LFs", std::string(5000, '\n'), key},
        {"Shift_JIS bytes around", "\x82\xa0\t\x82\n\x82\xa0\x81\x40\nab\t\x82", key},
        {"the key's second byte is a high byte", "x\n\x82\xa1\n\x82\xa0\t", "\n\x82\xa0\t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (size_t gap = 0; gap < kGaps; ++gap) ExpectLikeStrstr(c.text, c.key, gap);
    }
}

// Random texts of a few bytes, rich in LF and TAB, and short keys of the
// same bytes: many candidates, keys that end at or run past the NUL.
TEST_P(Scan, RandomTextsAnswerLikeStrstr) {
    std::mt19937 random(20261211);
    const std::string bytes = "\n\tab\r\x82";
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 300, '\0');
        for (char& c : text) c = bytes[random() % bytes.size()];
        std::string key = "\n";
        for (size_t i = random() % 4; i > 0; --i) key += bytes[1 + random() % (bytes.size() - 1)];
        ExpectLikeStrstr(text, key, round % kGaps);
        if (HasFatalFailure()) return;
    }
}

// A list of thousands of lines: entries all over it and names no line has,
// across many blocks and a page boundary.
TEST_P(Scan, FindsEveryEntryOfALongList) {
    std::string list = "first\tT\tK\tM\r\n";
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "n" + std::to_string(i * 7919 % 100000);
        if (i % 10 == 0) names.push_back(name);
        list += name + "\tTitle " + std::to_string(i) + "\t\x82\xa0\tMaker\r\n";
    }
    names.insert(names.end(), {"n", "n1x", "first", "zz", "itle"});
    for (const std::string& name : names) {
        ExpectLikeStrstr(list, "\n" + name + "\t", 0);
        if (HasFatalFailure()) return;
    }
    for (size_t gap = 0; gap < kGaps; gap += 37) ExpectLikeStrstr(list, "\nabsent\t", gap);
}

// A 32-bit build has no AVX-512 search at all; the other variants a
// processor lacks are skipped.
INSTANTIATE_TEST_SUITE_P(Variants, Scan,
                         ::testing::Values(ScanVariant::kWords, ScanVariant::kSse2, ScanVariant::kAvx2
#if !defined(__i386__)
                                           , ScanVariant::kAvx512
#endif
                                           ),
                         [](const ::testing::TestParamInfo<ScanVariant>& info) {
                             return std::string(ScanVariantName(info.param));
                         });

}  // namespace
}  // namespace qtr
