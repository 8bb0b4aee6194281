// The settings reader with arbitrary settings file bytes, then GetTitle
// and GetVersion for every entry of a small list under those settings.
//
// The titles are short and the pattern may hold few repeats, on purpose:
// see Tame.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_common.h"

using namespace qtr::fuzz;

namespace {

const char kList[] =
    "a\tN (J) (R)\tkana\tMaker\r\n"
    "b\tA(X) B(X)\t\x82\xA0\tMaker\r\n"
    "c\t\x83X [v1](\x94\xC5)\tk\tM\r\n"
    "d\t Plain  \tk\tM\n"
    "e\t\tk\tM\r\n"
    "f\t(Prototype)\tk\tM";

const char* const kNames[] = {"a", "b", "c", "d", "e", "f"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!Tame(bytes.substr(0, bytes.find('\n')))) return -1;
    WriteSettings(bytes);
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
