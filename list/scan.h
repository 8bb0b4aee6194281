// Searching the list text for a line's key without knowing the text's
// length: the one search every build uses.
#pragma once

#include <cstddef>

namespace qtr {

// The first occurrence of `key` (keyLength bytes, the first of them LF, no
// NUL among them) in the NUL-terminated `text`, or null: what
// strstr(text, key) answers. It runs the fastest variant below that the
// processor and the operating system support, chosen at the first call of
// the process and kept. The vector variants test a whole block of 64 bytes
// (AVX-512: 128) at once for a line start followed by the key's second
// byte, or the NUL, and compare the key only there. Every variant reads
// whole aligned blocks: it may read past the terminating NUL, never past
// the aligned block holding it (and so never into another page), and never
// before `text`.
const char* FindListKey(const char* text, const char* key, size_t keyLength);

// The variants, slowest first. kWords jumps from LF to LF a machine word at
// a time, with no vector instruction: the last resort.
enum class ScanVariant { kWords, kSse2, kAvx2, kAvx512 };

// Whether this build has the variant and this processor and operating
// system can run it.
bool ScanVariantSupported(ScanVariant variant);

// The variant FindListKey runs.
ScanVariant CurrentScanVariant();

// "words", "sse2", "avx2", "avx512".
const char* ScanVariantName(ScanVariant variant);

// For tests and benchmarks: makes FindListKey run `variant` from now on
// (for every thread). Returns false, changing nothing, when the variant is
// not supported.
bool ForceScanVariant(ScanVariant variant);

// The word-at-a-time search itself, whatever variant is chosen.
const char* FindKeyByLines(const char* text, const char* key, size_t keyLength);

}  // namespace qtr
