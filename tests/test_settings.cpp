// Reading the settings file, its defaults, and the locale switch.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>
#include <vector>

#include "helpers.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace qtr {
namespace {

struct ParseCase {
    const char* label;
    std::string bytes;
    std::string pattern, index, mode;
    int lines;
};

class ParseCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCases, ReadsUpToThreeLines) {
    const ParseCase& c = GetParam();
    const Settings s = ParseSettings(c.bytes);
    EXPECT_EQ(s.versionPattern, c.pattern) << c.label;
    EXPECT_EQ(s.versionIndex, c.index) << c.label;
    EXPECT_EQ(s.titleMode, c.mode) << c.label;
    EXPECT_EQ(s.linesRead, c.lines) << c.label;
}

const std::string kDefaultPattern = "\\(.+?\\)";

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseCases,
    ::testing::Values(
        ParseCase{"CR LF", "\\[.+?\\]\r\n0\r\n1\r\n", "\\[.+?\\]", "0", "1", 3},
        ParseCase{"LF, no end on the last", "p\n2\n1", "p", "2", "1", 3},
        ParseCase{"five lines", "a\nb\nc\nd\ne\n", "a", "b", "c", 3},
        ParseCase{"mode with a space", "a\n1\n0 \n", "a", "1", "0 ", 3},
        ParseCase{"lone CR kept", "a\rb\n1\r", "a\rb", "1\r", "0", 2},
        ParseCase{"cut at NUL", std::string("ab\0cd\n3\0\n1\n", 11), "ab", "3", "1", 3},
        ParseCase{"empty file", "", kDefaultPattern, "10", "0", 0},
        ParseCase{"one line", "x\n", "x", "10", "0", 1},
        ParseCase{"two lines", "x\r\n5", "x", "5", "0", 2},
        ParseCase{"empty lines", "\n\n\n", "", "", "", 3},
        ParseCase{"Shift_JIS bytes", "\x81\x79.+?\x81\x7A\r\n", "\x81\x79.+?\x81\x7A", "10", "0", 1}));

TEST(Settings, IndexIsReadTheAtoiWay) {
    const struct {
        const char* text;
        int32_t index;
    } cases[] = {{"-3", 0}, {"abc", 0}, {"", 0}, {"2x", 2}, {" 7", 7}, {"\t+4", 4},
                 {"10", 10}, {"99999999999999999999", INT32_MAX}, {"-99999999999999", 0}};
    for (const auto& c : cases) {
        Settings s;
        s.versionIndex = c.text;
        EXPECT_EQ(VersionIndexOf(s), c.index) << c.text;
    }
}

TEST(Settings, OnlyExactlyZeroKeepsTheTitle) {
    for (const char* mode : {"0", "1", "0 ", "00", "", " 0", "x"}) {
        Settings s;
        s.titleMode = mode;
        EXPECT_EQ(KeepsTitle(s), std::string(mode) == "0") << '"' << mode << '"';
    }
}

using LoadSettingsTest = test::WorkingDirectory;

TEST_F(LoadSettingsTest, NoFileGivesTheDefaults) {
    const Settings s = LoadSettings();
    EXPECT_FALSE(s.fileFound);
    EXPECT_EQ(s.versionPattern, kDefaultPattern);
    EXPECT_EQ(s.versionIndex, "10");
    EXPECT_EQ(s.titleMode, "0");
}

TEST_F(LoadSettingsTest, ReadsTheWorkingDirectorysFile) {
    WriteSettings("\\[.+?\\]\r\n0\r\n1\r\nignored\r\n");
    Settings s = LoadSettings();
    EXPECT_TRUE(s.fileFound);
    EXPECT_EQ(s.versionPattern, "\\[.+?\\]");
    EXPECT_EQ(s.versionIndex, "0");
    EXPECT_EQ(s.titleMode, "1");
    // Nothing is cached: a changed file counts at the next call.
    WriteSettings("p\n");
    s = LoadSettings();
    EXPECT_EQ(s.versionPattern, "p");
    EXPECT_EQ(s.titleMode, "0");
}

TEST_F(LoadSettingsTest, ADirectoryInTheFilesPlaceIsNoFile) {
    std::filesystem::create_directory(directory_ / kSettingsFileName);
    EXPECT_FALSE(LoadSettings().fileFound);
}

TEST_F(LoadSettingsTest, OnlyTheFirstPartOfAHugeFileIsRead) {
    WriteSettings("a\nb\nc\n" + std::string(1 << 20, 'x'));
    const Settings s = LoadSettings();
    EXPECT_EQ(s.titleMode, "c");
}

TEST_F(LoadSettingsTest, WorksInADeepDirectory) {
    // Far longer than 260 characters, and longer than any fixed buffer.
    // Made and removed a step at a time by relative names: the system
    // handles such a directory, but some standard libraries cannot take its
    // whole path (MinGW's current_path() and remove_all).
    std::vector<std::string> steps;
    std::filesystem::path deep = directory_;
    for (int i = 0; i < 12; ++i) {
        steps.emplace_back(40, static_cast<char>('a' + i));
        std::filesystem::create_directory(steps.back());
        std::filesystem::current_path(steps.back());
        deep /= steps.back();
    }
    {
        std::ofstream file(kSettingsFileName, std::ios::binary);
        file << "deep\n3\n1\n";
    }
    const Settings s = LoadSettings();
    EXPECT_EQ(s.versionPattern, "deep");
    const std::string path = platform::WorkingDirectoryPath(kSettingsFileName);
    EXPECT_GT(path.size(), 500u);
    EXPECT_EQ(path, (deep / kSettingsFileName).string());

    std::filesystem::remove(kSettingsFileName);
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        std::filesystem::current_path("..");
        std::filesystem::remove(*step);
    }
}

TEST_F(LoadSettingsTest, SwitchesTheProcessToTheJapaneseLocale) {
    // The setup installs the locale; a machine without it cannot show this.
    LoadSettings();
    EXPECT_TRUE(platform::InJapaneseLocale()) << std::setlocale(LC_ALL, nullptr);
    // Switched back by someone else, it is switched again at the next load.
    std::locale::global(std::locale::classic());
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    EXPECT_FALSE(platform::InJapaneseLocale());
    WriteSettings("a\n");
    LoadSettings();
    EXPECT_TRUE(platform::InJapaneseLocale()) << std::setlocale(LC_ALL, nullptr);
}

}  // namespace
}  // namespace qtr
