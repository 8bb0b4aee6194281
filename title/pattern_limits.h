// How much of the regex engine's stack a pattern and a title may take.
//
// The standard library's ECMAScript engine matches depth first and recurses
// once per state it passes through: every title byte a repeat consumes, and
// every group, repeat, alternative or assertion passed on the way, is a
// further nest of stack frames that stays until the match ends. The
// compiler recurses too, once per term and once per nested group. Nothing
// in the engine bounds either, and the library runs on the host's thread,
// whose stack may be the 1 MiB a Windows thread gets by default. So the
// engine is only given work whose depth is known to fit:
//
//   - a pattern of at most kMaxPatternBytes bytes (compiler depth);
//   - a title whose length times the pattern's weight is at most
//     kMaxPatternTitle (matcher depth); the weight counts the states a
//     match may pass per title byte (see PatternWeight).
//
// Anything beyond is answered as "no version", like a pattern that does
// not compile. Measured figures are in docs/reliability.md.
#pragma once

#include <cstddef>
#include <string_view>

namespace qtr {

// The longest title the engine sees with a pattern of weight 1 (the
// default, and every pattern with a single repeat and no groups). A
// pattern of weight w is given titles of up to kMaxPatternTitle / w bytes.
constexpr size_t kMaxPatternTitle = 1024;

// The longest pattern that is compiled at all.
constexpr size_t kMaxPatternBytes = 1024;

// The pattern's weight: its groups, repeats, alternatives and assertions,
// each counted once per copy that a counted repeat {m,n} makes of it (and
// a counted repeat adds one per optional copy), at least 1. Saturates far
// above any limit that is checked against it, and is saturated outright
// for a repeat count or group number above kMaxPatternTitle (the compiler
// would overflow reading it) and for a repeat of a repeat such as "a?+"
// (not ECMAScript; the compiler would accept it as nested repeats).
size_t PatternWeight(std::string_view pattern);

// True for a pattern that the engine is certain to refuse: a group closed
// that was never opened, or opened and never closed; a bracket expression
// with no closing ']'; a backslash at the very end; a repeat (* + ?) with
// nothing before it to repeat. These are the usual mistakes of a settings
// file written by hand, and deciding them here means no exception is
// thrown for them: a 32-bit host may not survive one. Patterns it does not
// recognise as broken are left to the engine.
bool PatternSurelyBroken(std::string_view pattern);

// True when the engine may be given `title` with `pattern`: both are
// within the limits above.
bool PatternFits(std::string_view pattern, size_t weight, std::string_view title);

}  // namespace qtr
