#include "bench/listgen.h"

#include <algorithm>
#include <set>

namespace qtr::bench {

namespace {

// splitmix64: tiny, and the same sequence everywhere (the standard
// library's distributions are not).
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. bound-1
    size_t Below(size_t bound) { return static_cast<size_t>(Next() % bound); }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    uint64_t state_;
};

const char* const kWords[] = {
    "Dragon", "Storm",  "Runner", "Fighter", "Quest",  "Blaster", "Star",    "Force",
    "Galaxy", "Knight", "Legend", "Mahjong", "Puzzle", "Racing",  "Soccer",  "Tiger",
    "Wing",   "Zero",   "Battle", "Bomber",  "Cosmo",  "Dash",    "Heroes",  "Magic",
    "Ninja",  "Power",  "Rally",  "Shadow",  "Thunder", "Wonder", "Crystal", "Pinball"};

const char* const kNotes[] = {
    "(Japan)",     "(World)",     "(US)",         "(Europe)",    "(Asia)",
    "(Rev A)",     "(Rev B)",     "(Rev 2)",      "(set 2)",     "(set 3)",
    "(bootleg)",   "(Prototype)", "(v1.1)",       "(ver 2.00)",  "(Japan, Rev 1)",
    "(World, set 1)", "(location test)", "(hack)",
    // Shift_JIS notes: overseas version, limited edition, trial version
    "(\x8A\x43\x8A\x4F\x94\xC5)", "(\x8C\xC0\x92\xE8\x94\xC5)", "(\x91\xCC\x8C\xB1\x94\xC5)"};

const char* const kMakers[] = {
    "Northwind",     "Kestrel Soft",  "Hanamizuki",       "Bluefen",
    "Marrow Works",  "Tidewell",      "Copperleaf",       "Sunharrow",
    "Orrin Games",   "Velloc",        "Kestrel Soft / Northwind", "bootleg",
    "<unknown>",
    // Shift_JIS makers (katakana)
    "\x83\x4A\x83\x82\x83\x81\x83\x5C\x83\x74\x83\x67",
    "\x83\x6E\x83\x69\x83\x7D\x83\x4B"};

const char* const kSuffixes[] = {"j", "u", "a", "b", "e", "p", "2", "ce", "jr1", "bl", "k", "o", "3", "h"};

std::string BaseName(Random& random) {
    static const char kFirst[] = "abcdefghijklmnopqrstuvwxyz";
    static const char kRest[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name(1, kFirst[random.Below(26)]);
    const size_t length = 2 + random.Below(5);  // 3 to 7 bytes
    while (name.size() < length) name += kRest[random.Below(36)];
    return name;
}

void AppendDoubleByteWord(std::string& out, Random& random) {
    const size_t count = 2 + random.Below(4);
    for (size_t i = 0; i < count; ++i) {
        if (random.Chance(50)) {
            // katakana: 0x83 0x40..0x83 0x93
            out += '\x83';
            unsigned trail = 0x40 + static_cast<unsigned>(random.Below(0x54));
            if (trail == 0x7F) trail = 0x80;
            out += static_cast<char>(trail);
        } else {
            // kanji of the first level: leads 0x89..0x97, trails 0x40..0xFC without 0x7F
            out += static_cast<char>(0x89 + random.Below(15));
            unsigned trail = 0x40 + static_cast<unsigned>(random.Below(0xBD));
            if (trail == 0x7F) trail = 0x80;
            out += static_cast<char>(trail);
        }
    }
}

std::string Title(Random& random) {
    std::string title;
    const size_t words = 2 + random.Below(4);
    const bool japanese = random.Chance(45);
    for (size_t i = 0; i < words; ++i) {
        if (i > 0) {
            if (japanese && random.Chance(40)) {
                title += "\x81\x40";  // full-width space
            } else {
                title += ' ';
            }
        }
        if (japanese && random.Chance(75)) {
            AppendDoubleByteWord(title, random);
        } else {
            title += random.Pick(kWords);
        }
    }
    if (random.Chance(20)) title += random.Chance(50) ? " II" : " '98";
    // zero to three notes: 20%, 40%, 30%, 10%
    const size_t roll = random.Below(10);
    const size_t notes = roll < 2 ? 0 : roll < 6 ? 1 : roll < 9 ? 2 : 3;
    for (size_t i = 0; i < notes; ++i) {
        title += ' ';
        if (random.Chance(15)) {
            // a dated note, as in (World 880317)
            title += "(World 9";
            for (int d = 0; d < 5; ++d) title += static_cast<char>('0' + random.Below(10));
            title += ')';
        } else {
            title += random.Pick(kNotes);
        }
    }
    return title;
}

std::string Kana(Random& random) {
    std::string kana;
    const size_t count = 14 + random.Below(14);
    for (size_t i = 0; i < count; ++i) {
        kana += '\x82';  // hiragana: 0x82 0x9F..0x82 0xF1
        kana += static_cast<char>(0x9F + random.Below(0x53));
    }
    return kana;
}

}  // namespace

GeneratedList MakeList(size_t entries, uint64_t seed) {
    Random random(seed);
    std::set<std::string> unique;
    while (unique.size() < entries) {
        const std::string base = BaseName(random);
        unique.insert(base);
        // Most bases come with variants that share their prefix.
        size_t variants = random.Below(4);
        while (variants-- > 0 && unique.size() < entries) {
            std::string variant = base + random.Pick(kSuffixes);
            if (random.Chance(20)) variant += random.Pick(kSuffixes);
            unique.insert(variant);
        }
    }
    GeneratedList list;
    list.names.assign(unique.begin(), unique.end());
    list.text.reserve(entries * 104);
    for (const std::string& name : list.names) {
        list.text += name;
        list.text += '\t';
        list.text += Title(random);
        list.text += '\t';
        list.text += Kana(random);
        list.text += '\t';
        list.text += random.Pick(kMakers);
        list.text += "\r\n";
    }
    return list;
}

}  // namespace qtr::bench
