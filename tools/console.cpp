#include "tools/console.h"

#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace qtr::lstq {

#ifdef _WIN32

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

bool ShowsUtf8(FILE* stream) { return IsTerminal(stream) && GetConsoleOutputCP() == CP_UTF8; }

std::string ShiftJisToUtf8(std::string_view text) {
    if (text.empty()) return {};
    constexpr UINT kShiftJis = 932;
    const int length = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(kShiftJis, 0, text.data(), length, nullptr, 0);
    if (wide <= 0) throw std::runtime_error("code page 932 is not available");
    std::wstring utf16(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(kShiftJis, 0, text.data(), length, &utf16[0], wide);
    const int narrow =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, &utf8[0], narrow, nullptr, nullptr);
    return utf8;
}

#else

bool IsTerminal(FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

bool ShowsUtf8(FILE* stream) {
    if (!IsTerminal(stream)) return false;
    // The first of these that is set names the terminal's character set.
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        std::string lowered;
        for (const char* p = value; *p != '\0'; ++p) {
            lowered += (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p - 'A' + 'a') : *p;
        }
        return lowered.find("utf-8") != std::string::npos ||
               lowered.find("utf8") != std::string::npos;
    }
    return false;
}

std::string ShiftJisToUtf8(std::string_view text) {
    iconv_t converter = ::iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv cannot convert from CP932 on this system");
    }
    std::string utf8;
    utf8.reserve(text.size() * 3 / 2 + 16);
    char chunk[4096];
    // iconv's input pointer is not const on every system.
    std::string input(text);
    char* in = input.empty() ? nullptr : &input[0];
    size_t inLeft = input.size();
    while (inLeft > 0) {
        char* out = chunk;
        size_t outLeft = sizeof chunk;
        const size_t done = ::iconv(converter, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        utf8.append(chunk, static_cast<size_t>(out - chunk));
        if (done != static_cast<size_t>(-1)) continue;
        if (error == E2BIG) continue;
        // EILSEQ or EINVAL: a byte that is not Shift_JIS, shown as U+FFFD.
        utf8 += "\xEF\xBF\xBD";
        ++in;
        --inLeft;
    }
    ::iconv_close(converter);
    return utf8;
}

#endif

}  // namespace qtr::lstq
