#include "title/version.h"

#include <regex>

#include "plugin/result.h"
#include "text/bytes.h"
#include "title/parenthesised.h"

namespace qtr {

namespace {

VersionLookup NoVersion() { return VersionLookup{ResultNoField, {}}; }

}  // namespace

VersionLookup FindVersion(std::string_view title, const Settings& settings) {
    // Work the engine's stack could not hold is not started. The default
    // pattern (weight 1), matched by hand, keeps the same limit, so that it
    // answers exactly as the engine would.
    const std::string& source = settings.versionPattern;
    if (IsDefaultVersionPattern(source)) {
        if (title.size() > kMaxPatternTitle) return NoVersion();
        return FindParenthesisedVersion(title, static_cast<size_t>(VersionIndexOf(settings)));
    }
    if (source.size() > kMaxPatternBytes) return NoVersion();
    if (PatternSurelyBroken(source)) return NoVersion();
    if (!PatternFits(source, PatternWeight(source), title)) return NoVersion();

    std::regex pattern;
    try {
        // Built under the global locale, which LoadSettings made Japanese.
        pattern.assign(settings.versionPattern, std::regex::ECMAScript);
    } catch (const std::regex_error&) {
        return NoVersion();
    }

    const size_t wanted = static_cast<size_t>(VersionIndexOf(settings));
    size_t found = 0;
    std::string_view chosen;
    const char* rest = title.data();
    const char* const end = title.data() + title.size();
    try {
        std::cmatch match;
        // Each search sees the remainder as a text of its own, so ^ matches
        // at its start. Only the wanted candidate and the last are kept.
        while (std::regex_search(rest, end, match, pattern)) {
            const char* matchBegin = match[0].first;
            const char* matchEnd = match[0].second;
            if (found <= wanted) chosen = std::string_view(matchBegin, matchEnd - matchBegin);
            ++found;
            if (matchEnd != matchBegin) {
                rest = matchEnd;
                continue;
            }
            // An empty match leaves the remainder as it was: step over one
            // character, or stop at the end of the title.
            if (matchEnd == end) break;
            const bool doubleByte = IsShiftJisLeadByte(static_cast<unsigned char>(*matchEnd)) &&
                                    matchEnd + 1 != end;
            rest = matchEnd + (doubleByte ? 2 : 1);
        }
    } catch (const std::regex_error&) {
        return NoVersion();
    }
    if (found == 0) return NoVersion();
    return VersionLookup{0, TrimSpacesView(chosen)};
}

std::string RemoveVersion(std::string_view title, std::string_view version) {
    if (version.empty()) return std::string(title);
    std::string cleaned(title);
    const size_t at = cleaned.find(version);
    if (at != std::string::npos) cleaned.erase(at, version.size());
    return TrimSpaces(cleaned);
}

int32_t ExtractVersion(std::string title, char** out, int32_t outSize) {
    const Settings settings = LoadSettings();
    const VersionLookup found = FindVersion(title, settings);
    if (found.status != 0) return found.status;
    return CopyResult(found.version, out, outSize);
}

}  // namespace qtr
