// lstq: its exit statuses and errors, --all against the plugin's answers
// on the whole list, --utf8, and what --check warns about.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "helpers.h"
#include "quillmarsh_to_Rookfable.h"
#include "tools/console.h"
#include "tools/lstq.h"
#include "tools/sjis.h"

namespace qtr::lstq {
namespace {

struct Result {
    int status;
    std::string out, err;
};

Result RunLstq(const std::vector<std::string>& args, Terminal terminal = Terminal()) {
    std::ostringstream out, err;
    const int status = Run(args, out, err, terminal);
    return Result{status, out.str(), err.str()};
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

// A small list with the lines that a lookup of its own line could get
// wrong: a repeated name, an upper-case name, a short line, a line that is
// no entry, an empty line, a maker ending in LF alone before a line with a
// CR, a title longer than lstq's first buffer, and a last line without
// an end.
const std::string kList =
    "aerofox\tAero Fox (World) (Rev 2)\t\x82\xA6\x82\xA0\x82\xEB\tNorthwind\r\n"
    "Bigname\tUpper (Japan)\tk\tm\r\n"
    "lfonly\tLF Only (Japan) (Rev 1)\tk\tmaker lf\n"
    "no tab on this line\r\n"
    "\r\n"
    "aerofox\tSecond Aero Fox (US)\tk\tm\r\n"
    "short\tno closing tab\r\n"
    "\x89\x5f\tname in Shift_JIS (Japan)\tk\tm\r\n"
    "long\tLong " + std::string(600, 'x') + " (Rev L)\tk\tm\r\n"
    "tail\tTail (Rev C)\tk\tlast maker";

using LstqTest = test::WorkingDirectory;

// What a host gets for `name` on the whole of kList (size query, then
// fetch), in lstq's notation.
std::string HostAnswer(ListFunction function, const std::string& name) {
    const std::string answer = test::Ask(function, kList, name);
    if (answer == test::Code(ResultNotFound)) return "(ResultNotFound)";
    if (answer == test::Code(ResultNoField)) return "(ResultNoField)";
    return answer;
}

TEST_F(LstqTest, ExitStatusesAndErrors) {
    WriteFile("list.lst", kList);
    WriteFile("utf8.lst", "a\t\xE9\x9B\xB2 (Japan)\tk\tm\r\n");
    WriteFile("bad.lst", "a\tA\tk\tm\r\nb\tB \xFF\tk\tm\r\n");
    WriteFile("with-nul.lst", std::string("a\0\t\0", 4));  // not "nul.*": a device on Windows
    std::filesystem::create_directory("dir.lst");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;  // expected in err (or out for --help)
    } cases[] = {
        {{}, ExitError, "no list file given"},
        {{"list.lst"}, ExitError, "no name given"},
        {{"--nosuch", "list.lst", "a"}, ExitError, "unknown option --nosuch"},
        {{"--all", "list.lst", "a"}, ExitError, "--all takes one list file"},
        {{"--all", "--check", "list.lst"}, ExitError, "do not go together"},
        {{"missing.lst", "a"}, ExitError, "cannot open list file missing.lst"},
        {{"dir.lst", "a"}, ExitError, "dir.lst is a directory"},
        {{"utf8.lst", "a"}, ExitError, "looks like UTF-8"},
        {{"bad.lst", "a"}, ExitError, "line 2, byte 5: byte 0xFF is not Shift_JIS"},
        {{"with-nul.lst", "a"}, ExitError, "holds a NUL byte (line 1, byte 2)"},
        {{"--check", "missing.lst"}, ExitError, "cannot open list file"},
        {{"list.lst", "--help"}, ExitOk, "Exit status:"},
        {{"list.lst", "aerofox", "TAIL"}, ExitOk, ""},
        {{"list.lst", "aerofox", "nosuch"}, ExitNotFound, ""},
        {{"--", "list.lst", "aerofox"}, ExitOk, ""},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& arg : c.args) joined += arg + " ";
        const Result r = RunLstq(c.args);
        EXPECT_EQ(r.status, c.status) << joined;
        EXPECT_NE((r.err + r.out).find(c.message), std::string::npos) << joined << "\n" << r.err;
        if (c.status == ExitError) {
            EXPECT_EQ(r.out, "") << joined;
        }
    }
}

TEST_F(LstqTest, NamesShowTheFourAnswers) {
    WriteFile("list.lst", kList);
    // The lookup tries the first line last: line 6 answers for aerofox.
    const Result r = RunLstq({"list.lst", "AEROFOX", "short", "nosuch"});
    EXPECT_EQ(r.out,
              "AEROFOX\n"
              "  title    Second Aero Fox (US)\n"
              "  kana     k\n"
              "  maker    m\n"
              "  version  (US)\n"
              "short\n"
              "  title    (ResultNoField)\n"
              "  kana     (ResultNoField)\n"
              "  maker    (ResultNoField)\n"
              "  version  (ResultNoField)\n"
              "nosuch\n"
              "  title    (ResultNotFound)\n"
              "  kana     (ResultNotFound)\n"
              "  maker    (ResultNotFound)\n"
              "  version  (ResultNotFound)\n");
    EXPECT_EQ(r.status, ExitNotFound);
}

// Every row of --all, evaluated on the entry's line alone, is what the
// exports answer for that name on the whole list, whatever the settings.
TEST_F(LstqTest, AllAgreesWithTheWholeList) {
    WriteFile("list.lst", kList);
    for (const char* settings : {"", "\\(.+?\\)\r\n0\r\n1\r\n", "(\r\n10\r\n1\r\n"}) {
        if (*settings) WriteSettings(settings);
        const Result r = RunLstq({"list.lst", "--all"});
        EXPECT_EQ(r.status, ExitNotFound);  // the repeated and the upper-case names
        std::istringstream rows(r.out);
        std::string row;
        std::getline(rows, row);
        EXPECT_EQ(row, "name\ttitle\tkana\tmaker\tversion");
        std::vector<std::string> names;
        while (std::getline(rows, row)) {
            std::vector<std::string> cells;
            std::istringstream split(row);
            for (std::string cell; std::getline(split, cell, '\t');) cells.push_back(cell);
            ASSERT_EQ(cells.size(), 5u) << row;
            names.push_back(cells[0]);
            if (cells[1].rfind("(line ", 0) == 0) continue;  // repeated name, checked below
            const ListFunction functions[] = {GetTitle, GetKana, GetMaker, GetVersion};
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(cells[static_cast<size_t>(i) + 1], HostAnswer(functions[i], cells[0]))
                    << cells[0] << " column " << i + 1 << " settings " << settings;
            }
        }
        EXPECT_EQ(names, (std::vector<std::string>{"aerofox", "Bigname", "lfonly", "aerofox",
                                                   "short", "\x89\x5f", "long", "tail"}));
        EXPECT_EQ(r.out.find("aerofox\tAero Fox"), std::string::npos);
        EXPECT_NE(r.out.find("\naerofox\t(line 6 has this name)\t"), std::string::npos);
        EXPECT_NE(r.err.find("1 entries have the name of another line"), std::string::npos);
        EXPECT_NE(r.err.find("1 entries cannot be found by their own name"), std::string::npos);
        EXPECT_NE(r.err.find("1 lines have no TAB and are no entry (the first is line 4)"),
                  std::string::npos);
    }
}

