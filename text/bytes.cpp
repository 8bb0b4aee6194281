#include "text/bytes.h"

#include <limits>

namespace qtr {

std::string_view TrimSpacesView(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ') --end;
    size_t begin = 0;
    while (begin < end && text[begin] == ' ') ++begin;
    return text.substr(begin, end - begin);
}

std::string TrimSpaces(std::string_view text) {
    return std::string(TrimSpacesView(text));
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int32_t ParseDecimal(std::string_view text) {
    size_t i = 0;
    // The white space of the C locale's isspace.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                   : std::numeric_limits<int32_t>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace qtr
