#include "title/parenthesised.h"

#include <cstring>

#include "settings/settings.h"

namespace qtr {

namespace {

// ECMAScript's '.' on char: every byte but the two line terminators.
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

}  // namespace

bool IsDefaultVersionPattern(std::string_view pattern) { return pattern == kDefaultVersionPattern; }

bool FindParenthesised(const char* begin, const char* end, const char** matchBegin,
                       const char** matchEnd) {
    const char* from = begin;
    while (from < end) {
        const char* open = static_cast<const char*>(std::memchr(from, '(', end - from));
        if (open == nullptr) return false;
        // '.' takes the byte after '(' whatever it is (')' included), as
        // long as it is not a line end.
        const char* p = open + 1;
        if (p == end) return false;
        if (IsLineEnd(*p)) {
            from = p + 1;
            continue;
        }
        for (++p; p < end && *p != ')' && !IsLineEnd(*p); ++p) {
        }
        if (p == end) return false;  // no ')' after this '(', nor after any later one
        if (*p == ')') {
            *matchBegin = open;
            *matchEnd = p + 1;
            return true;
        }
        // A line end before any ')': no '(' before it can reach a ')'
        // either, since there is none between them.
        from = p + 1;
    }
    return false;
}

}  // namespace qtr
