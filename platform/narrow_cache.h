// The standard library's ctype<char> facet keeps a cache of narrow()'s
// answers, filled on first use of each byte with no synchronisation. The
// regex compiler narrows every byte of a pattern, so two threads compiling
// patterns under the same global locale write the same cache entries at
// once: a data race. Filling the cache while the facet is not yet shared
// (or under the lock that every compiling thread has passed) leaves only
// reads afterwards.
#pragma once

#include <locale>

namespace qtr::platform {

inline void FillNarrowCache(const std::locale& locale) {
    const std::ctype<char>& ctype = std::use_facet<std::ctype<char>>(locale);
    for (int c = 0; c < 256; ++c) ctype.narrow(static_cast<char>(c), '\0');
}

}  // namespace qtr::platform
