#include "title/pattern_limits.h"

#include <vector>

namespace qtr {

namespace {

// Far above every limit, and far below overflow even when multiplied by a
// count that is itself capped here.
constexpr size_t kSaturated = size_t(1) << 24;

size_t Add(size_t a, size_t b) { return a + b >= kSaturated ? kSaturated : a + b; }
size_t Mul(size_t a, size_t b) {
    if (a == 0 || b == 0) return 0;
    return a >= kSaturated / b ? kSaturated : a * b;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One level of grouping: the weight so far and that of the last atom,
// which a following counted repeat copies.
struct Level {
    size_t total = 0;
    size_t last = 0;
};

}  // namespace

size_t PatternWeight(std::string_view pattern) {
    std::vector<Level> levels(1);
    const size_t n = pattern.size();
    auto atom = [&](size_t weight) {
        levels.back().total = Add(levels.back().total, weight);
        levels.back().last = weight;
    };
    // Reads a run of digits at i, saturating; false when there is none.
    auto number = [&](size_t& i, size_t& value) {
        if (i >= n || !IsDigit(pattern[i])) return false;
        value = 0;
        for (; i < n && IsDigit(pattern[i]); ++i) {
            value = Add(Mul(value, 10), static_cast<size_t>(pattern[i] - '0'));
        }
        return true;
    };
    auto skipLazy = [&](size_t& i) {
        if (i < n && pattern[i] == '?') ++i;
    };

    // ECMAScript has no repeat of a repeat ("a?+", "a*{2}", "a???"): the
    // standard library's compiler accepts one all the same, as nested
    // repeats that backtrack exponentially on every title. It counts as a
    // pattern that does not compile.
    bool afterRepeat = false;
    size_t i = 0;
    while (i < n) {
        const char c = pattern[i];
        const bool repeat = c == '*' || c == '+' || c == '?' ||
                            (c == '{' && i + 1 < n && IsDigit(pattern[i + 1]));
        if (repeat && afterRepeat) return kSaturated;
        afterRepeat = repeat;
        if (c == '\\') {
            // An escape: a backreference or a word boundary is a state of
            // its own; anything else is one character (hex and unicode
            // escapes read their digits as characters here, which weigh
            // nothing either way).
            const char next = i + 1 < n ? pattern[i + 1] : '\0';
            i += 2;
            if (IsDigit(next)) {
                size_t group = 0;
                --i;
                number(i, group);
                // The compiler reads the number into a long without a
                // check: a long run of digits would overflow it.
                if (group > kMaxPatternTitle) return kSaturated;
                atom(1);
            } else {
                atom(next == 'b' || next == 'B' ? 1 : 0);
            }
        } else if (c == '[') {
            // A bracket expression is one character, whatever it holds.
            ++i;
            while (i < n && pattern[i] != ']') i += pattern[i] == '\\' ? 2 : 1;
            ++i;
            atom(0);
        } else if (c == '(') {
            i += (i + 1 < n && pattern[i + 1] == '?') ? 3 : 1;  // (?: (?= (?!
            levels.emplace_back();
        } else if (c == ')') {
            ++i;
            if (levels.size() > 1) {
                const size_t inner = levels.back().total;
                levels.pop_back();
                atom(Add(inner, 1));
            }
        } else if (c == '|') {
            ++i;
            atom(1);
            levels.back().last = 0;
        } else if (c == '^' || c == '$') {
            ++i;
            atom(1);
        } else if (c == '*' || c == '+' || c == '?') {
            ++i;
            skipLazy(i);
            levels.back().total = Add(levels.back().total, 1);
            levels.back().last = 0;
        } else if (c == '{') {
            // {m}, {m,} or {m,n}: the last atom is copied once per count,
            // and each copy past m is an optional repeat of its own.
            size_t j = i + 1, low = 0, high = 0;
            bool counted = number(j, low);
            bool open = false;
            if (counted && j < n && pattern[j] == ',') {
                ++j;
                if (!number(j, high)) open = true;
            } else {
                high = low;
            }
            // The compiler reads the counts the same unchecked way, before
            // it looks for the closing brace; and every copy is a state: a
            // count beyond the title limit is never needed.
            if (low > kMaxPatternTitle || high > kMaxPatternTitle) return kSaturated;
            counted = counted && j < n && pattern[j] == '}';
            if (!counted) {
                ++i;  // not a counted repeat; the compiler decides about it
                atom(0);
                continue;
            }
            i = j + 1;
            skipLazy(i);
            const size_t copies = open ? Add(low, 1) : (high > low ? high : low);
            const size_t optional = open ? 1 : (high > low ? high - low : 0);
            Level& level = levels.back();
            const size_t extra = copies > 0 ? Mul(level.last, copies - 1) : 0;
            level.total = Add(Add(Add(level.total, extra), optional), 1);
            level.last = 0;
        } else {
            ++i;
            atom(0);
        }
    }
    // Groups left open do not compile; weigh them all the same.
    while (levels.size() > 1) {
        const size_t inner = levels.back().total;
        levels.pop_back();
        atom(Add(inner, 1));
    }
    return levels.back().total == 0 ? 1 : levels.back().total;
}

bool PatternFits(std::string_view pattern, size_t weight, std::string_view title) {
    if (pattern.size() > kMaxPatternBytes) return false;
    if (weight == 0 || weight > kMaxPatternTitle) return false;
    return title.size() <= kMaxPatternTitle / weight;
}

bool PatternSurelyBroken(std::string_view pattern) {
    const size_t n = pattern.size();
    size_t depth = 0;
    // Whether a repeat here has something to repeat; where in doubt
    // (assertions, braces) it is taken to have, so the engine decides.
    bool canRepeat = false;
    size_t i = 0;
    while (i < n) {
        const char c = pattern[i];
        if (c == '\\') {
            if (i + 1 >= n) return true;
            i += 2;
            canRepeat = true;
        } else if (c == '[') {
            // The class ends at the first ']' not escaped. Named classes
            // ([:alpha:] and the like) end differently: no verdict on them.
            size_t j = i + 1;
            while (j < n && pattern[j] != ']') {
                if (pattern[j] == '[' && j + 1 < n &&
                    (pattern[j + 1] == ':' || pattern[j + 1] == '.' || pattern[j + 1] == '=')) {
                    return false;
                }
                j += pattern[j] == '\\' ? 2 : 1;
            }
            if (j >= n) return true;
            i = j + 1;
            canRepeat = true;
        } else if (c == '(') {
            ++depth;
            ++i;
            if (i < n && pattern[i] == '?') {
                // (?: (?= (?!: anything else after "(?" is the engine's to judge.
                if (i + 1 >= n || (pattern[i + 1] != ':' && pattern[i + 1] != '=' &&
                                   pattern[i + 1] != '!')) {
                    return false;
                }
                i += 2;
            }
            canRepeat = false;
        } else if (c == ')') {
            if (depth == 0) return true;
            --depth;
            ++i;
            canRepeat = true;
        } else if (c == '|') {
            ++i;
            canRepeat = false;
        } else if (c == '*' || c == '+' || c == '?') {
            if (!canRepeat) return true;
            ++i;
        } else {
            ++i;
            canRepeat = true;
        }
    }
    return depth > 0;
}

}  // namespace qtr
