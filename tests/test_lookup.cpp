// Finding an entry and cutting out one field: GetKana, GetMaker and the
// title lookup behind GetTitle and GetVersion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "helpers.h"
#include "list/lookup.h"
#include "quillmarsh_to_Rookfable.h"

namespace qtr {
namespace {

using test::Ask;
using test::Code;

std::string Title(const std::string& list, const std::string& name, int32_t selector = 100) {
    return Ask([](const char* l, const char* n, int32_t s, char** o, int32_t z) {
        return LookupField(l, n, s, o, z, FieldTitle);
    }, list, name, selector);
}
std::string Kana(const std::string& list, const std::string& name) { return Ask(GetKana, list, name); }
std::string Maker(const std::string& list, const std::string& name) { return Ask(GetMaker, list, name); }

const std::string kNotFound = Code(ResultNotFound);
const std::string kNoField = Code(ResultNoField);

// A small list in the real file's form: Shift_JIS titles, CR LF.
const std::string kList =
    "3011\t3011 -Lantern Raid- (World)\t\x82\xA2\x82\xAB\x82\xE3\x82\xA4\tNorthwind\r\n"
    "sf2\tHarbor Brawl II (World 880317)\t\x82\xB7\x82\xC6\tNorthwind\r\n"
    "sf2j\t\x83X\x83\x67\x83\x8A\x81\x5B\x83g (Japan)\t\x82\xB7\x82\xC6\x82\xB6\tNorthwind\r\n"
    "zzz\tLast Entry\tkana\tMaker Co.\r\n";

TEST(Lookup, FindsEachFieldOfAnEntry) {
    EXPECT_EQ(Title(kList, "sf2"), "Harbor Brawl II (World 880317)");
    EXPECT_EQ(Kana(kList, "sf2"), "\x82\xB7\x82\xC6");
    EXPECT_EQ(Maker(kList, "sf2"), "Northwind") << "the CR ends the maker";
    EXPECT_EQ(Title(kList, "sf2j"), "\x83X\x83\x67\x83\x8A\x81\x5B\x83g (Japan)");
    EXPECT_EQ(Title(kList, "3011"), "3011 -Lantern Raid- (World)") << "first line, no LF before it";
    EXPECT_EQ(Maker(kList, "zzz"), "Maker Co.");
}

TEST(Lookup, NameIsMatchedWholeAndWithoutAsciiCase) {
    EXPECT_EQ(Title(kList, "SF2"), "Harbor Brawl II (World 880317)");
    EXPECT_EQ(Title(kList, "Sf2J"), "\x83X\x83\x67\x83\x8A\x81\x5B\x83g (Japan)");
    EXPECT_EQ(Title(kList, "sf"), kNotFound) << "a prefix of a longer name";
    EXPECT_EQ(Title(kList, "\x82\xB7\x82\xC6"), kNotFound) << "only inside another field";
    EXPECT_EQ(Title(kList, "World"), kNotFound);
    EXPECT_EQ(Title(kList, "northwind"), kNotFound);
    // Only A-Z are lowered: a byte of 0x80 and above is compared as it is.
    EXPECT_EQ(Title("\xC4x\tT\tK\tM\r\n", "\xC4X"), "T");
    EXPECT_EQ(Title("\xE4x\tT\tK\tM\r\n", "\xC4x"), kNotFound);
}

TEST(Lookup, SelectorOtherThan100IsNotFound) {
    for (int32_t selector : {99, -1, 0, 101, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(Title(kList, "sf2", selector), kNotFound) << selector;
        EXPECT_EQ(Ask(GetKana, kList, "sf2", selector), kNotFound) << selector;
    }
}

TEST(Lookup, MakerEndsAtTheLineEndOrTheText) {
    EXPECT_EQ(Maker("sf2\tTitle\tKana\tMaker", "sf2"), "Maker");
    EXPECT_EQ(Maker("sf2\tTitle\tKana\tMaker\n", "sf2"), "Maker");
    // An LF-only line before a line with a CR: the maker stops at its own
    // LF and never takes in the next entry.
    EXPECT_EQ(Maker("sf2\tTitle\tKana\tMaker\nb\tT\tK\tM\r\n", "sf2"), "Maker");
    EXPECT_EQ(Maker("a\tT\tK\tM\nb\tT2\tK2\tM2\r\n", "a"), "M");
    EXPECT_EQ(Maker("a\tT\tK\t\r\n", "a"), "");
}

TEST(Lookup, FieldsNeverLeaveTheirLine) {
    const std::string list = "abc\tTitleOnly\nx\tT\tK\tM\r\n";
    EXPECT_EQ(Title(list, "abc"), kNoField);
    EXPECT_EQ(Kana(list, "abc"), kNoField);
    EXPECT_EQ(Maker(list, "abc"), kNoField);
    EXPECT_EQ(Kana(list, "x"), "K");

    const std::string last = "x\tT\tK\tM\r\nabc\tTitleOnly";
    EXPECT_EQ(Title(last, "abc"), kNoField);
    EXPECT_EQ(Kana(last, "abc"), kNoField);
    EXPECT_EQ(Maker(last, "abc"), kNoField);

    EXPECT_EQ(Kana("a\tT\tK\r\nb\tT\tK\tM\r\n", "a"), kNoField) << "kana needs its closing TAB";
    EXPECT_EQ(Maker("a\tT\tK\r\nb\tT\tK\tM\r\n", "a"), kNoField);
}

TEST(Lookup, EmptyFieldsAndSizeQueries) {
    const std::string list = "e\t\t\t\r\n";
    EXPECT_EQ(Title(list, "e"), "");
    EXPECT_EQ(GetKana(list.c_str(), "e", 100, nullptr, 0), 1);
    EXPECT_EQ(GetMaker(kList.c_str(), "sf2", 100, nullptr, 0), 10);
    // Only what fits is written, always terminated.
    char buffer[8] = "#######";
    char* out = buffer;
    EXPECT_EQ(GetMaker(kList.c_str(), "sf2", 100, &out, 5), 4);
    EXPECT_STREQ(buffer, "Nort");
    EXPECT_EQ(buffer[5], '#');
}

TEST(Lookup, FirstMatchingLineAfterAnLfWins) {
    // Duplicate names: the first one found through a preceding LF.
    const std::string list = "x\tFirst\tK\tM\nx\tSecond\tK\tM\nx\tThird\tK\tM\n";
    EXPECT_EQ(Title(list, "x"), "Second");
    EXPECT_EQ(Title("a\tA\tK\tM\na\tB\tK\tM\na\tC\tK\tM\n" + std::string("b\tT\tK\tM\n"), "b"), "T");
}

TEST(Lookup, TextEndsAtItsFirstNul) {
    const std::string list("a\tT\tK\tM\r\n\0b\tT\tK\tM\r\n", 20);
    EXPECT_EQ(Title(list, "a"), "T");
    EXPECT_EQ(GetTitle(list.c_str(), "b", 100, nullptr, 0), ResultNotFound);
}

TEST(Lookup, BadArgumentsAreNotFound) {
    char buffer[8] = "#######";
    char* out = buffer;
    EXPECT_EQ(GetKana(nullptr, "a", 100, &out, 8), ResultNotFound);
    EXPECT_EQ(GetKana("a\tT\tK\tM\n", nullptr, 100, &out, 8), ResultNotFound);
    EXPECT_EQ(GetMaker(nullptr, nullptr, 100, nullptr, 0), ResultNotFound);
    EXPECT_EQ(GetTitle(nullptr, "a", 100, &out, 8), ResultNotFound);
    EXPECT_EQ(GetVersion("a\tT\tK\tM\n", nullptr, 100, &out, 8), ResultNotFound);
    EXPECT_STREQ(buffer, "#######");
    // A name holding a byte that no entry's name can hold.
    const std::string list = "a\tb\tK\tM\na\nb\tT\tK\tM\n";
    for (const char* name : {"a\tb", "a\nb", "a\r", "\n", "\t"}) {
        EXPECT_EQ(Title(list, name), kNotFound) << name;
    }
    EXPECT_EQ(Title("", "a"), kNotFound);
    EXPECT_EQ(Title("no line end at all", "no"), kNotFound);
}

}  // namespace
}  // namespace qtr
