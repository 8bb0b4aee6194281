#include "list/scan.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define QTR_SCAN_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

// The searches read whole aligned words or blocks, past the NUL when it is
// not the block's last byte: AddressSanitizer would call that an overflow,
// though it never leaves the block (and so the page). Everything they
// inline carries the same attribute, or GCC would not inline it into them.
#define QTR_WHOLE_BLOCKS __attribute__((no_sanitize_address))
#define QTR_WHOLE_BLOCKS_INLINE inline __attribute__((always_inline, no_sanitize_address))

namespace qtr {

namespace {

// --- A machine word at a time, no vector instruction ---------------------

using Word = uintptr_t;
constexpr Word kOnes = ~Word(0) / 0xFF;  // 0x0101...01
constexpr Word kHighs = kOnes * 0x80;    // 0x8080...80
constexpr Word kLineFeeds = kOnes * '\n';

// Non-zero when some byte of the word is zero.
inline Word HasZeroByte(Word w) { return (w - kOnes) & ~w & kHighs; }

// The first LF or NUL at or after p.
QTR_WHOLE_BLOCKS const char* NextLineFeedOrEnd(const char* p) {
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

// --- What the vector searches share --------------------------------------

// Whether the text at `at` begins with the `length` bytes of `rest`, which
// hold no NUL: a NUL in the text is a mismatch, so nothing past it is read.
QTR_WHOLE_BLOCKS_INLINE bool StartsWith(const char* at, const char* rest, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (at[i] != rest[i]) return false;
    }
    return true;
}

// The first address after `text` that is a multiple of `block`.
QTR_WHOLE_BLOCKS_INLINE const char* NextBlock(const char* text, uintptr_t block) {
    return reinterpret_cast<const char*>((reinterpret_cast<uintptr_t>(text) | (block - 1)) + 1);
}

// A vector search looks at byte i together with byte i - 1: a candidate is
// a byte equal to key[1] after an LF, and the key starts at the LF. The
// bytes before the first whole block are looked at one by one (so nothing
// before `text` is ever read). Sets `ended` when the search is over: the
// key found (returned) or the NUL reached (null returned).
QTR_WHOLE_BLOCKS_INLINE const char* SearchHead(const char* text, const char* end, const char* key,
                                              size_t keyLength, bool& ended) {
    ended = true;
    if (*text == '\0') return nullptr;
    for (const char* at = text + 1; at != end; ++at) {
        if (*at == '\0') return nullptr;
        if (at[-1] == '\n' && *at == key[1] && StartsWith(at + 1, key + 2, keyLength - 2)) return at - 1;
    }
    ended = false;
    return nullptr;
}

// `stops` marks, of the bytes at `block` (one bit each), the candidates
// and the NUL. In order: a NUL ends the search (the marks after it mean
// nothing), a candidate followed by the rest of the key is the answer.
// (32-bit masks where they do, so that a 32-bit build needs no 64-bit
// arithmetic in the loop.)
QTR_WHOLE_BLOCKS_INLINE int LowestBit(uint32_t bits) { return __builtin_ctz(bits); }
QTR_WHOLE_BLOCKS_INLINE int LowestBit(uint64_t bits) { return __builtin_ctzll(bits); }

template <typename Mask>
QTR_WHOLE_BLOCKS_INLINE const char* SearchStops(const char* block, Mask stops, const char* key,
                                               size_t keyLength, bool& ended) {
    for (; stops != 0; stops &= stops - 1) {
        const char* at = block + LowestBit(stops);
        if (*at == '\0') {
            ended = true;
            return nullptr;
        }
        if (StartsWith(at + 1, key + 2, keyLength - 2)) {
            ended = true;
            return at - 1;
        }
    }
    return nullptr;
}

// Each vector search below reads its first whole block only after the head
// held no NUL, and each later block only after the one before held none:
// every block it reads holds a byte of the text, and an aligned block
// never crosses a page. The byte before each vector comes from an
// unaligned load starting one byte earlier, inside this block or the last
// byte of the one before, already read. Every loop calls nothing, so no
// vector is kept on the stack across a call (64-bit Windows saves only
// the low halves of the registers it preserves).

#if defined(QTR_SCAN_X86)

// Zero where the byte before is LF and the byte is key[1], or where the
// byte is NUL: (before ^ LF) | (byte ^ key[1]) is zero only at a candidate,
// and its unsigned minimum with the byte is zero there or at a NUL.
__attribute__((target("sse2"))) QTR_WHOLE_BLOCKS_INLINE __m128i Stops16(const char* at, __m128i lineFeeds,
                                                                       __m128i second) {
    const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 1));
    return _mm_min_epu8(_mm_or_si128(_mm_xor_si128(before, lineFeeds), _mm_xor_si128(bytes, second)), bytes);
}

