// Nothing is thrown on the normal paths of the exports: every C++ throw of
// this program goes through __wrap___cxa_throw (linked with
// --wrap=__cxa_throw), which counts it. The count works the same whatever
// the platform unwinds with, so this holds for the 32-bit Windows build,
// whose DWARF unwinding raises nothing a host could see.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <typeinfo>

#include "helpers.h"

namespace {

std::atomic<int> gThrows{0};

}  // namespace

extern "C" {
[[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*));
[[noreturn]] void __wrap___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*)) {
    ++gThrows;
    __real___cxa_throw(object, type, destroy);
}
}

namespace {

using qtr::test::Ask;

const std::string kList =
    "aerofox\tAero Fox (World) (Rev 2)\t\x82\xa0\tKestrel Soft\r\n"
    "cloudkt\t\x89\x5f [v1.1] (Japan)\tk\tHanamizuki\r\n"
    "bluemoth\tBlue Moth\tk\tm\r\n";

class Throws : public qtr::test::WorkingDirectory {};

TEST_F(Throws, NoneOnTheNormalPaths) {
    gThrows = 0;
    // The usual mistakes in a pattern are found without the regex engine,
    // so they throw nothing either.
    for (const char* settings : {"", "\\(.+?\\)\r\n10\r\n1\r\n", "\\[.+?\\]\n0\n1\n", "\n\n\n",
                                 "(\n10\n1\n", "\\(.+?\n10\n1\n", "(.+?\n", "[a-\n", "*\n", "\\\n"}) {
        if (*settings) WriteSettings(settings);
        for (auto function : {GetTitle, GetKana, GetMaker, GetVersion}) {
            for (const char* name : {"aerofox", "cloudkt", "bluemoth", "nosuch"}) {
                Ask(function, kList, name);
                Ask(function, kList, name, 99);
            }
        }
    }
    char buffer[64];
    char* out = buffer;
    GetPluginAuthor(&out, sizeof buffer);
    GetPluginInfo(&out, sizeof buffer);
    EXPECT_EQ(gThrows, 0);

    // What is left to throw: a pattern only the engine can tell is broken
    // (a reversed range). It is caught inside; the counter sees it.
    WriteSettings("[z-a]\n10\n1\n");
    EXPECT_EQ(Ask(GetVersion, kList, "aerofox"), qtr::test::Code(-768));
    EXPECT_EQ(Ask(GetTitle, kList, "aerofox"), "Aero Fox (World) (Rev 2)");
    EXPECT_GT(gThrows, 0);
}

}  // namespace