TEST_F(LstqTest, AllShowsProgressOnlyOnATerminal) {
    std::string list;
    for (int i = 0; i < 3000; ++i) list += "n" + std::to_string(i) + "\tT (A)\tk\tm\r\n";
    WriteFile("long.lst", list);
    const Result quiet = RunLstq({"long.lst", "--all"});
    EXPECT_EQ(quiet.status, ExitOk);
    EXPECT_EQ(quiet.err, "");
    Terminal terminal;
    terminal.progress = true;
    const Result shown = RunLstq({"long.lst", "--all"}, terminal);
    EXPECT_EQ(shown.out, quiet.out);
    EXPECT_NE(shown.err.find("\rlstq: 256/3000 entries"), std::string::npos) << shown.err;
}

TEST_F(LstqTest, Utf8ConvertsTheAnswers) {
    WriteFile("list.lst", "fox\tFox\t\x82\xA6\x82\xA0\x82\xEB\tm\r\n");
    const Result r = RunLstq({"--utf8", "list.lst", "fox"});
    EXPECT_NE(r.out.find("  kana     \xE3\x81\x88\xE3\x81\x82\xE3\x82\x8D\n"), std::string::npos)
        << r.out;  // えあろ
#ifndef _WIN32
    // Bytes that are not Shift_JIS (lstq refuses such a list, but the
    // conversion itself must not stop or drop text) become U+FFFD.
    EXPECT_EQ(ShiftJisToUtf8("a\xFF\x62\x82"), "a\xEF\xBF\xBD\x62\xEF\xBF\xBD");  // a ? b ?
#endif
    EXPECT_EQ(ShiftJisToUtf8("\x89\x5f\x81\x79"), "\xE9\x9B\xB2\xE3\x80\x90");  // 雲【
    // Output is converted in large pieces; a long run must come out whole.
    std::string list;
    for (int i = 0; i < 5000; ++i) list += "n" + std::to_string(i) + "\t\x89\x5f\tk\tm\r\n";
    WriteFile("long.lst", list);
    const Result all = RunLstq({"--utf8", "long.lst", "--all"});
    size_t clouds = 0;
    for (size_t at = 0; (at = all.out.find("\xE9\x9B\xB2", at)) != std::string::npos; ++at) {
        ++clouds;
    }
    EXPECT_EQ(clouds, 5000u);
}

