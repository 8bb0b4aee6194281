// Checks of byte strings that are meant to be Shift_JIS (code page 932):
// the list file and the settings file. The library carries Shift_JIS as
// bytes and never looks inside; lstq looks, to tell a user why a list or a
// pattern cannot work.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qtr::lstq {

// Where a text stops being Shift_JIS: `offset` is the first byte of the
// faulty sequence, or npos when the whole text is Shift_JIS.
struct ShiftJisCheck {
    size_t offset = std::string_view::npos;
    std::string problem;  // e.g. "byte 0xFF is not Shift_JIS"
    bool ok() const { return offset == std::string_view::npos; }
};
ShiftJisCheck CheckShiftJis(std::string_view text);

// True when the text starts with a UTF-8 byte order mark, or is valid UTF-8
// holding at least one multi-byte character: Japanese text saved in UTF-8
// where Shift_JIS was wanted.
bool LooksLikeUtf8(std::string_view text);

// 1-based line and byte column of `offset`, for messages.
struct Place {
    size_t line;
    size_t column;
};
Place PlaceOf(std::string_view text, size_t offset);

// Double-byte characters of a pattern whose second byte is one the regex
// engine treats as an operator ([ \ ] ^ { | }): the engine does not know
// Shift_JIS and reads that byte on its own. Offsets of the lead bytes.
std::vector<size_t> RegexTrailBytes(std::string_view pattern);

// The bytes as hex pairs, "83 5C".
std::string HexBytes(std::string_view bytes);

// A value as it can be shown between quotes on one line: control bytes
// become \t, \r or \xNN; everything else, Shift_JIS included, is kept.
std::string Visible(std::string_view value);

}  // namespace qtr::lstq
