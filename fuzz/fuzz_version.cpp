// The version and title path: an arbitrary title in a one-line list, under
// a pattern that is either one of the realistic ones below or arbitrary
// bytes from the input, with an index and both title modes.
//
// Input: one byte choosing the pattern (128 and above: the pattern is the
// input's bytes up to the first LF, and the title is cut to a short length
// so that a catastrophically backtracking pattern still ends quickly), one
// byte of index, one byte of mode, then the title.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_common.h"

using namespace qtr::fuzz;

namespace {

const char* const kPatterns[] = {
    "\\(.+?\\)",          "\\[.+?\\]",           "\\(.+\\)",
    "\\([^)]+\\)",        "\\(.*?\\)",           " \\(.+?\\)$",
    "\\(Rev [^)]*\\)",    "(\\(.+?\\)|\\[.+?\\])", "\\((.+?)\\)",
    "\\(.+?\\)\\s*$",     "[(\\[].+?[)\\]]",     "\\x81\\x69.+?\\x81\\x6a",
    "\x81\x69.+?\x81\x6A", "\\(\\d{4}\\)",        "v\\d+(\\.\\d+)*",
    "",                   "x*",                  "^.",
};
constexpr size_t kPatternCount = sizeof kPatterns / sizeof kPatterns[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    std::string pattern;
    if (data[0] < 128) {
        pattern = kPatterns[data[0] % kPatternCount];
    } else {
        const size_t lf = rest.find('\n');
        if (lf == std::string_view::npos) return 0;
        pattern = std::string(rest.substr(0, lf));
        rest.remove_prefix(lf + 1);
        if (!Tame(pattern)) return -1;
        if (rest.size() > kShortTitle) rest = rest.substr(0, kShortTitle);
    }
    // The title may hold any byte but the ones that end its field.
    std::string title(rest);
    for (char& c : title) {
        if (c == '\t' || c == '\n' || c == '\0') c = ' ';
    }
    const std::string list = "g\t" + title + "\tkana\tMaker\r\n";
    const std::string settings =
        pattern + "\n" + std::to_string(data[1] % 16) + "\n" + (data[2] & 1 ? "1" : "0") + "\n";
    // A pattern holding a line end would become more than one setting.
    if (pattern.find_first_of("\r\n") != std::string::npos) return -1;
    WriteSettings(settings);

    const Answer version = Ask(GetVersion, list.c_str(), "g", 100);
    const Answer cleaned = Ask(GetTitle, list.c_str(), "g", 100);
    Check(version.code == 0 || version.code == ResultNoField, "a version or none");
    Check(cleaned.code == 0, "the entry has a title");
    if (version.code == 0) {
        Check(title.find(version.text) != std::string::npos, "a version is part of the title");
    }
    if (data[2] & 1) {
        Check(cleaned.text.size() <= title.size(), "removing never adds");
        if (version.code != 0 || version.text.empty()) {
            Check(cleaned.text == title, "no version leaves the title untouched");
        }
    } else {
        Check(cleaned.text == title, "mode 0 gives the title as listed");
    }
    return 0;
}
