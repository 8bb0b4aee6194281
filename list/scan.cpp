#include "list/scan.h"

#include <cstdint>
#include <cstring>

namespace qtr {

namespace {

using Word = uintptr_t;
constexpr Word kOnes = ~Word(0) / 0xFF;  // 0x0101...01
constexpr Word kHighs = kOnes * 0x80;    // 0x8080...80
constexpr Word kLineFeeds = kOnes * '\n';

// Non-zero when some byte of the word is zero.
inline Word HasZeroByte(Word w) { return (w - kOnes) & ~w & kHighs; }

// The first LF or NUL at or after p.
const char* NextLineFeedOrEnd(const char* p) {
    while (reinterpret_cast<uintptr_t>(p) % sizeof(Word) != 0) {
        if (*p == '\n' || *p == '\0') return p;
        ++p;
    }
    for (;;) {
        Word w;
        std::memcpy(&w, p, sizeof w);  // aligned: never crosses a page
        if (HasZeroByte(w) | HasZeroByte(w ^ kLineFeeds)) break;
        p += sizeof(Word);
    }
    while (*p != '\n' && *p != '\0') ++p;
    return p;
}

}  // namespace

const char* FindKeyByLines(const char* text, const char* key, size_t keyLength) {
    for (const char* p = NextLineFeedOrEnd(text); *p != '\0'; p = NextLineFeedOrEnd(p + 1)) {
        // strncmp stops at the text's NUL, so it never reads past it.
        if (std::strncmp(p + 1, key + 1, keyLength - 1) == 0) return p;
    }
    return nullptr;
}

}  // namespace qtr
