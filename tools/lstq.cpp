// lstq: asks the plugin's own functions about entries of a list file, the
// way the host does, and prints the answers; with --check, explains the
// settings file of the current directory.
//
//   lstq [--utf8] LIST NAME...
//   lstq [--utf8] LIST --all
//   lstq [--utf8] --check [LIST [NAME...]]
//
// Every answer comes from the exported functions (or, for the explanations
// of --check, the library functions behind them), so lstq cannot disagree
// with the plugin. Answers are Shift_JIS bytes, printed unchanged unless
// --utf8 asks for them converted.
#include "tools/lstq.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <locale>
#include <string>
#include <unordered_map>
#include <vector>

#include "quillmarsh_to_Rookfable.h"
#include "tools/console.h"
#include "tools/sjis.h"

namespace qtr::lstq {

namespace {

constexpr int32_t kSelector = 100;

const char kUsage[] =
    "usage: lstq [--utf8] LIST NAME...\n"
    "       lstq [--utf8] LIST --all\n"
    "       lstq [--utf8] --check [LIST [NAME...]]\n"
    "\n"
    "Shows what the quillmarsh_to_Rookfable plugin answers, through the plugin's\n"
    "own code, with the settings file quillmarsh_to_Rookfable.cfg of the current\n"
    "directory, as the plugin reads it in the host's working directory.\n"
    "\n"
    "  LIST NAME...  the title, kana, maker and version of each NAME\n"
    "  --all         every entry of LIST, one tab-separated row each\n"
    "  --check       explains the settings file: where it was looked for, the\n"
    "                values in effect, whether the pattern compiles, common\n"
    "                mistakes; with LIST, the version candidates of a few\n"
    "                entries (the NAMEs, or the first five)\n"
    "  --utf8        print UTF-8 instead of the plugin's Shift_JIS\n"
    "  --help        this text\n"
    "\n"
    "Exit status: 0 every name found (--check: nothing to warn about),\n"
    "1 some name not found (--check: a warning), 2 usage or list file error.\n";

const char* CodeName(int32_t code) {
    switch (code) {
        case ResultNotFound: return "ResultNotFound";
        case ResultNoField: return "ResultNoField";
        case ResultNoMemory: return "ResultNoMemory";
        default: return "unknown result";
    }
}

struct Options {
    bool all = false;
    bool check = false;
    bool utf8 = false;
    std::vector<std::string> operands;
};

// False, with a message on `err`, for an unknown option or a wrong number
// of operands.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::ostream& err) {
    bool optionsEnd = false;
    for (const std::string& arg : args) {
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            options.operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--all") {
            options.all = true;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--utf8") {
            options.utf8 = true;
        } else {
            err << "lstq: unknown option " << arg << " (lstq --help lists them)\n";
            return false;
        }
    }
    const size_t count = options.operands.size();
    if (options.all && options.check) {
        err << "lstq: --all and --check do not go together\n";
    } else if (options.all && count != 1) {
        err << "lstq: --all takes one list file and no names\n";
    } else if (!options.all && !options.check && count < 2) {
        err << (count == 0 ? "lstq: no list file given\n" : "lstq: no name given\n");
    } else {
        return true;
    }
    err << "usage: lstq LIST NAME... | lstq LIST --all | lstq --check [LIST [NAME...]]\n";
    return false;
}

struct Field {
    const char* label;
    ListFunction function;
};
const Field kFields[] = {
    {"title", GetTitle}, {"kana", GetKana}, {"maker", GetMaker}, {"version", GetVersion}};

int RunNames(const std::string& list, const std::vector<std::string>& names, Output& output) {
    int status = ExitOk;
    for (const std::string& name : names) {
        Write(output, name + "\n");
        for (const Field& field : kFields) {
            const Answer answer = Ask(field.function, list.c_str(), name.c_str());
            if (answer.code == ResultNotFound) status = ExitNotFound;
            std::string line = "  ";
            line += field.label;
            line.append(9 - std::strlen(field.label), ' ');
            Write(output, line + Shown(answer) + "\n");
        }
    }
    return status;
}

// Shows "lstq: 12000/40000 entries" on the terminal, a few times a second.
struct Progress {
    std::ostream* err;  // null: no progress shown
    size_t total;
    std::chrono::steady_clock::time_point next;
};

