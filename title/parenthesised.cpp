#include "title/parenthesised.h"

#include <cstring>

#include "plugin/result.h"
#include "settings/settings.h"
#include "text/bytes.h"

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

VersionLookup FindParenthesisedVersion(std::string_view title, size_t wanted) {
    size_t found = 0;
    std::string_view chosen;
    const char* rest = title.data();
    const char* const end = title.data() + title.size();
    const char* matchBegin = nullptr;
    const char* matchEnd = nullptr;
    // Matches are never empty: each search starts after the previous one.
    while (FindParenthesised(rest, end, &matchBegin, &matchEnd)) {
        if (found <= wanted) chosen = std::string_view(matchBegin, matchEnd - matchBegin);
        ++found;
        rest = matchEnd;
    }
    if (found == 0) return VersionLookup{ResultNoField, {}};
    return VersionLookup{0, TrimSpacesView(chosen)};
}

}  // namespace qtr