__attribute__((target("sse2"))) QTR_WHOLE_BLOCKS_INLINE uint32_t Mask16(__m128i stops) {
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(stops, _mm_setzero_si128())));
}

__attribute__((target("sse2"))) QTR_WHOLE_BLOCKS const char* FindKeySse2(const char* text, const char* key,
                                                                        size_t keyLength) {
    const char* block = NextBlock(text, 64);
    bool ended;
    const char* found = SearchHead(text, block, key, keyLength, ended);
    if (ended) return found;
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    const __m128i second = _mm_set1_epi8(key[1]);
    for (;; block += 64) {
        const __m128i a = Stops16(block, lineFeeds, second);
        const __m128i b = Stops16(block + 16, lineFeeds, second);
        const __m128i c = Stops16(block + 32, lineFeeds, second);
        const __m128i d = Stops16(block + 48, lineFeeds, second);
        if (Mask16(_mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d))) == 0) continue;
        found = SearchStops(block, Mask16(a) | Mask16(b) << 16, key, keyLength, ended);
        if (ended) return found;
        found = SearchStops(block + 32, Mask16(c) | Mask16(d) << 16, key, keyLength, ended);
        if (ended) return found;
    }
}

// The loads are what limits the AVX searches: GCC would read each aligned
// vector twice, as the memory operand of both operations that use it. An
// empty asm that "changes" the vector keeps the one load.
__attribute__((target("avx2"))) QTR_WHOLE_BLOCKS_INLINE void KeepInRegister(__m256i& vector) {
    __asm__("" : "+x"(vector));
}

__attribute__((target("avx2"))) QTR_WHOLE_BLOCKS_INLINE __m256i Stops32(const char* at, __m256i lineFeeds,
                                                                       __m256i second) {
    __m256i bytes = _mm256_load_si256(reinterpret_cast<const __m256i*>(at));
    KeepInRegister(bytes);
    const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at - 1));
    return _mm256_min_epu8(_mm256_or_si256(_mm256_xor_si256(before, lineFeeds), _mm256_xor_si256(bytes, second)),
                           bytes);
}

__attribute__((target("avx2"))) QTR_WHOLE_BLOCKS_INLINE uint32_t Mask32(__m256i stops) {
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(stops, _mm256_setzero_si256())));
}

__attribute__((target("avx2"))) QTR_WHOLE_BLOCKS const char* FindKeyAvx2(const char* text, const char* key,
                                                                        size_t keyLength) {
    const char* block = NextBlock(text, 64);
    bool ended;
    const char* found = SearchHead(text, block, key, keyLength, ended);
    if (ended) return found;
    const __m256i lineFeeds = _mm256_set1_epi8('\n');
    const __m256i second = _mm256_set1_epi8(key[1]);
    for (;; block += 64) {
        const __m256i low = Stops32(block, lineFeeds, second);
        const __m256i high = Stops32(block + 32, lineFeeds, second);
        if (Mask32(_mm256_min_epu8(low, high)) == 0) continue;
        found = SearchStops(block, Mask32(low), key, keyLength, ended);
        if (ended) return found;
        found = SearchStops(block + 32, Mask32(high), key, keyLength, ended);
        if (ended) return found;
    }
}

#if defined(__x86_64__)
#define QTR_SCAN_AVX512 1

__attribute__((target("avx512f,avx512bw"))) QTR_WHOLE_BLOCKS_INLINE void KeepInRegister(__m512i& vector) {
    __asm__("" : "+v"(vector));
}

__attribute__((target("avx512f,avx512bw"))) QTR_WHOLE_BLOCKS_INLINE __m512i Stops64(const char* at,
                                                                                   __m512i lineFeeds,
                                                                                   __m512i second) {
    __m512i bytes = _mm512_load_si512(at);
    KeepInRegister(bytes);
    const __m512i before = _mm512_loadu_si512(at - 1);
    return _mm512_min_epu8(_mm512_or_si512(_mm512_xor_si512(before, lineFeeds), _mm512_xor_si512(bytes, second)),
                           bytes);
}

// 128 bytes a test: two 64-byte vectors, each with a 64-bit mask of its own.
__attribute__((target("avx512f,avx512bw"))) QTR_WHOLE_BLOCKS const char* FindKeyAvx512(const char* text,
                                                                                       const char* key,
                                                                                       size_t keyLength) {
    const char* block = NextBlock(text, 128);
    bool ended;
    const char* found = SearchHead(text, block, key, keyLength, ended);
    if (ended) return found;
    const __m512i lineFeeds = _mm512_set1_epi8('\n');
    const __m512i second = _mm512_set1_epi8(key[1]);
    for (;; block += 128) {
        const __m512i low = Stops64(block, lineFeeds, second);
        const __m512i high = Stops64(block + 64, lineFeeds, second);
        const __m512i both = _mm512_min_epu8(low, high);
        if (_mm512_testn_epi8_mask(both, both) == 0) continue;
        found = SearchStops(block, uint64_t{_mm512_testn_epi8_mask(low, low)}, key, keyLength, ended);
        if (ended) return found;
        found = SearchStops(block + 64, uint64_t{_mm512_testn_epi8_mask(high, high)}, key, keyLength, ended);
        if (ended) return found;
    }
}
#endif  // __x86_64__

