// Prints the C library's classification of every byte under the Japanese
// locale: glibc's ja_JP.sjis on Linux, the C runtime's "japanese" (code page
// 932) on Windows. `make ctype-table` runs both and shows where they differ
// (docs/platforms.md).
//
// Each line: the byte in hex and one letter per class, '-' where the class
// does not take it: a alpha, n alnum, p punct, s space, U upper, l lower,
// d digit, x xdigit, c cntrl, r print, g graph, b blank.
#include <cctype>
#include <clocale>
#include <cstdio>
#if !defined(_WIN32)
#include <locale.h>
#endif

int main() {
#if defined(_WIN32)
    const char* name = std::setlocale(LC_ALL, "japanese");
#define CLASS(f, c) f(c)
#else
    const locale_t japanese = ::newlocale(LC_ALL_MASK, "ja_JP.sjis", static_cast<locale_t>(0));
    const char* name = japanese != static_cast<locale_t>(0) ? "ja_JP.sjis" : nullptr;
#define CLASS(f, c) f##_l(c, japanese)
#endif
    if (name == nullptr) {
        std::fprintf(stderr, "ctype_table: no Japanese locale\n");
        return 1;
    }
    std::printf("# %s\n", name);
    for (int c = 0; c < 256; ++c) {
        std::printf("%02X %c%c%c%c%c%c%c%c%c%c%c%c\n", c, CLASS(isalpha, c) ? 'a' : '-',
                    CLASS(isalnum, c) ? 'n' : '-', CLASS(ispunct, c) ? 'p' : '-',
                    CLASS(isspace, c) ? 's' : '-', CLASS(isupper, c) ? 'U' : '-',
                    CLASS(islower, c) ? 'l' : '-', CLASS(isdigit, c) ? 'd' : '-',
                    CLASS(isxdigit, c) ? 'x' : '-', CLASS(iscntrl, c) ? 'c' : '-',
                    CLASS(isprint, c) ? 'r' : '-', CLASS(isgraph, c) ? 'g' : '-',
                    CLASS(isblank, c) ? 'b' : '-');
    }
    return 0;
}
