// What lstq needs from the terminal, the one part of the tool that differs
// between POSIX and Windows (console.cpp). The library knows nothing of it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace qtr::lstq {

// True when the stream is a terminal (a console on Windows).
bool IsTerminal(FILE* stream);

// True when the stream is a terminal that shows UTF-8: by the locale
// variables on POSIX, by the console's code page on Windows.
bool ShowsUtf8(FILE* stream);

// Shift_JIS (code page 932) bytes as UTF-8: iconv's CP932 on POSIX, the
// Windows code page conversion on Windows. A byte that is not Shift_JIS
// does not stop the conversion: it becomes U+FFFD (POSIX) or what the code
// page maps it to (Windows). Throws std::runtime_error when the conversion
// itself is missing.
std::string ShiftJisToUtf8(std::string_view text);

}  // namespace qtr::lstq
