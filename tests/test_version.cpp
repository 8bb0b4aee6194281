// Cutting the version out of a title: FindVersion under given settings,
// and GetVersion with the settings file of the working directory.
#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <regex>
#include <string>

#include "helpers.h"
#include "quillmarsh_to_Rookfable.h"
#include "platform/platform.h"
#include "text/bytes.h"
#include "title/version.h"

namespace qtr {
namespace {

using test::Ask;
using test::Code;

const std::string kNoVersion = "(none)";

std::string Version(const std::string& title, const std::string& pattern = "\\(.+?\\)",
                    const std::string& index = "10") {
    Settings settings;
    settings.versionPattern = pattern;
    settings.versionIndex = index;
    const VersionLookup found = FindVersion(title, settings);
    if (found.status != 0) {
        EXPECT_EQ(found.status, ResultNoField);
        return kNoVersion;
    }
    return std::string(found.version);
}

struct VersionCase {
    const char* title;
    const char* pattern;
    const char* index;
    const char* version;  // null: no version
};

class VersionCases : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionCases, ChoosesTheCandidate) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(Version(c.title, c.pattern, c.index), c.version ? c.version : kNoVersion)
        << "title \"" << c.title << "\" pattern \"" << c.pattern << "\" index " << c.index;
}

const char* const kDefault = "\\(.+?\\)";

INSTANTIATE_TEST_SUITE_P(
    Titles, VersionCases,
    ::testing::Values(
        VersionCase{"Name (Japan) (Rev A)", kDefault, "10", "(Rev A)"},
        VersionCase{"Name (Japan) (Rev A)", kDefault, "0", "(Japan)"},
        VersionCase{"Name (Japan) (Rev A)", kDefault, "1", "(Rev A)"},
        VersionCase{"Name (Japan) (Rev A)", kDefault, "7", "(Rev A)"},
        VersionCase{"Name (Japan) (Rev A)", kDefault, "-3", "(Japan)"},
        VersionCase{"Name (Japan) (Rev A)", kDefault, "abc", "(Japan)"},
        VersionCase{"Name (Japan)", kDefault, "10", "(Japan)"},
        VersionCase{"Name", kDefault, "10", nullptr},
        VersionCase{"", kDefault, "10", nullptr},
        VersionCase{"Name ()", kDefault, "10", nullptr},
        VersionCase{"A (B (C) D", kDefault, "10", "(B (C)"},
        VersionCase{"Name (Japan)", " \\(.+?\\)", "10", "(Japan)"},
        VersionCase{"Name (  )", kDefault, "10", "(  )"},
        VersionCase{"Name  x", " +", "10", ""},
        VersionCase{"Name [v1.1] [beta]", "\\[.+?\\]", "0", "[v1.1]"},
        VersionCase{"Name (Rev 2) (Japan)", "\\(Rev [^)]*\\)", "10", "(Rev 2)"},
        // Each search starts a text of its own: ^ matches after each match.
        VersionCase{"abab", "^ab", "10", "ab"},
        VersionCase{"abab", "^ab", "1", "ab"},
        VersionCase{"abxab", "^ab", "1", "ab"},
        // The regex sees bytes: a Shift_JIS word in Shift_JIS.
        VersionCase{"Game \x81\x79\x94\xC5\x81\x7A", "\x81\x79.+?\x81\x7A", "10",
                    "\x81\x79\x94\xC5\x81\x7A"},
        // Patterns that do not compile.
        VersionCase{"Name (Japan)", "(", "10", nullptr},
        VersionCase{"Name (Japan)", "[a-", "10", nullptr},
        VersionCase{"Name (Japan)", "\\", "10", nullptr},
        // Patterns that match the empty string end, stepping on one
        // character (a double-byte one whole) after an empty match.
        VersionCase{"Name (Japan)", "", "10", ""},
        VersionCase{"Name", "x*", "10", ""},
        VersionCase{"ab12cd", "\\d*", "2", "12"},
        VersionCase{"ab12cd", "\\d*", "10", ""},
        VersionCase{"\x83\x5C" "1", "[\\\\1]?", "1", "1"}));

// Patterns are built under the Japanese locale on every platform: the
// half-width katakana A6-DF are letters (\w, \b, [[:alpha:]]) and A1-A5
// punctuation, as in code page 932.
TEST(FindVersion, ClassesAreTheJapaneseLocales) {
    platform::SwitchToJapaneseLocale();
    const struct {
        const char* title;
        const char* pattern;
        const char* index;
        const char* version;
    } cases[] = {
        {"\xB1\xB2\xB3 (\xB4\xB5) 12", "\\(\\w+\\)", "10", "(\xB4\xB5)"},
        {"12\xA5\xA6\xDF!", "[[:alpha:]]+", "10", "\xA6\xDF"},
        {"\xA1\xB1" "9-", "[[:alnum:]]+", "10", "\xB1" "9"},
        {"a\xA1\xA2\xA3\xA4\xA5\xA6", "[[:punct:]]+", "10", "\xA1\xA2\xA3\xA4\xA5"},
        {"\xB1\xA1\xA2\xB2", "\\W+", "10", "\xA1\xA2"},
        {"\xB1\xB2 \xB3", "\\b\\w+\\b", "1", "\xB3"},
        {"\xB1\xB2", "[[:upper:]]|[[:lower:]]|[[:digit:]]|[[:space:]]", "10", nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Version(c.title, c.pattern, c.index), c.version ? c.version : kNoVersion)
            << "pattern " << c.pattern;
    }
}

