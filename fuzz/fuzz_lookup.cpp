// The lookup with arbitrary list text and name: all four list functions,
// with the selectors 100, 99 and -1, and no settings file (the defaults).
//
// Input: one byte choosing the selector, one byte giving the name's
// length, the name, then the list text. Both are cut at their first NUL,
// as a host's strings would be.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_common.h"

using namespace qtr::fuzz;

namespace {

bool Holds(const std::string& text, const char* bytes) {
    return text.find_first_of(bytes) != std::string::npos;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const int32_t kSelectors[] = {100, 99, -1};
    const int32_t selector = kSelectors[data[0] % 3];
    const size_t nameLength = data[1] < size - 2 ? data[1] : size - 2;
    const std::string name(reinterpret_cast<const char*>(data) + 2, nameLength);
    const std::string list(reinterpret_cast<const char*>(data) + 2 + nameLength,
                           size - 2 - nameLength);
    const std::string listText = list.c_str();  // what the library sees

    const Answer title = Ask(GetTitle, list.c_str(), name.c_str(), selector);
    const Answer kana = Ask(GetKana, list.c_str(), name.c_str(), selector);
    const Answer maker = Ask(GetMaker, list.c_str(), name.c_str(), selector);
    const Answer version = Ask(GetVersion, list.c_str(), name.c_str(), selector);

    if (selector != 100) {
        Check(title.code == ResultNotFound && kana.code == ResultNotFound &&
                  maker.code == ResultNotFound && version.code == ResultNotFound,
              "a selector other than 100 is not found");
        return 0;
    }
    // The three fields are found or not found together.
    Check((title.code == ResultNotFound) == (kana.code == ResultNotFound) &&
              (kana.code == ResultNotFound) == (maker.code == ResultNotFound),
          "one entry for all fields");
    if (title.code == 0) {
        Check(!Holds(title.text, "\t\n"), "a title stays inside its field");
        Check(listText.find(title.text) != std::string::npos, "a title comes from the list");
    }
    if (kana.code == 0) Check(!Holds(kana.text, "\t\n"), "a kana stays inside its field");
    if (maker.code == 0) Check(!Holds(maker.text, "\r\n"), "a maker stays on its line");
    if (version.code == 0) {
        Check(title.code == 0 && title.text.find(version.text) != std::string::npos,
              "a version is part of the title");
    } else if (version.code == ResultNotFound) {
        Check(title.code == ResultNotFound, "GetVersion finds what GetTitle finds");
    }
    // Names are matched without regard to ASCII case.
    const std::string lowered = LowerAscii(name);
    if (lowered != name) {
        const Answer again = Ask(GetKana, list.c_str(), lowered.c_str(), selector);
        Check(again.code == kana.code && again.text == kana.text, "ASCII case does not matter");
    }
    return 0;
}