TEST_F(LstqTest, AUtf8TerminalGetsAHintAboutUtf8) {
    WriteFile("list.lst", kList);
    Terminal terminal;
    terminal.utf8 = true;
    const char* const hint = "add --utf8 to read them on this terminal";
    const Result shiftJis = RunLstq({"list.lst", "lfonly", "\x89\x5f"}, terminal);
    EXPECT_NE(shiftJis.err.find(hint), std::string::npos);
    EXPECT_EQ(RunLstq({"list.lst", "lfonly"}, terminal).err, "");  // all ASCII: nothing to say
    EXPECT_EQ(RunLstq({"--utf8", "list.lst", "\x89\x5f"}, terminal).err, "");
    EXPECT_EQ(RunLstq({"list.lst", "\x89\x5f"}).err, "");  // not a UTF-8 terminal
}

TEST(LstqText, ShiftJisAndUtf8Checks) {
    EXPECT_TRUE(CheckShiftJis("ascii \x89\x5f \xB1\xDF \x81\x40").ok());
    EXPECT_EQ(CheckShiftJis("ab\x80").offset, 2u);
    EXPECT_EQ(CheckShiftJis("ab\xA0").offset, 2u);
    EXPECT_EQ(CheckShiftJis("a\x82\x20").offset, 1u);  // a trail byte below 0x40
    EXPECT_EQ(CheckShiftJis("a\x82").offset, 1u);      // cut in half
    EXPECT_TRUE(LooksLikeUtf8("\xE3\x80\x90x"));
    EXPECT_TRUE(LooksLikeUtf8("\xEF\xBB\xBF\x61\x62\x63"));  // byte order mark, abc
    EXPECT_FALSE(LooksLikeUtf8("plain ascii"));
    EXPECT_FALSE(LooksLikeUtf8("\x81\x79\x91\xCC\x81\x7A"));  // 【体】 in Shift_JIS
    EXPECT_FALSE(LooksLikeUtf8("\xE0\x80\x80"));              // overlong
    EXPECT_EQ(RegexTrailBytes("\x83\x5C-\x81\x7C-\x81\x79-\\\\"), (std::vector<size_t>{0, 3}));
}

struct CheckCase {
    const char* label;
    std::string settings;  // empty: no file
    std::vector<const char*> expected;
    int status;
};

