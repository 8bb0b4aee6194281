// The plugin as a Windows host sees it: the DLL loaded by its path, the
// seven functions found by their plain names, driven with size query and
// fetch for entries of the Shift_JIS sample list, with the settings file in
// the working directory (a very long one, and one with a Japanese name).
//
//   test_host DLL LIST [GoogleTest options]
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

// A host includes windows.h, whose GetVersion clashes with the plugin's:
// it takes the header's function types and leaves out the prototypes.
#define QTR_NO_PROTOTYPES
#include "quillmarsh_to_Rookfable.h"

#include "helpers.h"

namespace {

using qtr::test::Ask;
using qtr::test::ListFunction;
using TextFunction = QtrGetTextFunc;
using VersionFunction = QtrGetPluginVersionFunc;

std::wstring gDllPath;
std::string gListPath;

std::wstring Wide(const std::string& text) {
    std::wstring wide;
    for (char c : text) wide += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// Counts the C++ exceptions thrown anywhere in the process. On x86-64
// Windows a C++ throw is a Windows exception with this code, raised before
// any handler runs, so a vectored handler sees every one, caught or not.
constexpr DWORD kGccThrow = 0x20474343;
std::atomic<int> gThrows{0};
LONG CALLBACK CountThrows(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode == kGccThrow) ++gThrows;
    return EXCEPTION_CONTINUE_SEARCH;
}

class Host : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = ::LoadLibraryW(gDllPath.c_str());
        ASSERT_NE(module_, nullptr) << "LoadLibraryW failed, error " << ::GetLastError();
        std::ifstream file(Wide(gListPath).c_str(), std::ios::binary);
        list_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    static void TearDownTestSuite() {
        if (module_ != nullptr) {
            EXPECT_TRUE(::FreeLibrary(module_));
        }
        module_ = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(module_, nullptr);
        ASSERT_FALSE(list_.empty()) << "cannot read " << gListPath;
        wchar_t previous[32768];
        ASSERT_GT(::GetCurrentDirectoryW(32768, previous), 0u);
        previous_ = previous;
        wchar_t temp[MAX_PATH + 1];
        ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::wstring(temp) + L"qtr-host-" + Wide(info->name());
        RemoveTree(root_);
        ASSERT_TRUE(::CreateDirectoryW(root_.c_str(), nullptr));
        EnterDirectory(root_);
    }
    void TearDown() override {
        ::SetCurrentDirectoryW(previous_.c_str());
        RemoveTree(root_);
    }

    template <typename F>
    static F Find(const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }
    static std::string AskList(const char* function, const char* name) {
        return Ask(Find<ListFunction>(function), list_, name);
    }

