// Cutting the version out of a title, and the title without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/settings.h"
#include "title/pattern_limits.h"

namespace qtr {

// A version found in a title: `status` is 0 and `version` (spaces trimmed)
// points into the title, or `status` is ResultNoField.
struct VersionLookup {
    int32_t status;
    std::string_view version;
};

// The version of `title` under `settings`: the pattern's successive
// matches, each searched in what follows the previous one as a text of its
// own, are the candidates; the one at the version index, or the last when
// the index is past them, is the version. A pattern that does not compile,
// or finds nothing, gives ResultNoField, and so does a pattern or title
// beyond the engine's limits (title/pattern_limits.h). After an empty match
// the search steps on by one character (two bytes for a Shift_JIS
// double-byte one).
VersionLookup FindVersion(std::string_view title, const Settings& settings);

// The title with the first occurrence of the version's bytes removed and
// spaces trimmed from both ends; the title unchanged when the version is
// empty.
std::string RemoveVersion(std::string_view title, std::string_view version);

// Loads the settings, then hands the version of `title` to CopyResult.
int32_t ExtractVersion(std::string title, char** out, int32_t outSize);

}  // namespace qtr
