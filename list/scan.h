// Searching the list text for a line's key without knowing the text's
// length.
#pragma once

#include <cstddef>

namespace qtr {

// The first occurrence of `key` (keyLength bytes, the first of them LF) in
// the NUL-terminated `text`, or null: what strstr(text, key) answers. It
// jumps from LF to LF a machine word at a time and compares the key only
// where a line starts, which is far faster than a C library whose strstr
// goes byte by byte. It reads whole aligned words, so it may read up to a
// word's worth of bytes past the terminating NUL, never past the aligned
// word holding it (and so never into another page).
const char* FindKeyByLines(const char* text, const char* key, size_t keyLength);

}  // namespace qtr
