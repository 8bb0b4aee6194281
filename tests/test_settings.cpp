// Reading the settings file, its defaults, and the locale switch.
#include <gtest/gtest.h>

#include <clocale>
#if !defined(_WIN32)
#include <locale.h>
#endif
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

// The file's bytes as LoadSettings reads them from disk: the same values on
// every platform, but for the Ctrl-Z byte that ends a text file on Windows.
#if defined(_WIN32)
constexpr bool kCtrlZEndsText = true;
#else
constexpr bool kCtrlZEndsText = false;
#endif

struct FileCase {
    const char* label;
    std::string bytes;
    std::string pattern, index, mode;
};

TEST_F(LoadSettingsTest, LineEndsAreTheSameOnEveryPlatform) {
    const std::string z = kDefaultPattern;
    const FileCase cases[] = {
        {"CR CR LF keeps one CR", ".\r\r\n10\r\n0\r\r\n", ".\r", "10", "0\r"},
        {"lone CR inside a line", "a\rb\r\n1\r\n", "a\rb", "1", "0"},
        {"CR at the end without LF", "p\r\n2\r\n1\r", "p", "2", "1\r"},
        {"LF CR: the CR starts the next line", "p\n\r2\n", "p", "\r2", "0"},
        {"NUL bytes cut their line", std::string("a\0b\r\n\0\r\n1\0\r\n", 12), "a", "", "1"},
        {"CR before NUL before LF", std::string("a\r\0\n", 4), "a\r", "10", "0"},
        {"Ctrl-Z", "p\r\n3\x1A\r\n1\r\n", "p", kCtrlZEndsText ? "3" : "3\x1A",
         kCtrlZEndsText ? "0" : "1"},
        {"Ctrl-Z first", "\x1A\n1\n", kCtrlZEndsText ? z : "\x1A", kCtrlZEndsText ? "10" : "1",
         "0"},
    };
    for (const FileCase& c : cases) {
        WriteSettings(c.bytes);
        const Settings s = LoadSettings();
        EXPECT_EQ(s.versionPattern, c.pattern) << c.label;
        EXPECT_EQ(s.versionIndex, c.index) << c.label;
        EXPECT_EQ(s.titleMode, c.mode) << c.label;
    }
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

#if !defined(_WIN32)
// Without the locale the library answers as under the C locale (\w takes
// no half-width katakana): a machine that lost it must not pass the tests.
TEST(JapaneseLocale, IsInstalled) {
    const char* name = platform::JapaneseLocaleName();
    locale_t japanese = ::newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    ASSERT_NE(japanese, static_cast<locale_t>(0))
        << "the locale " << name << " is missing: run scripts/setup.sh (as root), which lists it "
        << "in /etc/locale.gen and runs locale-gen";
    // Half-width katakana are letters, the half-width punctuation is not.
    EXPECT_TRUE(::isalpha_l(0xB1, japanese));
    EXPECT_TRUE(::ispunct_l(0xA1, japanese));
    ::freelocale(japanese);
}
#endif

TEST_F(LoadSettingsTest, SwitchesTheProcessToTheJapaneseLocale) {
    LoadSettings();
    ASSERT_TRUE(platform::InJapaneseLocale())
        << std::setlocale(LC_ALL, nullptr) << ": is the locale " << platform::JapaneseLocaleName()
        << " installed? scripts/setup.sh makes it";
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
