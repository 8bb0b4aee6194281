// Windows: the working directory in UTF-16 whatever its length, the
// settings file opened through the wide-character C runtime, the C
// runtime's Japanese locale, and the classification that regular
// expressions take from it.
//
// Nothing here throws but the first PatternLocale, which allocates (a
// failed allocation is std::bad_alloc, caught by the exports' guard).
#include <windows.h>
#include <share.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale>
#include <string>

#include "platform/narrow_cache.h"
#include "platform/platform.h"

namespace qtr::platform {

namespace {

// The current directory as GetCurrentDirectoryW gives it. When the first
// buffer is too small the call reports the size it needs, and is asked
// again with that; the directory may change in between, so this repeats.
bool CurrentDirectory(std::wstring& directory) {
    DWORD size = MAX_PATH + 1;
    for (int attempt = 0; attempt < 8; ++attempt) {
        directory.resize(size);
        const DWORD length = ::GetCurrentDirectoryW(size, &directory[0]);
        if (length == 0) return false;
        if (length < size) {
            directory.resize(length);
            return true;
        }
        size = length;  // too small: `length` is the room needed, terminator included
    }
    return false;
}

// The directory and the file name, joined by one backslash (a drive root
// such as "C:\" already ends in one).
std::wstring JoinWide(const std::wstring& directory, const char* fileName) {
    std::wstring path = directory;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    // The file names the library opens are ASCII.
    for (const char* p = fileName; *p != '\0'; ++p) path += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return path;
}

// A path of MAX_PATH characters or more opens only in its "\\?\" form on
// systems without long path support; a shorter one is left as it is.
std::wstring OpenablePath(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.compare(0, 4, L"\\\\?\\") == 0) return path;
    if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size,
                          nullptr, nullptr);
    return utf8;
}

// What msvcrt's setlocale reports once "japanese" is set.
constexpr const char* kReportedJapaneseLocale = "Japanese_Japan.932";

// Serialises the check and the switch of the locale: setlocale's answer
// lives in a buffer the next setlocale overwrites. A slim lock needs no
// construction and cannot fail.
SRWLOCK switching = SRWLOCK_INIT;

bool CurrentLocaleIsJapanese() {
    const char* current = std::setlocale(LC_ALL, nullptr);
    return current != nullptr && std::strcmp(current, kReportedJapaneseLocale) == 0;
}

}  // namespace

std::string WorkingDirectoryPath(const char* fileName) {
    std::wstring directory;
    if (!CurrentDirectory(directory)) directory.clear();
    return Utf8(JoinWide(directory, fileName));
}

long ReadWorkingDirectoryFile(const char* fileName, char* buffer, size_t capacity) {
    std::wstring directory;
    if (!CurrentDirectory(directory)) return -1;
    // Binary: the bytes as on disk, so that line ends are decided where
    // they are on every platform (ParseSettings); text mode would turn
    // CR LF into LF first, and CR CR LF into CR LF. The Ctrl-Z that text
    // mode stops at is TextLength's. Other programs may hold the file open
    // for reading or writing.
    FILE* file = ::_wfsopen(OpenablePath(JoinWide(directory, fileName)).c_str(), L"rb", _SH_DENYNO);
    if (file == nullptr) return -1;  // also a directory in the file's place
    const size_t count = std::fread(buffer, 1, capacity, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return -1;
    return static_cast<long>(count);
}

size_t TextLength(const char* bytes, size_t count) {
    constexpr char kCtrlZ = '\x1A';
    const void* end = std::memchr(bytes, kCtrlZ, count);
    return end == nullptr ? count : static_cast<size_t>(static_cast<const char*>(end) - bytes);
}

const char* JapaneseLocaleName() { return "japanese"; }

bool InJapaneseLocale() {
    AcquireSRWLockExclusive(&switching);
    const bool japanese = CurrentLocaleIsJapanese();
    ReleaseSRWLockExclusive(&switching);
    return japanese;
}

void SwitchToJapaneseLocale() {
    // Only the C runtime's locale (that of msvcrt.dll, shared by every
    // module of the process that uses it) is switched. The standard
    // library's global locale stays as it is: MinGW's libstdc++ knows no
    // named locale but "C" and throws for "japanese", and its global
    // locale would set the C runtime's back to "C".
    AcquireSRWLockExclusive(&switching);
    if (!CurrentLocaleIsJapanese()) std::setlocale(LC_ALL, JapaneseLocaleName());
    ReleaseSRWLockExclusive(&switching);
}

namespace {

// The C runtime's classification of every byte under its current locale,
// in the masks of the standard library's ctype<char>. (alnum and graph are
// unions of these masks, so they follow.)
void ReadClassification(std::ctype_base::mask* table) {
    using Ctype = std::ctype_base;
    for (int c = 0; c < 256; ++c) {
        Ctype::mask mask = 0;
        if (isupper(c)) mask |= Ctype::upper;
        if (islower(c)) mask |= Ctype::lower;
        if (isalpha(c)) mask |= Ctype::alpha;
        if (isdigit(c)) mask |= Ctype::digit;
        if (isxdigit(c)) mask |= Ctype::xdigit;
        if (isspace(c)) mask |= Ctype::space;
        if (isprint(c)) mask |= Ctype::print;
        if (iscntrl(c)) mask |= Ctype::cntrl;
        if (ispunct(c)) mask |= Ctype::punct;
        if (isblank(c)) mask |= Ctype::blank;
        table[c] = mask;
    }
}

// A ctype<char> over a table of ours. refs 1: no locale ever deletes it; it
// is a static object (the destructor is public for that alone).
class TableCtype : public std::ctype<char> {
public:
    explicit TableCtype(const mask* table) : std::ctype<char>(table, false, 1) {}
    ~TableCtype() override = default;
};

// MinGW's libstdc++ has only the classic locale, whose ctype<char> knows
// ASCII alone. The Japanese one is made here: the classic locale with a
// ctype<char> whose table is what the C runtime answers under "japanese"
// (code page 932: half-width katakana A6-DF are letters, A1-A5
// punctuation). The table and the facet are this module's own and live as
// long as it does.
std::locale BuildPatternLocale() {
    static std::ctype_base::mask table[std::ctype<char>::table_size];
    AcquireSRWLockExclusive(&switching);
    const bool japanese =
        CurrentLocaleIsJapanese() || std::setlocale(LC_ALL, JapaneseLocaleName()) != nullptr;
    if (japanese) ReadClassification(table);
    ReleaseSRWLockExclusive(&switching);
    if (!japanese) return std::locale::classic();
    static TableCtype facet(table);
    std::locale locale(std::locale::classic(), &facet);  // may throw std::bad_alloc
    // Filled before any other thread can see the facet.
    FillNarrowCache(locale);
    return locale;
}

}  // namespace

std::locale PatternLocale() {
    // Built by the first caller; the others wait for it once, and then only
    // copy it (no lock).
    static const std::locale locale = BuildPatternLocale();
    return locale;
}

}  // namespace qtr::platform