// --- What the processor and the operating system support -----------------

uint64_t ReadXcr0() {
    uint32_t low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return low | static_cast<uint64_t>(high) << 32;
}

unsigned DetectSupport() {
    unsigned supported = 1u << static_cast<int>(ScanVariant::kWords);
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return supported;
    if (edx & bit_SSE2) supported |= 1u << static_cast<int>(ScanVariant::kSse2);
    // AVX state must be saved by the operating system (OSXSAVE, then XCR0
    // says which registers it saves), or the upper halves could be lost at
    // a thread switch.
    if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return supported;
    const uint64_t xcr0 = ReadXcr0();
    if ((xcr0 & 0x6) != 0x6) return supported;  // XMM and YMM
    const bool extended = __get_cpuid_max(0, nullptr) >= 7;
    if (!extended) return supported;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    if (ebx & bit_AVX2) supported |= 1u << static_cast<int>(ScanVariant::kAvx2);
#if defined(QTR_SCAN_AVX512)
    // Also the opmask and all 512-bit registers.
    if ((xcr0 & 0xE6) == 0xE6 && (ebx & bit_AVX512F) && (ebx & bit_AVX512BW)) {
        supported |= 1u << static_cast<int>(ScanVariant::kAvx512);
    }
#endif
    return supported;
}

#else  // no x86: the word search alone

unsigned DetectSupport() { return 1u << static_cast<int>(ScanVariant::kWords); }

#endif  // QTR_SCAN_X86

// Asked of the processor once: cpuid may trap to a hypervisor.
unsigned Supported() {
    static const unsigned supported = DetectSupport();
    return supported;
}

constexpr int kUnchosen = -1;
std::atomic<int> chosen{kUnchosen};  // a ScanVariant, once chosen
static_assert(std::atomic<int>::is_always_lock_free, "the variant must be read without a lock");

ScanVariant Choose() {
    const unsigned supported = Supported();
    int best = static_cast<int>(ScanVariant::kAvx512);
    while (!(supported & (1u << best))) --best;  // kWords is always there
    // A variant forced meanwhile stays; two threads choosing at once choose
    // the same.
    int expected = kUnchosen;
    if (!chosen.compare_exchange_strong(expected, best, std::memory_order_relaxed)) {
        return static_cast<ScanVariant>(expected);
    }
    return static_cast<ScanVariant>(best);
}

}  // namespace

const char* FindKeyByLines(const char* text, const char* key, size_t keyLength) {
    for (const char* p = NextLineFeedOrEnd(text); *p != '\0'; p = NextLineFeedOrEnd(p + 1)) {
        // strncmp stops at the text's NUL, so it never reads past it.
        if (std::strncmp(p + 1, key + 1, keyLength - 1) == 0) return p;
    }
    return nullptr;
}

const char* FindListKey(const char* text, const char* key, size_t keyLength) {
    if (keyLength == 0) return text;
    // The vector searches test for key[1]: a bare LF goes by words.
    if (keyLength < 2) return FindKeyByLines(text, key, keyLength);
    switch (CurrentScanVariant()) {
#if defined(QTR_SCAN_X86)
#if defined(QTR_SCAN_AVX512)
        case ScanVariant::kAvx512: return FindKeyAvx512(text, key, keyLength);
#endif
        case ScanVariant::kAvx2: return FindKeyAvx2(text, key, keyLength);
        case ScanVariant::kSse2: return FindKeySse2(text, key, keyLength);
#endif
        default: return FindKeyByLines(text, key, keyLength);
    }
}

bool ScanVariantSupported(ScanVariant variant) { return (Supported() & (1u << static_cast<int>(variant))) != 0; }

ScanVariant CurrentScanVariant() {
    const int variant = chosen.load(std::memory_order_relaxed);
    return variant == kUnchosen ? Choose() : static_cast<ScanVariant>(variant);
}

const char* ScanVariantName(ScanVariant variant) {
    switch (variant) {
        case ScanVariant::kWords: return "words";
        case ScanVariant::kSse2: return "sse2";
        case ScanVariant::kAvx2: return "avx2";
        case ScanVariant::kAvx512: return "avx512";
    }
    return "?";
}

bool ForceScanVariant(ScanVariant variant) {
    if (!ScanVariantSupported(variant)) return false;
    chosen.store(static_cast<int>(variant), std::memory_order_relaxed);
    return true;
}

}  // namespace qtr
