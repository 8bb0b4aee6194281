// The result-buffer protocol and the plugin's identity.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/result.h"
#include "quillmarsh_to_Rookfable.h"

namespace qtr {
namespace {

struct CopyCase {
    std::string text;
    int32_t outSize;
    int32_t result;
    std::string written;  // the buffer's text after the call
};

class CopyResultCases : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyResultCases, WritesWhatFitsAndATerminator) {
    const CopyCase& c = GetParam();
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    char* out = buffer;
    EXPECT_EQ(CopyResult(c.text, &out, c.outSize), c.result);
    EXPECT_EQ(out, buffer) << "the caller's pointer is never changed";
    if (c.outSize > 0) {
        EXPECT_EQ(std::string(buffer), c.written);
        EXPECT_EQ(buffer[c.written.size() + 1], '#') << "wrote past the terminator";
    } else {
        EXPECT_EQ(buffer[0], '#') << "a size query writes nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Protocol, CopyResultCases,
                         ::testing::Values(CopyCase{"abcde", 0, 6, ""},
                                           CopyCase{"abcde", 6, 5, "abcde"},
                                           CopyCase{"abcde", 10, 5, "abcde"},
                                           CopyCase{"abcde", 5, 4, "abcd"},
                                           CopyCase{"abcde", 1, 0, ""},
                                           CopyCase{"", 0, 1, ""},
                                           CopyCase{"", 1, 0, ""},
                                           CopyCase{"", 8, 0, ""},
                                           // A faulty host's negative size: a size query.
                                           CopyCase{"abcde", -1, 6, ""},
                                           CopyCase{"abcde", INT32_MIN, 6, ""}));

TEST(CopyResult, MissingBufferIsNeverWritten) {
    EXPECT_EQ(CopyResult("abc", nullptr, 0), 4);
    EXPECT_EQ(CopyResult("abc", nullptr, 10), 4);
    char* none = nullptr;
    EXPECT_EQ(CopyResult("abc", &none, 10), 4);
}

const std::string kInfo =
    "quillmarsh\x82\xCC\x95\x94\x89\xAE\x82\xB3\x82\xF1\x82\xCC mame_jp.lst "
    "\x82\xF0\x94q\x8E\xD8\x82\xB5\x82\xDC\x82\xB7\x81\x42";

TEST(Identity, VersionInfoAndAuthor) {
    EXPECT_EQ(GetPluginVersion(), 111);
    ASSERT_EQ(kInfo.size(), 49u);

    EXPECT_EQ(GetPluginInfo(nullptr, 0), 50);
    char buffer[64];
    char* out = buffer;
    EXPECT_EQ(GetPluginInfo(&out, 50), 49);
    EXPECT_EQ(std::string(buffer), kInfo);
    // Cut inside a double-byte character: no repair.
    EXPECT_EQ(GetPluginInfo(&out, 12), 11);
    EXPECT_EQ(std::string(buffer), kInfo.substr(0, 11));
    EXPECT_EQ(static_cast<unsigned char>(buffer[10]), 0x82) << "a lead byte, its trail cut off";

    const int32_t room = GetPluginAuthor(nullptr, 0);
    ASSERT_GT(room, 4);
    ASSERT_LT(room, 64);
    EXPECT_EQ(GetPluginAuthor(&out, room), room - 1);
    const std::string author(buffer);
    EXPECT_EQ(author.size() + 1, static_cast<size_t>(room));
    EXPECT_NE(author.find(" - "), std::string::npos);
    EXPECT_NE(author.find(".example."), std::string::npos);
}

}  // namespace
}  // namespace qtr
