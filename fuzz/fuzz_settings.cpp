// The settings reader with arbitrary settings file bytes, then GetTitle
// and GetVersion for every entry of a small list under those settings.
//
// The titles are short on purpose: a pattern that backtracks
// catastrophically is the user's own choice and may take as long as the
// engine needs (docs/reliability.md); on titles of this length even those
// end within the fuzzer's timeout.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_common.h"

using namespace qtr::fuzz;

namespace {

const char kList[] =
    "a\tName (Japan) (Rev A)\tkana\tMaker\r\n"
    "b\tA (X) B (X)\t\x82\xA0\tMaker\r\n"
    "c\t\x83X\x83\x67 [v1.1] (\x94\xC5)\tk\tM\r\n"
    "d\t  Plain  \tk\tM\n"
    "e\t\tk\tM\r\n"
    "f\t(Prototype)\tk\tM";

const char* const kNames[] = {"a", "b", "c", "d", "e", "f"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const char* name : kNames) {
        const Answer title = Ask(GetTitle, kList, name, 100);
        const Answer version = Ask(GetVersion, kList, name, 100);
        Check(title.code == 0, "every entry has a title");
        Check(version.code == 0 || version.code == ResultNoField, "a version or none");
        // The title is the field, or the field with something taken out.
        Check(title.text.size() <= std::string_view(kList).size(), "a title is not longer");
    }
    Check(GetTitle(kList, "a", 99, nullptr, 0) == ResultNotFound, "selector 99");
    return 0;
}
