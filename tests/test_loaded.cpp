// The built plugin as a host sees it: loaded by path, its seven functions
// found by their plain names, and nothing else of it visible.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "helpers.h"

namespace {

using qtr::test::Ask;
using qtr::test::ListFunction;

class Loaded : public ::testing::Test {
protected:
    static void SetUpTestSuite() { handle_ = dlopen(QTR_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL); }
    template <typename F>
    static F Find(const char* name) {
        return reinterpret_cast<F>(dlsym(handle_, name));
    }
    static void* handle_;
};
void* Loaded::handle_ = nullptr;

TEST_F(Loaded, ExportsTheSevenFunctions) {
    ASSERT_NE(handle_, nullptr) << dlerror();
    for (const char* name : {"GetPluginVersion", "GetPluginAuthor", "GetPluginInfo", "GetTitle",
                             "GetKana", "GetMaker", "GetVersion"}) {
        EXPECT_NE(dlsym(handle_, name), nullptr) << name;
    }
    // Internals stay hidden.
    EXPECT_EQ(dlsym(handle_, "_ZN3qtr10CopyResultESt17basic_string_viewIcSt11char_traitsIcEEPPci"),
              nullptr);
}

TEST_F(Loaded, AnswersLikeAHostExpects) {
    ASSERT_NE(handle_, nullptr) << dlerror();
    EXPECT_EQ(Find<QtrGetPluginVersionFunc>("GetPluginVersion")(), 111);
    EXPECT_EQ(Find<QtrGetTextFunc>("GetPluginInfo")(nullptr, 0), 50);

    const std::string list =
        "a\tFirst (Rev 1)\tkana-a\tMaker A\r\n"
        "sf2\tHarbor Brawl II (World 880317)\t\x82\xB7\x82\xC6\tNorthwind\r\n";
    EXPECT_EQ(Ask(Find<ListFunction>("GetTitle"), list, "SF2"), "Harbor Brawl II (World 880317)");
    EXPECT_EQ(Ask(Find<ListFunction>("GetKana"), list, "sf2"), "\x82\xB7\x82\xC6");
    EXPECT_EQ(Ask(Find<ListFunction>("GetMaker"), list, "a"), "Maker A");
    EXPECT_EQ(Ask(Find<ListFunction>("GetVersion"), list, "a"), "(Rev 1)");
    EXPECT_EQ(Find<ListFunction>("GetMaker")(list.c_str(), "zz", 100, nullptr, 0), -512);
}

}  // namespace
