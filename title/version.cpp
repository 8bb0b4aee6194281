#include "title/version.h"

#include <regex>

#include "platform/platform.h"
#include "plugin/result.h"
#include "text/bytes.h"
#include "title/parenthesised.h"

namespace qtr {

namespace {

VersionLookup NoVersion() { return VersionLookup{ResultNoField, {}}; }

// The candidates are the successive matches that `nextMatch` finds, each
// searched in what follows the previous one as a text of its own (so ^
// matches at its start); the one at `wanted`, or the last, is the version.
// Only that one and the last are kept. An empty match leaves the remainder
// as it was: the search steps over one character, or stops at the end.
template <typename NextMatch>
VersionLookup ChooseCandidate(std::string_view title, size_t wanted, NextMatch nextMatch) {
    size_t found = 0;
    std::string_view chosen;
    const char* rest = title.data();
    const char* const end = title.data() + title.size();
    const char* matchBegin = nullptr;
    const char* matchEnd = nullptr;
    while (nextMatch(rest, end, &matchBegin, &matchEnd)) {
        if (found <= wanted) chosen = std::string_view(matchBegin, matchEnd - matchBegin);
        ++found;
        if (matchEnd != matchBegin) {
            rest = matchEnd;
            continue;
        }
        if (matchEnd == end) break;
        const bool doubleByte =
            IsShiftJisLeadByte(static_cast<unsigned char>(*matchEnd)) && matchEnd + 1 != end;
        rest = matchEnd + (doubleByte ? 2 : 1);
    }
    if (found == 0) return NoVersion();
    return VersionLookup{0, TrimSpacesView(chosen)};
}

}  // namespace

VersionLookup FindVersion(std::string_view title, const Settings& settings) {
    // Work the engine's stack could not hold is not started. The default
    // pattern (weight 1) is matched by hand, without compiling anything,
    // under the same limit, so that it answers exactly as the engine would.
    const std::string& source = settings.versionPattern;
    const bool byHand = IsDefaultVersionPattern(source);
    if (!byHand && PatternSurelyBroken(source)) return NoVersion();
    if (!PatternFits(source, byHand ? 1 : PatternWeight(source), title)) return NoVersion();
    const size_t wanted = static_cast<size_t>(VersionIndexOf(settings));
    if (byHand) return ChooseCandidate(title, wanted, FindParenthesised);

    std::regex pattern;
    try {
        // Built under the Japanese locale: the classification of its bytes
        // decides what \w, \b and [[:alpha:]] take.
        pattern.imbue(platform::PatternLocale());
        pattern.assign(source, std::regex::ECMAScript);
        std::cmatch match;
        return ChooseCandidate(title, wanted,
                               [&](const char* from, const char* to, const char** matchBegin,
                                   const char** matchEnd) {
                                   if (!std::regex_search(from, to, match, pattern)) return false;
                                   *matchBegin = match[0].first;
                                   *matchEnd = match[0].second;
                                   return true;
                               });
    } catch (const std::regex_error&) {
        return NoVersion();
    }
}

std::string RemoveVersion(std::string_view title, std::string_view version) {
    if (version.empty()) return std::string(title);
    const size_t at = title.find(version);
    if (at == std::string_view::npos) return TrimSpaces(title);
    // The title without the version, trimmed where it is built: one string.
    std::string cleaned(title.substr(0, at));
    cleaned.append(title.substr(at + version.size()));
    const std::string_view kept = TrimSpacesView(cleaned);
    const size_t begin = static_cast<size_t>(kept.data() - cleaned.data());
    cleaned.resize(begin + kept.size());
    cleaned.erase(0, begin);
    return cleaned;
}

int32_t ExtractVersion(std::string title, char** out, int32_t outSize) {
    const Settings settings = LoadSettings();
    const VersionLookup found = FindVersion(title, settings);
    if (found.status != 0) return found.status;
    return CopyResult(found.version, out, outSize);
}

}  // namespace qtr
