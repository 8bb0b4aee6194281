// The standard library's ctype<char> facet keeps caches of narrow()'s and
// widen()'s answers, filled on first use with no synchronisation. The regex
// compiler narrows every byte of a pattern, and a class such as \w widens
// '_' when it is matched, so two threads using patterns under the same
// locale write the same cache entries at once: a data race. Filling the
// caches while the facet is not yet shared (or under the lock that every
// compiling thread has passed) leaves only reads afterwards. (The widen
// table is filled inside the shared library, which ThreadSanitizer does
// not see: no test can show that race, only this code prevent it.)
#pragma once

#include <locale>

namespace qtr::platform {

inline void FillNarrowCache(const std::locale& locale) {
    const std::ctype<char>& ctype = std::use_facet<std::ctype<char>>(locale);
    for (int c = 0; c < 256; ++c) ctype.narrow(static_cast<char>(c), '\0');
    ctype.widen('\0');  // the first call fills the whole widen table
}

}  // namespace qtr::platform