    // Makes `name` inside the current directory and goes into it.
    void Descend(const std::wstring& name) {
        wchar_t here[32768];
        ASSERT_GT(::GetCurrentDirectoryW(32768, here), 0u);
        const std::wstring next = LongForm(std::wstring(here) + L"\\" + name);
        ASSERT_TRUE(::CreateDirectoryW(next.c_str(), nullptr)) << "error " << ::GetLastError();
        EnterDirectory(next);
    }
    void EnterDirectory(const std::wstring& path) {
        ASSERT_TRUE(::SetCurrentDirectoryW(path.c_str())) << "error " << ::GetLastError();
    }
    // The settings file of the current directory, written with the wide API.
    void WriteSettings(const std::string& bytes) {
        wchar_t here[32768];
        ASSERT_GT(::GetCurrentDirectoryW(32768, here), 0u);
        const std::wstring path = LongForm(std::wstring(here) + L"\\quillmarsh_to_Rookfable.cfg");
        FILE* file = ::_wfopen(path.c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }

    static std::wstring LongForm(const std::wstring& path) {
        return path.size() < MAX_PATH || path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
    }
    // Removes a directory and all in it, through "\\?\" paths, which
    // std::filesystem cannot do for a tree this deep.
    static void RemoveTree(const std::wstring& path) {
        const std::wstring directory = LongForm(path);
        WIN32_FIND_DATAW entry;
        HANDLE find = ::FindFirstFileW((directory + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = directory + L"\\" + name;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(child);
                } else {
                    ::DeleteFileW(child.c_str());
                }
            } while (::FindNextFileW(find, &entry));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(directory.c_str());
    }

    static HMODULE module_;
    static std::string list_;
    std::wstring previous_;
    std::wstring root_;
};
HMODULE Host::module_ = nullptr;
std::string Host::list_;

const char* const kExports[] = {"GetPluginVersion", "GetPluginAuthor", "GetPluginInfo", "GetTitle",
                                "GetKana",          "GetMaker",        "GetVersion"};

TEST_F(Host, FindsTheSevenFunctionsByTheirPlainNames) {
    for (const char* name : kExports) EXPECT_NE(Find<void*>(name), nullptr) << name;
    EXPECT_EQ(Find<void*>("DllMain"), nullptr);
    EXPECT_EQ(Find<void*>("_GetTitle"), nullptr);
}

TEST_F(Host, VersionResourceAgreesWithGetPluginVersion) {
    const int32_t version = Find<VersionFunction>("GetPluginVersion")();
    EXPECT_EQ(version, 111);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(gDllPath.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(gDllPath.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD ms = (static_cast<DWORD>(version / 100) << 16) | static_cast<DWORD>(version / 10 % 10);
    const DWORD ls = static_cast<DWORD>(version % 10) << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
    wchar_t* description = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\FileDescription",
                                 reinterpret_cast<void**>(&description), &length));
    EXPECT_GT(length, 10u);
}

TEST_F(Host, AnswersForTheSampleListWithAndWithoutSettings) {
    EXPECT_EQ(Find<TextFunction>("GetPluginInfo")(nullptr, 0), 50);
    EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox (World) (Rev 2)");
    EXPECT_EQ(AskList("GetVersion", "AEROFOX"), "(Rev 2)");
    EXPECT_EQ(AskList("GetKana", "cloudkt"), "\x82\xad\x82\xe0\x82\xcc\x82\xab\x82\xb5");
    EXPECT_EQ(AskList("GetMaker", "cloudkt"), "Hanamizuki");
    EXPECT_EQ(AskList("GetMaker", "nosuch"), qtr::test::Code(-512));

    WriteSettings("\\(.+?\\)\r\n10\r\n1\r\n");
    EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox (World)");
    EXPECT_EQ(AskList("GetTitle", "mizuumi"), "\x8c\xce\x82\xcc\x89\xcc (Rev 3)");
    WriteSettings("\\[.+?\\]\r\n0\r\n1\r\n");
    EXPECT_EQ(AskList("GetVersion", "cloudkt"), "[v1.1]");
    EXPECT_EQ(AskList("GetTitle", "cloudkt"), "\x89\x5f\x82\xcc\x8b\x52\x8e\x6d  (Japan)");
}

TEST_F(Host, ReadsSettingsInAWorkingDirectoryLongerThan260Characters) {
    for (int i = 0; i < 8; ++i) Descend(std::wstring(40, static_cast<wchar_t>(L'a' + i)));
    wchar_t here[32768];
    ASSERT_GT(::GetCurrentDirectoryW(32768, here), static_cast<DWORD>(MAX_PATH));
    WriteSettings("\\(.+?\\)\n0\n1\n");
    EXPECT_EQ(AskList("GetVersion", "aerofox"), "(World)");
    EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox  (Rev 2)");
}

TEST_F(Host, ReadsSettingsInAWorkingDirectoryWithAJapaneseName) {
    Descend(L"\u8a2d\u5b9a\u306e\u30c6\u30b9\u30c8");  // "test of the settings"
    WriteSettings("\\(.+?\\)\n0\n1\n");
    EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox  (Rev 2)");
}

TEST_F(Host, ReadsSettingsAtADriveRoot) {
    // The root "C:\" ends in a backslash already: no second one is added.
    EnterDirectory(L"C:\\");
    WriteSettings("\\(.+?\\)\n0\n1\n");
    EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox  (Rev 2)");
    EXPECT_TRUE(::DeleteFileW(L"C:\\quillmarsh_to_Rookfable.cfg"));
}

TEST_F(Host, ReadsSettingsThatAnotherProgramHoldsOpenForWriting) {
    WriteSettings("\\(.+?\\)\n0\n1\n");
    HANDLE writer = ::CreateFileW(L"quillmarsh_to_Rookfable.cfg", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox  (Rev 2)");
    ::CloseHandle(writer);
}

TEST_F(Host, GetTitleLeavesTheCRuntimeInTheJapaneseLocale) {
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(AskList("GetTitle", "bluemoth"), "Blue Moth");
    const std::string name = std::setlocale(LC_ALL, nullptr);
    EXPECT_EQ(name.rfind("Japanese", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".932") << name;
    EXPECT_EQ(___lc_codepage_func(), 932u);
    // A wrong selector switches it too.
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(Find<ListFunction>("GetTitle")(list_.c_str(), "bluemoth", 99, nullptr, 0), -512);
    EXPECT_EQ(___lc_codepage_func(), 932u);
}

TEST_F(Host, NothingIsThrownOnTheNormalPaths) {
    PVOID handler = ::AddVectoredExceptionHandler(1, CountThrows);
    ASSERT_NE(handler, nullptr);
    gThrows = 0;
    char buffer[64];
    char* out = buffer;
    std::setlocale(LC_ALL, "C");
    // The usual mistakes in a pattern are found without the regex engine,
    // so they throw nothing either.
    for (const char* settings : {"", "\\(.+?\\)\r\n10\r\n1\r\n", "\\[.+?\\]\n0\n1\n", "\n\n\n",
                                 "(\n10\n1\n", "\\(.+?\n10\n1\n", "(.+?\n", "[a-\n", "*\n", "\\\n"}) {
        if (*settings) WriteSettings(settings);
        for (const char* function : {"GetTitle", "GetKana", "GetMaker", "GetVersion"}) {
            for (const char* name : {"aerofox", "cloudkt", "bluemoth", "nosuch"}) {
                AskList(function, name);
                Find<ListFunction>(function)(list_.c_str(), name, 99, &out, sizeof buffer);
            }
        }
    }
    Find<TextFunction>("GetPluginAuthor")(&out, sizeof buffer);
    Find<TextFunction>("GetPluginInfo")(&out, sizeof buffer);
    EXPECT_EQ(gThrows, 0);

    // What is left to throw: a pattern that only the engine can tell is
    // broken (here a reversed range). It is caught inside, and this shows
    // the counter sees throws from the DLL.
    WriteSettings("[z-a]\n10\n1\n");
    EXPECT_EQ(AskList("GetVersion", "aerofox"), qtr::test::Code(-768));
    EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox (World) (Rev 2)");
    EXPECT_GT(gThrows, 0);
    ::RemoveVectoredExceptionHandler(handler);
}

TEST_F(Host, ServesSeveralThreadsAtOnce) {
    WriteSettings("\\(.+?\\)\r\n10\r\n1\r\n");
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 100; ++i) {
                if (AskList("GetTitle", "aerofox") != "Aero Fox (World)") ++wrong;
                if (AskList("GetVersion", "drgnwake") != "(Rev A)") ++wrong;
                if (___lc_codepage_func() != 932u) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: test_host DLL LIST [GoogleTest options]\n");
        return 2;
    }
    gDllPath = Wide(argv[1]);
    gListPath = argv[2];
    return RUN_ALL_TESTS();
}
