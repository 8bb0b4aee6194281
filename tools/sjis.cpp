#include "tools/sjis.h"

#include <cstdio>

#include "text/bytes.h"

namespace qtr::lstq {

namespace {

bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

std::string Hex(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

// Length of the UTF-8 sequence at `i`, or 0 when none starts there.
size_t Utf8SequenceAt(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;   // overlong
        if (c == 0xED) high = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

ShiftJisCheck CheckShiftJis(std::string_view text) {
    ShiftJisCheck check;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;  // ASCII, half-width kana
        if (!IsShiftJisLeadByte(c)) {
            check.offset = i;
            check.problem = "byte " + Hex(c) + " is not Shift_JIS";
            return check;
        }
        if (i + 1 >= text.size()) {
            check.offset = i;
            check.problem = "the text ends inside a double-byte character (" + Hex(c) + ")";
            return check;
        }
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (!IsTrailByte(trail)) {
            check.offset = i;
            check.problem =
                "bytes " + HexBytes(text.substr(i, 2)) + " are not a Shift_JIS character";
            return check;
        }
        ++i;
    }
    return check;
}

bool LooksLikeUtf8(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") return true;
    bool multiByte = false;
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceAt(text, i);
        if (length == 0) return false;
        multiByte = multiByte || length > 1;
        i += length;
    }
    return multiByte;
}

Place PlaceOf(std::string_view text, size_t offset) {
    Place place{1, 1};
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++place.line;
            place.column = 1;
        } else {
            ++place.column;
        }
    }
    return place;
}

std::vector<size_t> RegexTrailBytes(std::string_view pattern) {
    std::vector<size_t> found;
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        const auto c = static_cast<unsigned char>(pattern[i]);
        if (!IsShiftJisLeadByte(c)) continue;
        const char trail = pattern[i + 1];
        if (std::string_view("[\\]^{|}").find(trail) != std::string_view::npos) found.push_back(i);
        ++i;
    }
    return found;
}

std::string HexBytes(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        if (!text.empty()) text += ' ';
        text += Hex(static_cast<unsigned char>(c)).substr(2);
    }
    return text;
}

std::string Visible(std::string_view value) {
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (IsShiftJisLeadByte(c) && i + 1 < value.size() &&
            IsTrailByte(static_cast<unsigned char>(value[i + 1]))) {
            text += value.substr(i, 2);  // a character: its trail byte may be a backslash
            ++i;
        } else if (c == '\t') {
            text += "\\t";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

}  // namespace qtr::lstq
