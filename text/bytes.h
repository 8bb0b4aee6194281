// Small helpers over byte strings. Nothing here decodes Shift_JIS: a byte
// is a byte, and only ASCII bytes are ever interpreted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qtr {

// Removes every space byte (0x20) at the end, then every space byte at the
// start. TAB and the full-width space (0x81 0x40) are not spaces here.
std::string TrimSpaces(std::string_view text);

// The same trim, as a view into the text.
std::string_view TrimSpacesView(std::string_view text);

// A-Z become a-z; every other byte, including those of 0x80 and above, is
// kept as it is.
char LowerAscii(char c);

// Reads a decimal number the C library's atoi way (leading white space, an
// optional sign, digits up to the first other byte; no digits gives 0), but
// saturating at the int32_t limits instead of overflowing.
int32_t ParseDecimal(std::string_view text);

// True for the bytes that start a Shift_JIS double-byte character.
inline bool IsShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace qtr
