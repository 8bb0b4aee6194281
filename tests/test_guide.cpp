// The user guide, run. Every settings file it shows is the file in
// examples/settings/ (Shift_JIS, CR LF), every answer it shows for the
// sample list is what the plugin answers, and every lstq transcript is what
// lstq prints. Editing the guide without the code, or the code without the
// guide, fails here.
//
// Marked blocks in docs/user-guide.md (and README.md):
//   <!-- example PATH|none --> a ```text block (the file) and a table of
//   answers (| `name` | `text` or "no version" or "not found" | ...), whose
//   header names the functions; ends with <!-- end example -->.
//   <!-- lstq cfg=PATH cwd=DIR status=N --> a ```console block whose first
//   line is "$ lstq ARGS" and the rest its output, with the working
//   directory shown as DIR; ends with <!-- end lstq -->.
// The Japanese readme of the Windows package has a plain-text form of the
// examples of its own (see the last test).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "helpers.h"
#include "quillmarsh_to_Rookfable.h"
#include "tools/console.h"
#include "tools/lstq.h"
#include "tools/sjis.h"

namespace qtr {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = QTR_SOURCE_DIR;

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << "cannot read " << path;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

struct Block {
    std::string document;
    size_t line;                                 // of the opening marker
    std::string kind;                            // "example" or "lstq"
    std::vector<std::string> words;              // of the opening marker
    std::vector<std::string> code;               // the first fenced block
    std::vector<std::vector<std::string>> rows;  // table rows, header first
};

std::vector<std::string> Words(const std::string& text) {
    std::istringstream split(text);
    std::vector<std::string> words;
    for (std::string word; split >> word;) words.push_back(word);
    return words;
}

// The cells of a table row, trimmed; a cell in backticks keeps its inner
// spaces.
std::vector<std::string> Cells(const std::string& row) {
    std::vector<std::string> cells;
    std::istringstream split(row.substr(1));
    for (std::string cell; std::getline(split, cell, '|');) {
        const size_t begin = cell.find_first_not_of(' ');
        const size_t end = cell.find_last_not_of(' ');
        cells.push_back(begin == std::string::npos ? "" : cell.substr(begin, end - begin + 1));
    }
    return cells;
}

std::vector<Block> Blocks(const std::string& document) {
    std::vector<Block> blocks;
    std::istringstream text(ReadBytes(kSource / document));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> words = Words(lines[i]);
        if (words.size() < 3 || words[0] != "<!--" || words.back() != "-->") continue;
        if (words[1] != "example" && words[1] != "lstq") continue;
        Block block{document, i + 1, words[1], {words.begin() + 2, words.end() - 1}, {}, {}};
        const std::string end = "<!-- end " + block.kind + " -->";
        bool inCode = false, codeDone = false;
        size_t j = i + 1;
        for (; j < lines.size() && lines[j] != end; ++j) {
            const std::string& line = lines[j];
            if (line.rfind("<!-- example", 0) == 0 || line.rfind("<!-- lstq", 0) == 0) {
                ADD_FAILURE() << document << ":" << i + 1 << ": no " << end << " before line "
                              << j + 1;
                break;
            }
            if (line.rfind("```", 0) == 0) {
                if (inCode) codeDone = true;
                inCode = !inCode && !codeDone;
            } else if (inCode) {
                block.code.push_back(line);
            } else if (line.rfind("|", 0) == 0 && line.rfind("|---", 0) != 0) {
                block.rows.push_back(Cells(line));
            }
        }
        EXPECT_LT(j, lines.size()) << document << ":" << i + 1 << ": no " << end;
        blocks.push_back(block);
        if (j < lines.size() && lines[j] == end) i = j;
    }
    return blocks;
}

std::map<std::string, std::string> Options(const Block& block) {
    std::map<std::string, std::string> options;
    for (const std::string& word : block.words) {
        const size_t equals = word.find('=');
        options[word.substr(0, equals)] =
            equals == std::string::npos ? "" : word.substr(equals + 1);
    }
    return options;
}

std::string Joined(const std::vector<std::string>& lines, const char* end) {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
}

