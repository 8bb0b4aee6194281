// lstq --check: the settings file of the current directory as the plugin
// reads it, and the usual ways it goes wrong. The plugin itself is silent
// by design: a pattern that does not compile or a file in the wrong place
// only shows as titles and versions that are quietly not what was meant.
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "list/lookup.h"
#include "platform/platform.h"
#include "quillmarsh_to_Rookfable.h"
#include "settings/settings.h"
#include "text/bytes.h"
#include "title/version.h"
#include "tools/lstq.h"
#include "tools/sjis.h"

namespace qtr::lstq {

namespace {

constexpr size_t kDefaultEntries = 5;  // entries shown when no name is given
constexpr size_t kMaxCandidates = 20;  // candidates shown per entry

// One report line: a label in a column of its own, then the text.
void Line(Output& output, const std::string& label, const std::string& text) {
    std::string line = label;
    line.append(label.size() < 15 ? 15 - label.size() : 1, ' ');
    Write(output, line + text + "\n");
}

std::string Quoted(std::string_view value) { return "\"" + Visible(value) + "\""; }

// Empty text, which would show as nothing at all, as "".
std::string NonEmpty(std::string text) { return text.empty() ? "\"\"" : text; }

bool IsPlainNumber(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A mode line that was most likely meant as "0": zeros with white space
// around them, or more than one zero. Any of these makes GetTitle remove
// the version, since only exactly "0" keeps the title.
bool LooksMeantAsZero(std::string_view mode) {
    bool zero = false;
    for (const char c : mode) {
        if (c == '0') {
            zero = true;
        } else if (c != ' ' && c != '\t' && c != '\r' && c != '\v' && c != '\f') {
            return false;
        }
    }
    return zero && mode != "0";
}

bool HasControlByte(std::string_view value) {
    for (const char c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

bool IsBlank(std::string_view line) {
    for (const char c : line) {
        if (c != ' ' && c != '\t' && c != '\r') return false;
    }
    return true;
}

void PatternWarnings(const Settings& settings, bool byteOrderMark,
                     std::vector<std::string>& warnings) {
    const std::string& pattern = settings.versionPattern;
    if (pattern.empty()) {
        warnings.push_back(
            "the pattern (line 1) is empty: it matches empty text, so there is"
            " never a version and GetTitle leaves titles as listed");
        return;
    }
    // The byte order mark has its own warning; what follows it tells the
    // encoding.
    const std::string_view body = std::string_view(pattern).substr(byteOrderMark ? 3 : 0);
    if (LooksLikeUtf8(body)) {
        warnings.push_back(
            "the pattern looks like UTF-8: the list is Shift_JIS, so its Japanese"
            " text can never match. Save the file as Shift_JIS (code page 932)");
        return;
    }
    if (const ShiftJisCheck check = CheckShiftJis(body); !check.ok()) {
        warnings.push_back("the pattern is not Shift_JIS at byte " +
                           std::to_string(check.offset + 1 + (pattern.size() - body.size())) +
                           ": " + check.problem);
    }
    for (const size_t at : RegexTrailBytes(body)) {
        const std::string character(body.substr(at, 2));
        std::string escaped;
        for (const char c : character) {
            escaped += "\\x" + HexBytes(std::string(1, c));
        }
        warnings.push_back("the pattern's character " + character + " (bytes " +
                           HexBytes(character) + ") ends in the byte '" + character.substr(1) +
                           "', which the regular expression reads on its own as an operator;"
                           " write the character as " +
                           escaped);
    }
    // A match must start on a character of its own. An escaped bracket
    // (or brace, bar, caret, backslash) at the start matches a byte that is
    // also the second half of common characters: '[' ends the long vowel
    // mark of katakana, so the pattern \[.+?\] finds a match from inside it.
    if (body.size() >= 2 && body[0] == '\\' &&
        std::string_view("[]{}|^\\").find(body[1]) != std::string_view::npos) {
        warnings.push_back("the pattern starts with '" + std::string(1, body[1]) +
                           "', a byte that is also the second half of some Shift_JIS characters"
                           " (the long vowel mark among them): a match can start inside one."
                           " Start it with the space before the note, as in \" \\[.+?\\]\"");
    }
    if (pattern.back() == ' ') {
        warnings.push_back("the pattern ends in a space: a match must end with one too");
    }
    if (HasControlByte(pattern)) {
        warnings.push_back("the pattern holds a control byte (" + Visible(pattern) +
                           "): no title has one, so it cannot match there");
    }
}

// The successive candidates of `title`, as FindVersion finds them (spaces
// trimmed): candidate k is FindVersion's version at index k, up to the one
// the index past the last gives again.
std::vector<std::string_view> Candidates(std::string_view title, const Settings& settings,
                                         bool& more) {
    std::vector<std::string_view> candidates;
    more = false;
    Settings asked = settings;
    for (size_t k = 0;; ++k) {
        asked.versionIndex = std::to_string(k);
        const VersionLookup found = FindVersion(title, asked);
        if (found.status != 0) break;
        if (!candidates.empty() && found.version.data() == candidates.back().data() &&
            found.version.size() == candidates.back().size()) {
            break;
        }
        if (k == kMaxCandidates) {
            more = true;
            break;
        }
        candidates.push_back(found.version);
    }
    return candidates;
}

bool ExplainEntry(Output& output, const std::string& list, const std::string& name,
                  const Settings& settings) {
    Write(output, name + "\n");
    const FieldLookup title = FindField(list.c_str(), name.c_str(), kListSelector, FieldTitle);
    if (title.status != 0) {
        Line(output, "  title field", Shown(Answer{title.status, {}}));
        return title.status != ResultNotFound;
    }
    Line(output, "  title field", std::string(title.text));

    bool more = false;
    const std::vector<std::string_view> candidates = Candidates(title.text, settings, more);
    std::string shown;
    for (size_t k = 0; k < candidates.size(); ++k) {
        if (k > 0) shown += "  ";
        shown += std::to_string(k) + ": " + NonEmpty(std::string(candidates[k]));
    }
    if (more) shown += "  and more";
    if (candidates.empty()) {
        const std::string& pattern = settings.versionPattern;
        shown = PatternFits(pattern, PatternWeight(pattern), title.text)
                    ? "none"
                    : "none (a title this long is not searched with this pattern)";
    }
    Line(output, "  candidates", shown);

    std::string version = NonEmpty(Shown(Ask(GetVersion, list.c_str(), name.c_str())));
    if (!candidates.empty() && !more) {
        const size_t index = static_cast<size_t>(VersionIndexOf(settings));
        version += index < candidates.size()
                       ? "  (candidate " + std::to_string(index) + ")"
                       : "  (the last candidate: index " + std::to_string(index) + " is past it)";
    }
    Line(output, "  GetVersion", version);
    Line(output, "  GetTitle", NonEmpty(Shown(Ask(GetTitle, list.c_str(), name.c_str()))));
    return true;
}

// Names of the first entries of the list, for --check LIST without names.
std::vector<std::string> FirstNames(const std::string& list) {
    std::vector<std::string> names;
    for (const std::string_view line : Lines(list)) {
        if (names.size() == kDefaultEntries) break;
        std::string_view name;
        if (EntryName(line, name)) names.emplace_back(name);
    }
    return names;
}

}  // namespace

int RunCheck(const std::vector<std::string>& operands, Output& output, std::ostream& err) {
    std::string list;
    if (!operands.empty() && !ReadList(operands[0], list, err)) return ExitError;

    // The values in effect come from the plugin's own reading; the raw bytes,
    // read the same way, show what that reading leaves out.
    const Settings settings = LoadSettings();
    std::string raw(kSettingsReadLimit + 1, '\0');
    const long count = platform::ReadWorkingDirectoryFile(kSettingsFileName, &raw[0], raw.size());
    raw.resize(count < 0 ? 0 : static_cast<size_t>(count));
    raw.resize(platform::TextLength(raw.data(), raw.size()));  // a Ctrl-Z ends it on Windows

    std::vector<std::string> warnings;
    // Paths are the file system's text, not Shift_JIS: never converted.
    WriteUnconverted(output,
                     "settings file  " + platform::WorkingDirectoryPath(kSettingsFileName) + "\n");
    std::error_code error;
    if (!settings.fileFound && std::filesystem::exists(kSettingsFileName, error)) {
        Line(output, "", "cannot be read: the defaults are in effect");
        warnings.push_back(std::string(kSettingsFileName) +
                           " is here but cannot be read (is it a directory, or not readable?)");
    } else if (!settings.fileFound) {
        Line(output, "", "not found: the defaults are in effect. The plugin looks for it in the");
        Line(output, "", "host's working directory, not in the plugin's own directory.");
        for (const auto& entry : std::filesystem::directory_iterator(".", error)) {
            const std::string file = entry.path().filename().string();
            std::string lowered;
            for (const char c : file) lowered += LowerAscii(c);
            if (lowered.find("quillmarsh_to_rookfable") != std::string::npos) {
                warnings.push_back("a file named " + file + " is here; the plugin reads only " +
                                   kSettingsFileName + ", spelled exactly so");
            }
        }
        // The list often sits in the host's directory: a settings file beside
        // it suggests lstq was run in the wrong place, or the host runs in one.
        if (!operands.empty()) {
            const std::filesystem::path beside =
                std::filesystem::absolute(operands[0], error).parent_path() / kSettingsFileName;
            if (std::filesystem::exists(beside, error)) {
                warnings.push_back("there is one beside the list, " + beside.string() +
                                   "; the plugin reads the one in the host's working directory."
                                   " Run lstq there");
            }
        }
    } else {
        Line(output, "",
             "found, " + std::to_string(settings.linesRead) +
                 (settings.linesRead == 1 ? " line read" : " lines read"));
    }

    const bool byteOrderMark = raw.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (byteOrderMark) {
        warnings.push_back(
            "the file starts with a UTF-8 byte order mark, which becomes part of"
            " the pattern; save it as Shift_JIS without one");
    }
    if (raw.find('\0') != std::string::npos) {
        warnings.push_back(
            "the file holds NUL bytes, and each line ends at its first one: is it"
            " saved as UTF-16? Save it as Shift_JIS");
    }
    if (raw.size() > kSettingsReadLimit) {
        warnings.push_back("the file is larger than " + std::to_string(kSettingsReadLimit) +
                           " bytes; only that much of it is read");
    }
    // Every line, beyond the three the plugin reads, so that ignored ones
    // can be pointed out.
    const std::vector<std::string_view> lines = Lines(raw);
    for (size_t k = 3; k < lines.size(); ++k) {
        if (IsBlank(lines[k])) continue;
        std::string_view ignored = lines[k];
        if (!ignored.empty() && ignored.back() == '\r') ignored.remove_suffix(1);
        warnings.push_back("line " + std::to_string(k + 1) + " " + Quoted(ignored) +
                           " is ignored: only the first three lines are read");
        break;
    }

    const auto mark = [&](int line) { return settings.linesRead < line ? "  (default)" : ""; };

    // Pattern.
    Line(output, "pattern", Quoted(settings.versionPattern) + mark(1));
    bool compiles = true;
    try {
        // Under the Japanese locale, as LoadSettings left it and as the
        // plugin builds it.
        const std::regex pattern(settings.versionPattern, std::regex::ECMAScript);
        Line(output, "", "compiles");
        if (!settings.versionPattern.empty() && std::regex_search("", pattern)) {
            warnings.push_back(
                "the pattern can match empty text: such a match is an empty"
                " version, and GetTitle then leaves the title as listed");
        }
    } catch (const std::regex_error& e) {
        compiles = false;
        Line(output, "", std::string("does not compile: ") + e.what());
        Line(output, "", "so no entry has a version, and GetTitle leaves every title as listed");
    }
    PatternWarnings(settings, byteOrderMark, warnings);

    // Index.
    const int32_t index = VersionIndexOf(settings);
    Line(output, "index", Quoted(settings.versionIndex) + mark(2));
    Line(output, "",
         "read as " + std::to_string(index) +
             ": the candidate at that position, counting from 0; the last one when"
             " there are fewer");
    if (settings.linesRead >= 2 && !IsPlainNumber(settings.versionIndex)) {
        warnings.push_back("line 2 " + Quoted(settings.versionIndex) +
                           " is not a plain number; it is read as " + std::to_string(index));
    }

    // Mode.
    Line(output, "mode", Quoted(settings.titleMode) + mark(3));
    Line(output, "",
         KeepsTitle(settings) ? "GetTitle gives the title as listed"
                              : "GetTitle removes the version from the title");
    if (settings.linesRead >= 3 && settings.titleMode.empty()) {
        warnings.push_back(
            "line 3 is empty, which is not \"0\": GetTitle removes the version."
            " Write 0 to keep titles as listed");
    } else if (settings.linesRead >= 3 && LooksMeantAsZero(settings.titleMode)) {
        warnings.push_back("line 3 " + Quoted(settings.titleMode) +
                           " is not exactly \"0\": GetTitle removes the version. Write 0 alone,"
                           " with no spaces, to keep titles as listed");
    }

    if (warnings.empty()) {
        Line(output, "warnings", "none");
    } else {
        Line(output, "warnings", std::to_string(warnings.size()));
        for (const std::string& warning : warnings) Write(output, "  - " + warning + "\n");
    }

    bool allFound = true;
    if (!operands.empty()) {
        std::vector<std::string> names(operands.begin() + 1, operands.end());
        if (names.empty()) names = FirstNames(list);
        WriteUnconverted(output, "\nentries of " + operands[0] + "\n");
        for (const std::string& name : names) {
            allFound = ExplainEntry(output, list, name, settings) && allFound;
        }
    }
    return warnings.empty() && compiles && allFound ? ExitOk : ExitNotFound;
}

}  // namespace qtr::lstq
