// The default version pattern, \(.+?\), matched without the regex engine.
//
// Almost every settings file keeps the default pattern, and compiling it
// with the standard library at every call (the settings may change between
// calls, so nothing compiled is kept) costs more than everything else the
// call does but the scan of the list and the reading of the settings file.
// Its matches are simple enough to find by hand, with exactly the regex's
// answers: '(' , then at least one byte that is neither CR nor LF (ECMAScript's
// '.'), as few as can be, then ')'. '(' and ')' are never Shift_JIS trail
// bytes, so bytes and characters agree.
#pragma once

#include <string_view>

namespace qtr {

// True for the pattern text that the hand matcher stands in for: exactly
// the default, backslash ( . + ? backslash ).
bool IsDefaultVersionPattern(std::string_view pattern);

// The first match of \(.+?\) in [begin, end), as std::regex_search finds
// it: the leftmost '(' that has one, and the shortest run from it. Sets
// [*matchBegin, *matchEnd) and returns true, or returns false. Linear in
// the length of the text.
bool FindParenthesised(const char* begin, const char* end, const char** matchBegin,
                       const char** matchEnd);

}  // namespace qtr
