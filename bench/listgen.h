// A realistic list text for the benchmark, the same for the same seed on
// every platform: invented names, Shift_JIS titles, kana and makers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qtr::bench {

struct GeneratedList {
    std::string text;                // the whole list, CR LF lines, no NUL inside
    std::vector<std::string> names;  // the short names, in list order (sorted)
};

// `entries` lines sorted by name. Names are lower-case ASCII, 2 to 9
// bytes, many of them variants of one base (ab2, ab2j, ab2ce). Titles mix
// ASCII words and Shift_JIS double-byte words and carry zero to three
// parenthesised notes; the kana is hiragana; lines average about 100 bytes.
GeneratedList MakeList(size_t entries, uint64_t seed);

}  // namespace qtr::bench