void ShowProgress(Progress& progress, size_t done) {
    if (progress.err == nullptr || (done & 255) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < progress.next) return;
    progress.next = now + std::chrono::milliseconds(200);
    *progress.err << "\rlstq: " << done << "/" << progress.total << " entries" << std::flush;
}

void EndProgress(Progress& progress) {
    // Spaces rather than an escape sequence: not every Windows console
    // understands those.
    if (progress.err == nullptr) return;
    *progress.err << '\r' << std::string(60, ' ') << '\r' << std::flush;
}

// The line the plugin answers from for each name of the list. The lookup
// searches for LF, name, TAB first and tries the very first line only when
// that finds nothing: a name is answered from its first line after line 1,
// and from line 1 only when no later line has it.
std::unordered_map<std::string, size_t> AnsweringLines(const std::vector<std::string_view>& lines) {
    std::unordered_map<std::string, size_t> answering;
    std::string_view name;
    for (size_t k = 1; k < lines.size(); ++k) {
        if (EntryName(lines[k], name)) answering.emplace(name, k + 1);
    }
    if (!lines.empty() && EntryName(lines[0], name)) answering.emplace(name, 1);
    return answering;
}

// Every entry, one row each. The list is not handed whole to each call:
// an entry's fields never reach past its line, so its own line, given as
// the list text, gets the same answers, and the run takes time in
// proportion to the list rather than to its square. What the line alone
// cannot show is told apart: a line whose name another line answers for
// is never answered from, and a line without TAB is no entry.
int RunAll(const std::string& list, Output& output, std::ostream& err, bool showProgress) {
    const std::vector<std::string_view> lines = Lines(list);
    Progress progress{showProgress && lines.size() >= 2000 ? &err : nullptr, lines.size(),
                      std::chrono::steady_clock::now()};

    Write(output, "name\ttitle\tkana\tmaker\tversion\n");
    int status = ExitOk;
    const std::unordered_map<std::string, size_t> answering = AnsweringLines(lines);
    size_t notEntries = 0, firstNotEntry = 0, repeats = 0, notFound = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        const size_t lineNumber = k + 1;
        // The line alone, as the list text of the calls: a C string.
        const std::string line(lines[k]);
        ShowProgress(progress, lineNumber);

        std::string_view entryName;
        if (!EntryName(line, entryName)) {
            if (line.empty() || line == "\r") continue;
            if (notEntries++ == 0) firstNotEntry = lineNumber;
            continue;
        }
        const std::string name(entryName);
        std::string row = name;
        const size_t answeringLine = answering.at(name);
        if (answeringLine != lineNumber) {
            ++repeats;
            status = ExitNotFound;
            const std::string shadowed =
                "\t(line " + std::to_string(answeringLine) + " has this name)";
            for (int i = 0; i < 4; ++i) row += shadowed;
        } else {
            bool found = true;
            for (const Field& field : kFields) {
                const Answer answer = Ask(field.function, line.c_str(), name.c_str());
                found = found && answer.code != ResultNotFound;
                row += '\t';
                row += Shown(answer);
            }
            if (!found) {
                ++notFound;
                status = ExitNotFound;
            }
        }
        Write(output, row + "\n");
    }
    Flush(output);
    EndProgress(progress);

    if (repeats > 0) {
        err << "lstq: " << repeats << " entries have the name of another line, which the plugin"
            << " answers from instead\n";
    }
    if (notFound > 0) {
        err << "lstq: " << notFound << " entries cannot be found by their own name (names in"
            << " the list must be lower case)\n";
    }
    if (notEntries > 0) {
        err << "lstq: " << notEntries << " lines have no TAB and are no entry (the first is line "
            << firstNotEntry << ")\n";
    }
    return status;
}

}  // namespace

void Write(Output& output, std::string_view text) {
    output.pending.append(text.data(), text.size());
    if (output.pending.size() >= (64u << 10) && output.pending.back() == '\n') Flush(output);
}