// Runs each block in a fresh working directory of its own.
class Guide : public test::WorkingDirectory {
protected:
    void PlaceSettings(const std::string& path) {
        fs::remove(directory_ / "quillmarsh_to_Rookfable.cfg");
        if (path != "none") {
            fs::copy_file(kSource / path, directory_ / "quillmarsh_to_Rookfable.cfg");
        }
    }

    // The settings file at path (in examples/) is Shift_JIS with CR LF and,
    // converted, is the text a document shows.
    void CheckSettingsFile(const std::string& path, const std::vector<std::string>& shown) {
        const std::string bytes = ReadBytes(kSource / path);
        EXPECT_TRUE(lstq::CheckShiftJis(bytes).ok()) << path << " is not Shift_JIS";
        for (size_t at = 0; (at = bytes.find('\n', at)) != std::string::npos; ++at) {
            EXPECT_TRUE(at > 0 && bytes[at - 1] == '\r') << path << ": a line ends in LF alone";
        }
        EXPECT_EQ(lstq::ShiftJisToUtf8(bytes), Joined(shown, "\r\n"))
            << path << " differs from the document";
    }

    // What the plugin answers, as the guide's tables show it: `text`,
    // "no version" or "not found".
    static std::string Shown(const std::string& function, const std::string& name) {
        const std::map<std::string, lstq::ListFunction> functions = {{"GetTitle", GetTitle},
                                                                     {"GetKana", GetKana},
                                                                     {"GetMaker", GetMaker},
                                                                     {"GetVersion", GetVersion}};
        EXPECT_EQ(functions.count(function), 1u) << "no function " << function;
        if (functions.count(function) == 0) return "";
        static const std::string list = ReadBytes(kSource / "examples" / "mame_jp.lst");
        const lstq::Answer answer = lstq::Ask(functions.at(function), list.c_str(), name.c_str());
        if (answer.code == ResultNoField) return "no version";
        if (answer.code == ResultNotFound) return "not found";
        return "`" + lstq::ShiftJisToUtf8(answer.text) + "`";
    }

    void CheckExample(const Block& block) {
        ASSERT_EQ(block.words.size(), 1u);
        const std::string& path = block.words[0];
        PlaceSettings(path);
        if (path != "none") CheckSettingsFile(path, block.code);
        ASSERT_GE(block.rows.size(), 2u) << "no answers shown";
        const std::vector<std::string>& header = block.rows[0];
        for (size_t r = 1; r < block.rows.size(); ++r) {
            const std::vector<std::string>& row = block.rows[r];
            ASSERT_EQ(row.size(), header.size());
            const std::string name = row[0].substr(1, row[0].size() - 2);
            for (size_t c = 1; c < row.size(); ++c) {
                EXPECT_EQ(row[c], Shown(header[c], name))
                    << header[c] << " for " << name << " with " << path;
            }
        }
    }

    void CheckTranscript(const Block& block) {
        const std::map<std::string, std::string> options = Options(block);
        ASSERT_TRUE(options.count("cwd") && options.count("status"));
        PlaceSettings(options.count("cfg") ? options.at("cfg") : "none");
        fs::copy_file(kSource / "examples" / "mame_jp.lst", directory_ / "mame_jp.lst",
                      fs::copy_options::overwrite_existing);
        ASSERT_FALSE(block.code.empty());
        const std::vector<std::string> command = Words(block.code[0]);
        ASSERT_GE(command.size(), 2u);
        ASSERT_EQ(command[0] + " " + command[1], "$ lstq");
        const std::vector<std::string> args(command.begin() + 2, command.end());
        std::ostringstream out, err;
        const int status = lstq::Run(args, out, err, lstq::Terminal());
        EXPECT_EQ(std::to_string(status), options.at("status")) << err.str();

        // The guide shows a directory of its own in place of the test's.
        std::string printed = out.str();
        const std::string here = directory_.string(), shown = options.at("cwd");
        for (size_t at = 0; (at = printed.find(here, at)) != std::string::npos;
             at += shown.size()) {
            printed.replace(at, here.size(), shown);
        }
        EXPECT_EQ(printed, Joined({block.code.begin() + 1, block.code.end()}, "\n"));
    }
};

