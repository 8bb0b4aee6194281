// The hand matcher for the default version pattern against the regex
// engine it stands in for: the same candidates, the same version, for
// every short title over the bytes that matter to the pattern.
#include <gtest/gtest.h>

#include <string>

#include "settings/settings.h"
#include "title/parenthesised.h"
#include "title/version.h"

namespace qtr {
namespace {

// The default pattern in a form the hand matcher does not take, so that
// FindVersion compiles it: the same language, the same matches.
const char* const kSamePatternCompiled = "(?:\\(.+?\\))";

std::string Describe(std::string_view title, const VersionLookup& found) {
    if (found.status != 0) return "status " + std::to_string(found.status);
    return "at " + std::to_string(found.version.data() - title.data()) + " \"" +
           std::string(found.version) + "\"";
}

std::string ByHand(std::string_view title, const char* index) {
    Settings settings;
    settings.versionIndex = index;
    EXPECT_TRUE(IsDefaultVersionPattern(settings.versionPattern));
    return Describe(title, FindVersion(title, settings));
}

std::string ByRegex(std::string_view title, const char* index) {
    Settings settings;
    settings.versionPattern = kSamePatternCompiled;
    settings.versionIndex = index;
    return Describe(title, FindVersion(title, settings));
}

TEST(Parenthesised, OnlyTheExactDefaultIsTakenByHand) {
    EXPECT_TRUE(IsDefaultVersionPattern("\\(.+?\\)"));
    for (const char* other : {"\\(.+\\)", " \\(.+?\\)", "\\(.+?\\) ", "\\(.*?\\)", ""}) {
        EXPECT_FALSE(IsDefaultVersionPattern(other)) << other;
    }
}

TEST(Parenthesised, AgreesWithTheRegexOnTrickyTitles) {
    using namespace std::string_literals;
    const std::string titles[] = {
        "Name (Japan) (Rev A)", "())", "(()", "((a)", "(a\r(b)", "(\r)", "(a\nb)", "(a\r)",
        "()()", "() ()", "(\0)"s, "(\0\0)"s, "A (B (C) D", "(", ")", "((((", "x(y\r\r(z)w)",
        // Shift_JIS: full-width parentheses are not ASCII ones; a double
        // byte character inside ASCII parentheses is two bytes of '.'.
        "\x81\x69\x94\xC5\x81\x6A", "Game (\x94\xC5)", "(\x83\x5C)"};
    for (const std::string& title : titles) {
        for (const char* index : {"0", "1", "10"}) {
            EXPECT_EQ(ByHand(title, index), ByRegex(title, index))
                << "title \"" << title << "\" index " << index;
        }
    }
}

TEST(Parenthesised, AgreesWithTheRegexOnEveryShortTitle) {
    // Every title of up to six bytes over ( ) a CR LF and space: the bytes
    // the pattern treats differently, and one that stands for all others.
    const char alphabet[] = {'(', ')', 'a', '\r', '\n', ' '};
    const size_t letters = sizeof alphabet;
    size_t checked = 0;
    for (size_t length = 0; length <= 6; ++length) {
        size_t combinations = 1;
        for (size_t i = 0; i < length; ++i) combinations *= letters;
        std::string title(length, ' ');
        for (size_t n = 0; n < combinations; ++n) {
            size_t rest = n;
            for (size_t i = 0; i < length; ++i, rest /= letters) title[i] = alphabet[rest % letters];
            for (const char* index : {"0", "10"}) {
                ASSERT_EQ(ByHand(title, index), ByRegex(title, index))
                    << "title \"" << title << "\" index " << index;
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 55987u);
}

}  // namespace
}  // namespace qtr
