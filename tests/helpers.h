// Shared by the test programs: driving an export the way a host does, and a
// working directory of the test's own with or without a settings file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "quillmarsh_to_Rookfable.h"

namespace qtr::test {

using ListFunction = QtrGetFieldFunc;

// What an export answered to a size query and then a fetch with exactly
// that room: the text, or the result code (as text, e.g. "code -512").
inline std::string Ask(ListFunction function, const std::string& list, const std::string& name,
                       int32_t selector = 100) {
    const int32_t room = function(list.c_str(), name.c_str(), selector, nullptr, 0);
    if (room < 0) return "code " + std::to_string(room);
    std::vector<char> buffer(static_cast<size_t>(room), '\x7F');
    char* data = buffer.data();
    const int32_t written = function(list.c_str(), name.c_str(), selector, &data, room);
    if (written < 0) return "code " + std::to_string(written);
    EXPECT_EQ(written, room - 1) << "fetch wrote less than the size query promised";
    EXPECT_EQ(buffer[static_cast<size_t>(written)], '\0');
    return std::string(data, static_cast<size_t>(written));
}

inline std::string Code(int32_t code) { return "code " + std::to_string(code); }

// Runs a test in a fresh, empty working directory of its own, and goes back
// when done. WriteSettings puts a settings file there.
class WorkingDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // One directory level: parameterised tests have a '/' in their names.
        std::string name = std::string("qtr-") + info->test_suite_name() + "-" + info->name();
        for (char& c : name) {
            if (c == '/') c = '-';
        }
        directory_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(directory_);
        std::filesystem::create_directories(directory_);
        std::filesystem::current_path(directory_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    void WriteSettings(const std::string& bytes) {
        std::ofstream file(directory_ / "quillmarsh_to_Rookfable.cfg", std::ios::binary);
        file << bytes;
    }
    std::filesystem::path directory_;
    std::filesystem::path previous_;
};

}  // namespace qtr::test
