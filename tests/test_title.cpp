// GetTitle: the title field as it is, or with its version removed.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "helpers.h"
#include "platform/platform.h"
#include "quillmarsh_to_Rookfable.h"

namespace qtr {
namespace {

using test::Ask;
using test::Code;

using GetTitleTest = test::WorkingDirectory;

std::string OneLine(const std::string& title) { return "g\t" + title + "\tkana\tMaker\r\n"; }
std::string TitleOf(const std::string& title) { return Ask(GetTitle, OneLine(title), "g"); }

TEST_F(GetTitleTest, DefaultModeGivesTheFieldUnchanged) {
    EXPECT_EQ(TitleOf("  Name (Japan) (Rev A)  "), "  Name (Japan) (Rev A)  ");
    WriteSettings("\\(.+?\\)\n10\n0\n");
    EXPECT_EQ(TitleOf(" Name (Rev A) "), " Name (Rev A) ");
}

TEST_F(GetTitleTest, OtherModesRemoveTheVersion) {
    WriteSettings("\\(.+?\\)\r\n10\r\n1\r\n");
    const struct {
        const char* title;
        const char* cleaned;
    } cases[] = {
        {"Name (Japan) (Rev A)", "Name (Japan)"},
        {"A (X) B (X)", "A  B (X)"},  // the first occurrence of the last candidate
        {"Name  ", "Name  "},         // no version: untouched, untrimmed
        {"(Prototype)", ""},
        {" Name ( ) ", "Name"},
        {"\x83X\x83\x67 (Japan)", "\x83X\x83\x67"},
    };
    for (const auto& c : cases) EXPECT_EQ(TitleOf(c.title), c.cleaned) << c.title;
}

TEST_F(GetTitleTest, ModeIsCompareWithZeroAsAWholeLine) {
    for (const char* mode : {"0 ", "00", "", "yes"}) {
        WriteSettings(std::string("\\(.+?\\)\n10\n") + mode + "\n");
        EXPECT_EQ(TitleOf("Name (Rev A)"), "Name") << '"' << mode << '"';
    }
    WriteSettings("\\(.+?\\)\n0\n");  // no third line: the default "0"
    EXPECT_EQ(TitleOf("Name (Rev A)"), "Name (Rev A)");
}

TEST_F(GetTitleTest, BadPatternOrIndexLeavesTheTitle) {
    WriteSettings("(\n10\n1\n");
    EXPECT_EQ(TitleOf("Name (Rev A) "), "Name (Rev A) ");
    WriteSettings("\\(.+?\\)\n0\n1\n");
    EXPECT_EQ(TitleOf("Name (Japan) (Rev A)"), "Name  (Rev A)");
    WriteSettings(" +\n10\n1\n");  // a version of spaces counts as none
    EXPECT_EQ(TitleOf(" Name  A "), " Name  A ");
}

TEST_F(GetTitleTest, ErrorsOfTheLookupPassThrough) {
    for (const char* settings : {"", "\\(.+?\\)\n10\n1\n"}) {
        if (*settings) WriteSettings(settings);
        EXPECT_EQ(Ask(GetTitle, OneLine("Name (X)"), "g", 99), Code(ResultNotFound));
        EXPECT_EQ(Ask(GetTitle, OneLine("Name (X)"), "absent"), Code(ResultNotFound));
        EXPECT_EQ(Ask(GetTitle, "g\tno closing tab\r\n", "g"), Code(ResultNoField));
    }
}

TEST_F(GetTitleTest, EveryCallSwitchesTheLocaleEvenWithAWrongSelector) {
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(GetTitle(OneLine("T").c_str(), "g", 99, nullptr, 0), ResultNotFound);
    EXPECT_TRUE(platform::InJapaneseLocale()) << std::setlocale(LC_ALL, nullptr);
}

TEST_F(GetTitleTest, CutResultStaysInsideTheBuffer) {
    WriteSettings("\\(.+?\\)\n10\n1\n");
    const std::string list = OneLine("Name (Japan) (Rev A)");
    char buffer[8] = "#######";
    char* out = buffer;
    EXPECT_EQ(GetTitle(list.c_str(), "g", 100, &out, 5), 4);
    EXPECT_STREQ(buffer, "Name");
    EXPECT_EQ(buffer[5], '#');
    EXPECT_EQ(GetTitle(list.c_str(), "g", 100, &out, -5), 13) << "negative size: a size query";
    EXPECT_EQ(GetTitle(list.c_str(), "g", 100, nullptr, 8), 13) << "no buffer: a size query";
}

}  // namespace
}  // namespace qtr