TEST_F(Guide, ExamplesAndTranscriptsAreWhatThePluginAnswers) {
    std::set<std::string> shown;
    bool transcript = false;
    for (const char* document : {"docs/user-guide.md", "README.md"}) {
        for (const Block& block : Blocks(document)) {
            SCOPED_TRACE(block.document + ":" + std::to_string(block.line));
            if (block.kind == "example") {
                CheckExample(block);
                if (!block.words.empty()) shown.insert(block.words[0]);
            } else {
                CheckTranscript(block);
                transcript = true;
            }
        }
    }
    EXPECT_TRUE(transcript) << "the guide shows no lstq transcript";
    // Every example settings file is shown, so none can drift unseen.
    for (const auto& entry : fs::directory_iterator(kSource / "examples" / "settings")) {
        const std::string path = "examples/settings/" + entry.path().filename().string();
        EXPECT_EQ(shown.count(path), 1u) << path << " is not shown in the guide";
    }
}

// The Japanese readme shipped in the Windows package (docs/readme-ja.txt,
// UTF-8 here, Shift_JIS in the package). A plain-text example there:
//   【設定例】examples\settings\NAME.cfg   (or 【設定例】なし: no settings file)
//       │LINE OF THE FILE                  (the file, one line each after │)
//       name  GetTitle   「ANSWER」          (or バージョンなし: no version)
//             GetVersion 「ANSWER」          (the name of the line above)
// and it ends at the next empty line.
TEST_F(Guide, JapaneseReadmeExamplesAreWhatThePluginAnswers) {
    const std::string marker = "【設定例】";
    const std::regex answerLine(R"(^ +(?:([a-z0-9]+) +)?(Get[A-Za-z]+) +(.*)$)");
    std::istringstream text(ReadBytes(kSource / "docs" / "readme-ja.txt"));
    std::set<std::string> shown;
    std::string path, name;
    std::vector<std::string> file;
    size_t number = 0, answers = 0;
    bool inBlock = false;
    auto finish = [&] {
        if (!inBlock) return;
        EXPECT_GT(answers, 0u) << path << ": no answers shown";
        if (path != "none") CheckSettingsFile(path, file);
        inBlock = false;
    };
    const std::string bar = "│";
    for (std::string line; std::getline(text, line);) {
        ++number;
        SCOPED_TRACE("docs/readme-ja.txt:" + std::to_string(number));
        if (line.rfind(marker, 0) == 0) {
            finish();
            path = line.substr(marker.size());
            path = path.rfind("なし", 0) == 0 ? "none" : path.substr(0, path.find(' '));
            for (char& c : path) {
                if (c == '\\') c = '/';
            }
            shown.insert(path);
            PlaceSettings(path);
            file.clear();
            answers = 0;
            name.clear();
            inBlock = true;
            continue;
        }
        if (!inBlock) continue;
        if (line.empty()) {
            finish();
            continue;
        }
        const size_t start = line.find_first_not_of(' ');
        std::smatch match;
        if (line.compare(start, bar.size(), bar) == 0) {
            EXPECT_EQ(answers, 0u) << "a file line among the answers";
            file.push_back(line.substr(start + bar.size()));
        } else if (std::regex_match(line, match, answerLine)) {
            if (match[1].matched) name = match[1];
            ASSERT_FALSE(name.empty()) << "an answer before any name";
            std::string answer = match[3];
            const std::string open = "「", close = "」";
            if (answer == "バージョンなし") {
                answer = "no version";
            } else if (answer == "見つからない") {
                answer = "not found";
            } else {
                ASSERT_TRUE(answer.size() > open.size() + close.size() &&
                            answer.rfind(open, 0) == 0 &&
                            answer.compare(answer.size() - close.size(), close.size(), close) == 0)
                    << "an answer is 「text」, バージョンなし or 見つからない: " << answer;
                answer = "`" +
                         answer.substr(open.size(), answer.size() - open.size() - close.size()) +
                         "`";
            }
            EXPECT_EQ(answer, Shown(match[2], name)) << match[2] << " for " << name << " with "
                                                     << path;
            ++answers;
        }
    }
    finish();
    EXPECT_EQ(shown.count("none"), 1u) << "the defaults are not shown";
    for (const auto& entry : fs::directory_iterator(kSource / "examples" / "settings")) {
        const std::string example = "examples/settings/" + entry.path().filename().string();
        EXPECT_EQ(shown.count(example), 1u) << example << " is not shown in readme-ja.txt";
    }
}

}  // namespace
}  // namespace qtr