void Flush(Output& output) {
    if (output.pending.empty()) return;
    if (!output.utf8 && !output.shiftJis) {
        for (const char c : output.pending) {
            if (static_cast<unsigned char>(c) >= 0x80) output.shiftJis = true;
        }
    }
    if (output.utf8) {
        output.stream << ShiftJisToUtf8(output.pending);
    } else {
        output.stream.write(output.pending.data(),
                            static_cast<std::streamsize>(output.pending.size()));
    }
    output.stream.flush();
    output.pending.clear();
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t lf = text.find('\n');
        lines.push_back(text.substr(0, lf));
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
    return lines;
}

bool EntryName(std::string_view line, std::string_view& name) {
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return false;
    name = line.substr(0, tab);
    return true;
}

void WriteUnconverted(Output& output, std::string_view text) {
    Flush(output);
    output.stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

bool ReadList(const std::string& path, std::string& list, std::ostream& err) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        err << "lstq: " << path << " is a directory, not a list file\n";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        err << "lstq: cannot open list file " << path << ": " << std::strerror(errno) << "\n";
        return false;
    }
    list.clear();
    char chunk[1 << 16];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) list.append(chunk, count);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        err << "lstq: cannot read list file " << path << "\n";
        return false;
    }

    // The host hands the plugin the list as a C string: a NUL byte would
    // end it there, and UTF-16 is full of them.
    const size_t nul = list.find('\0');
    if (nul != std::string::npos) {
        const Place place = PlaceOf(list, nul);
        err << "lstq: list file " << path << " holds a NUL byte (line " << place.line << ", byte "
            << place.column << "): it is not a Shift_JIS text; is it UTF-16?\n";
        return false;
    }
    if (LooksLikeUtf8(list)) {
        err << "lstq: list file " << path << " looks like UTF-8; the plugin reads Shift_JIS"
            << " (code page 932) only. Convert it, e.g.: iconv -f UTF-8 -t CP932\n";
        return false;
    }
    const ShiftJisCheck check = CheckShiftJis(list);
    if (!check.ok()) {
        const Place place = PlaceOf(list, check.offset);
        err << "lstq: list file " << path << " is not Shift_JIS: line " << place.line << ", byte "
            << place.column << ": " << check.problem << "\n";
        return false;
    }
    return true;
}

Answer Ask(ListFunction function, const char* list, const char* name) {
    // Most answers fit the first buffer, which spares the size query; one
    // that may have been cut is asked again the host's way, size first.
    std::vector<char> buffer(512);
    char* data = buffer.data();
    int32_t written = function(list, name, kSelector, &data, static_cast<int32_t>(buffer.size()));
    if (written < 0) return Answer{written, {}};
    if (static_cast<size_t>(written) + 1 == buffer.size()) {
        const int32_t room = function(list, name, kSelector, nullptr, 0);
        if (room < 0) return Answer{room, {}};
        buffer.assign(static_cast<size_t>(room), '\0');
        data = buffer.data();
        written = function(list, name, kSelector, &data, room);
        if (written < 0) return Answer{written, {}};
    }
    return Answer{0, std::string(data, static_cast<size_t>(written))};
}

std::string Shown(const Answer& answer) {
    if (answer.code < 0) return std::string("(") + CodeName(answer.code) + ")";
    return answer.text;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Terminal& terminal) {
    // The plugin's settings switch the process to the Japanese locale, whose
    // digit grouping would turn 3001 into 3,001 on a stream made after it.
    out.imbue(std::locale::classic());
    err.imbue(std::locale::classic());
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return ExitOk;
        }
    }
    Options options;
    if (!ParseOptions(args, options, err)) return ExitError;

    Output output{out, options.utf8, {}};
    try {
        int status;
        if (options.check) {
            status = RunCheck(options.operands, output, err);
        } else {
            std::string list;
            if (!ReadList(options.operands[0], list, err)) return ExitError;
            if (options.all) {
                status = RunAll(list, output, err, terminal.progress);
            } else {
                const std::vector<std::string> names(options.operands.begin() + 1,
                                                     options.operands.end());
                status = RunNames(list, names, output);
            }
        }
        Flush(output);
        if (terminal.utf8 && output.shiftJis) {
            err << "lstq: the answers are Shift_JIS, as the host gets them; add --utf8 to read"
                   " them on this terminal\n";
        }
        return status;
    } catch (const std::exception& e) {
        err << "lstq: " << e.what() << "\n";
        return ExitError;
    }
}

}  // namespace qtr::lstq
