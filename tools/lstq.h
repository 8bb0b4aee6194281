// lstq: what the plugin answers for entries of a list file, and why.
// The command itself (lstq.cpp), the settings check (check.cpp) and the
// main function (main.cpp) share these declarations; the tests drive Run
// directly.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "quillmarsh_to_Rookfable.h"

namespace qtr::lstq {

// Exit statuses, as documented in --help and the user guide.
enum ExitStatus : int {
    ExitOk = 0,        // every name found (--check: nothing to warn about)
    ExitNotFound = 1,  // some name not found (--check: some warning)
    ExitError = 2,     // usage error, or a list file that cannot be used
};

// What lstq's streams are connected to.
struct Terminal {
    bool progress = false;  // err is a terminal: show the progress of long runs
    bool utf8 = false;      // out is a terminal that shows UTF-8
};

// Runs lstq on its arguments (the program name left out): answers and
// reports go to `out`, errors to `err`.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Terminal& terminal);

// The Shift_JIS text lstq prints, converted to UTF-8 when asked, and
// written in large pieces (always after a whole line, so a character is
// never split).
struct Output {
    std::ostream& stream;
    bool utf8;
    std::string pending;
    bool shiftJis = false;  // some text beyond ASCII went out unconverted
};
void Write(Output& output, std::string_view text);
void Flush(Output& output);
// Text that is not Shift_JIS, such as a file name, written as it is.
void WriteUnconverted(Output& output, std::string_view text);

// Reads the list file at `path` and checks that the plugin can use it: it
// must be Shift_JIS and hold no NUL byte. On failure, says why on `err`
// and returns false.
bool ReadList(const std::string& path, std::string& list, std::ostream& err);

// The lines of a text as the plugin sees them, split at LF (a CR before
// it stays with its line); a final LF starts no further line.
std::vector<std::string_view> Lines(std::string_view text);

// The short name of a list line (the bytes before its first TAB), or false
// for a line without TAB, which is no entry.
bool EntryName(std::string_view line, std::string_view& name);

// An answer of one of the four list functions: the text, or the result
// code (negative).
struct Answer {
    int32_t code;
    std::string text;
};
using ListFunction = QtrGetFieldFunc;
Answer Ask(ListFunction function, const char* list, const char* name);

// The answer's text, or the code's name in parentheses: "(ResultNoField)".
std::string Shown(const Answer& answer);

// lstq --check [LIST [NAME...]]: see check.cpp.
int RunCheck(const std::vector<std::string>& operands, Output& output, std::ostream& err);

}  // namespace qtr::lstq