// The pattern's locale changes classes only: every byte stands for itself
// (translate), and case folding, which no pattern asks for, still folds
// ASCII alone.
TEST(FindVersion, ThePatternLocaleTranslatesNoByte) {
    platform::SwitchToJapaneseLocale();
    std::regex_traits<char> traits;
    traits.imbue(platform::PatternLocale());
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        EXPECT_EQ(traits.translate(c), c) << b;
        const char folded = b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : c;
        EXPECT_EQ(traits.translate_nocase(c), folded) << b;
    }
    std::regex pattern;
    pattern.imbue(platform::PatternLocale());
    pattern.assign("\xB1[\xA6-\xDF]");
    EXPECT_TRUE(std::regex_match("\xB1\xDF", pattern));
    EXPECT_FALSE(std::regex_match("\xB1\xA5", pattern));
}

TEST(FindVersion, OverlongTitleHasNoVersion) {
    const std::string title(kMaxPatternTitle - 6, 'x');
    EXPECT_EQ(Version(title + " (Rev)"), "(Rev)");
    EXPECT_EQ(Version(title + "x (Rev)"), kNoVersion);
}

TEST(RemoveVersion, RemovesTheFirstOccurrenceAndTrims) {
    EXPECT_EQ(RemoveVersion("Name (Japan) (Rev A)", "(Rev A)"), "Name (Japan)");
    EXPECT_EQ(RemoveVersion("A (X) B (X)", "(X)"), "A  B (X)");
    EXPECT_EQ(RemoveVersion("(Prototype)", "(Prototype)"), "");
    EXPECT_EQ(RemoveVersion("  Name (X)  ", "(X)"), "Name");
    EXPECT_EQ(TrimSpaces("\t a \x81\x40 "), "\t a \x81\x40");
    EXPECT_EQ(TrimSpaces("    "), "");
}

using GetVersionTest = test::WorkingDirectory;

const std::string kList =
    "sf2\tHarbor Brawl II (World 880317) (Rev A)\tkana\tNorthwind\r\n"
    "plain\tPlain Title\tkana\tNorthwind\r\n";

TEST_F(GetVersionTest, UsesTheSettingsFile) {
    EXPECT_EQ(Ask(GetVersion, kList, "SF2"), "(Rev A)");
    EXPECT_EQ(Ask(GetVersion, kList, "plain"), Code(ResultNoField));
    EXPECT_EQ(Ask(GetVersion, kList, "absent"), Code(ResultNotFound));
    EXPECT_EQ(Ask(GetVersion, "x\tno closing tab", "x"), Code(ResultNoField));

    WriteSettings("\\(.+?\\)\r\n0\r\n");
    EXPECT_EQ(Ask(GetVersion, kList, "sf2"), "(World 880317)");
    WriteSettings("(\n");
    EXPECT_EQ(Ask(GetVersion, kList, "sf2"), Code(ResultNoField));
    WriteSettings(" +\n");
    EXPECT_EQ(Ask(GetVersion, kList, "plain"), "") << "a version of spaces trims to empty";
    WriteSettings("\n");
    EXPECT_EQ(GetVersion(kList.c_str(), "sf2", 100, nullptr, 0), 1) << "the empty pattern";
}

TEST_F(GetVersionTest, WrongSelectorLeavesTheLocaleAlone) {
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(GetVersion(kList.c_str(), "sf2", 99, nullptr, 0), ResultNotFound);
    EXPECT_EQ(GetVersion(kList.c_str(), "absent", 100, nullptr, 0), ResultNotFound);
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
}

}  // namespace
}  // namespace qtr

namespace qtr {
namespace {

bool EngineRefuses(const std::string& pattern) {
    try {
        std::regex compiled(pattern, std::regex::ECMAScript);
        return false;
    } catch (const std::regex_error&) {
        return true;
    }
}

TEST(PatternSurelyBroken, CatchesTheUsualMistakesWithoutTheEngine) {
    for (const char* broken : {"(", "(.+?", ".+?)", "((a)", "a)", "[a-", "[abc", "\\",
                               "\\(.+?\\)\\", "*a", "+", "?", "a|*b", "(*a)", "(?:", "[\\]"}) {
        EXPECT_TRUE(PatternSurelyBroken(broken)) << broken;
        EXPECT_TRUE(EngineRefuses(broken)) << broken;
    }
    for (const char* fine : {"\\(.+?\\)", "\\[.+?\\]", "a??", "(a|b)+", "[]a]", "[(]", "\\)",
                             "(?:a)", "[[:alpha:]]+", "", "a{2}", "^a*", "x|"}) {
        EXPECT_FALSE(PatternSurelyBroken(fine)) << fine;
    }
}

// Whatever the check refuses, the engine refuses too: over every pattern of
// up to four bytes from the bytes that make the syntax.
TEST(PatternSurelyBroken, NeverRefusesWhatTheEngineAccepts) {
    const std::string alphabet = "()[]\\*+?|a{}:^";
    std::string pattern;
    size_t refused = 0;
    std::function<void(size_t)> grow = [&](size_t length) {
        if (PatternSurelyBroken(pattern)) {
            ++refused;
            ASSERT_TRUE(EngineRefuses(pattern)) << '"' << pattern << '"';
        }
        if (length == 4) return;
        for (char c : alphabet) {
            pattern.push_back(c);
            grow(length + 1);
            pattern.pop_back();
            if (HasFailure()) return;
        }
    };
    grow(0);
    EXPECT_GT(refused, 1000u);
}

}  // namespace
}  // namespace qtr