class CheckCases : public test::WorkingDirectory,
                   public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckCases, Explains) {
    const CheckCase& c = GetParam();
    if (!c.settings.empty()) WriteSettings(c.settings);
    const Result r = RunLstq({"--check"});
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_NE(r.out.find("settings file  " + (directory_ / "quillmarsh_to_Rookfable.cfg").string()),
              std::string::npos)
        << r.out;
    for (const char* text : c.expected) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CheckCases,
    ::testing::Values(
        CheckCase{"no file",
                  "",
                  {"not found: the defaults are in effect",
                   "pattern        \"\\(.+?\\)\"  (default)", "index          \"10\"  (default)",
                   "GetTitle gives the title as listed", "warnings       none"},
                  ExitOk},
        CheckCase{"sound file",
                  " \\[.+?\\]\r\n0\r\n1\r\n",
                  {"found, 3 lines read", "pattern        \" \\[.+?\\]\"\n               compiles",
                   "read as 0", "GetTitle removes the version", "warnings       none"},
                  ExitOk},
        CheckCase{"two lines",
                  "\\(.+?\\)\r\n0\r\n",
                  {"mode           \"0\"  (default)", "warnings       none"},
                  ExitOk},
        CheckCase{"does not compile",
                  "(\r\n10\r\n0\r\n",
                  {"does not compile: ", "so no entry has a version"},
                  ExitNotFound},
        CheckCase{"mode with a space",
                  "\\(.+?\\)\r\n10\r\n0 \r\n",
                  {"line 3 \"0 \" is not exactly \"0\": GetTitle removes the version"},
                  ExitNotFound},
        CheckCase{"mode 00", "p\n10\n00\n", {"line 3 \"00\" is not exactly \"0\""}, ExitNotFound},
        CheckCase{"mode ends in CR, no LF",
                  "p\n10\n0\r",
                  {"line 3 \"0\\r\" is not exactly"},
                  ExitNotFound},
        CheckCase{"empty mode", "p\n10\n\n", {"line 3 is empty, which is not \"0\""}, ExitNotFound},
        CheckCase{"index not a number",
                  "p\nabc\n0\n",
                  {"line 2 \"abc\" is not a plain number; it is read as 0"},
                  ExitNotFound},
        CheckCase{"index with a suffix", "p\n2x\n0\n", {"it is read as 2"}, ExitNotFound},
        CheckCase{"extra lines",
                  "p\r\n1\r\n0\r\n\r\nold pattern\r\n",
                  {"line 5 \"old pattern\" is ignored"},
                  ExitNotFound},
        CheckCase{"UTF-8 pattern",
                  "\xE3\x80\x90.+?\xE3\x80\x91\r\n10\r\n0\r\n",
                  {"the pattern looks like UTF-8"},
                  ExitNotFound},
        CheckCase{"byte order mark",
                  "\xEF\xBB\xBF\\(.+?\\)\r\n10\r\n0\r\n",
                  {"starts with a UTF-8 byte order mark"},
                  ExitNotFound},
        CheckCase{
            "UTF-16", std::string("\xFF\xFE(\0.\0\r\0\n\0", 10), {"holds NUL bytes"}, ExitNotFound},
        CheckCase{"not Shift_JIS",
                  "a\xFF\r\n10\r\n0\r\n",
                  {"not Shift_JIS at byte 2: byte 0xFF"},
                  ExitNotFound},
        CheckCase{"backslash trail byte",
                  "\x83\x5C\r\n10\r\n0\r\n",
                  {"does not compile", "(bytes 83 5C) ends in the byte '\\'",
                   "write the character as \\x83\\x5C"},
                  ExitNotFound},
        CheckCase{
            "empty pattern", "\r\n10\r\n1\r\n", {"the pattern (line 1) is empty"}, ExitNotFound},
        CheckCase{"starts with a bracket",
                  "\\[.+?\\]\r\n10\r\n1\r\n",
                  {"the pattern starts with '[', a byte that is also the second half"},
                  ExitNotFound},
        CheckCase{
            "empty match", "x*\r\n10\r\n1\r\n", {"the pattern can match empty text"}, ExitNotFound},
        CheckCase{"trailing space in pattern",
                  "\\(.+?\\) \r\n10\r\n1\r\n",
                  {"the pattern ends in a space"},
                  ExitNotFound}),
    [](const ::testing::TestParamInfo<CheckCase>& info) {
        std::string name;
        for (const char* p = info.param.label; *p; ++p) {
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return name;
    });

#ifndef _WIN32
TEST_F(LstqTest, Utf8LeavesPathsAlone) {
    // File names are the file system's bytes (UTF-8 here), not Shift_JIS.
    const std::filesystem::path named = directory_ / "\xE8\xA8\xAD\xE5\xAE\x9A";  // 設定
    std::filesystem::create_directory(named);
    std::filesystem::current_path(named);
    const Result r = RunLstq({"--check", "--utf8"});
    EXPECT_NE(
        r.out.find("settings file  " + (named / "quillmarsh_to_Rookfable.cfg").string() + "\n"),
        std::string::npos)
        << r.out;
}
#endif

TEST_F(LstqTest, CheckTellsAnUnreadableFileFromAMissingOne) {
    std::filesystem::create_directory(directory_ / "quillmarsh_to_Rookfable.cfg");
    const Result r = RunLstq({"--check"});
    EXPECT_EQ(r.status, ExitNotFound);
    EXPECT_NE(r.out.find("cannot be read: the defaults are in effect"), std::string::npos) << r.out;
}

// The advice --check gives for a character whose second byte is '\\'
// works: written as hex escapes, ソ matches and draws no warning.
TEST_F(LstqTest, CheckAdviceForABackslashByteWorks) {
    WriteFile("list.lst", "s\t\x83\x5C\x83\x74\x83\x67 [\x83\x5C] (Japan)\tk\tm\r\n");
    WriteSettings(" \\[\\x83\\x5C\\]\r\n10\r\n1\r\n");
    const Result r = RunLstq({"--check", "list.lst", "s"});
    EXPECT_EQ(r.status, ExitOk) << r.out;
    EXPECT_NE(r.out.find("  GetVersion   [\x83\x5C]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  GetTitle     \x83\x5C\x83\x74\x83\x67  (Japan)\n"), std::string::npos);
}

TEST_F(LstqTest, CheckPointsAtASettingsFileBesideTheList) {
    std::filesystem::create_directory("host");
    WriteFile("host/list.lst", kList);
    WriteFile("host/quillmarsh_to_Rookfable.cfg", "\\[.+?\\]\r\n");
    const Result r = RunLstq({"--check", "host/list.lst", "tail"});
    EXPECT_EQ(r.status, ExitNotFound);
    EXPECT_NE(r.out.find("there is one beside the list, "), std::string::npos) << r.out;
}

TEST_F(LstqTest, CheckPointsAtAMisnamedFile) {
    WriteFile("quillmarsh_to_Rookfable.cfg.txt", "\\[.+?\\]\r\n");
    const Result r = RunLstq({"--check"});
    EXPECT_EQ(r.status, ExitNotFound);
    EXPECT_NE(r.out.find("a file named quillmarsh_to_Rookfable.cfg.txt is here"), std::string::npos)
        << r.out;
}

TEST_F(LstqTest, CheckShowsTheCandidatesOfEntries) {
    WriteFile("list.lst", kList);
    WriteSettings("\\(.+?\\)\r\n0\r\n1\r\n");
    Result r = RunLstq({"--check", "list.lst", "lfonly", "nosuch"});
    EXPECT_EQ(r.status, ExitNotFound);  // nosuch
    const std::string entries = r.out.substr(r.out.find("\nentries of list.lst\n"));
    EXPECT_EQ(entries,
              "\nentries of list.lst\n"
              "lfonly\n"
              "  title field  LF Only (Japan) (Rev 1)\n"
              "  candidates   0: (Japan)  1: (Rev 1)\n"
              "  GetVersion   (Japan)  (candidate 0)\n"
              "  GetTitle     LF Only  (Rev 1)\n"  // removed where it was: two spaces
              "nosuch\n"
              "  title field  (ResultNotFound)\n");
    // Without names: the first five entries, as the plugin answers for
    // their names (Bigname cannot be found: names in a list are lower case).
    r = RunLstq({"--check", "list.lst"});
    EXPECT_EQ(r.status, ExitNotFound);
    EXPECT_NE(r.out.find("\nBigname\n  title field  (ResultNotFound)\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nshort\n  title field  (ResultNoField)\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\ntail\n"), std::string::npos);
}

}  // namespace
}  // namespace qtr::lstq
