// The plugin as a Windows host sees it: the DLL loaded by its path, the
// seven functions found by their plain names, driven with size query and
// fetch for entries of the Shift_JIS sample list, with the settings file in
// the working directory (a very long one, and one with a Japanese name).
//
//   test_host DLL LIST [--shared-runtime-first DLL | --shared-runtime-after DLL]
//             [GoogleTest options]
//
// The options load another plugin, one built against the shared C++
// runtime (libgcc_s), before or after this one, as a host with such a
// plugin does. The same program linked against the shared runtime itself
// is a host that has it from the start.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
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
enum class SharedRuntime { None, First, After };
SharedRuntime gSharedRuntime = SharedRuntime::None;
std::wstring gSharedRuntimePlugin;

std::wstring Wide(const std::string& text) {
    std::wstring wide;
    for (char c : text) wide += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

#if defined(__i386__)
const wchar_t* const kSharedRuntimeDll = L"libgcc_s_dw2-1.dll";
#else
const wchar_t* const kSharedRuntimeDll = L"libgcc_s_seh-1.dll";

// Counts the C++ exceptions thrown anywhere in the process. On x86-64
// Windows a C++ throw is a Windows exception with this code, raised before
// any handler runs, so a vectored handler sees every one, caught or not.
constexpr DWORD kGccThrow = 0x20474343;
std::atomic<int> gThrows{0};
LONG CALLBACK CountThrows(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode == kGccThrow) ++gThrows;
    return EXCEPTION_CONTINUE_SEARCH;
}
#endif

class Host : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (gSharedRuntime == SharedRuntime::First) LoadSharedRuntimePlugin();
        module_ = ::LoadLibraryW(gDllPath.c_str());
        ASSERT_NE(module_, nullptr) << "LoadLibraryW failed, error " << ::GetLastError();
        if (gSharedRuntime == SharedRuntime::After) LoadSharedRuntimePlugin();
        std::ifstream file(Wide(gListPath).c_str(), std::ios::binary);
        list_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    // The other plugin stays loaded for the whole run; it must work too.
    static void LoadSharedRuntimePlugin() {
        HMODULE other = ::LoadLibraryW(gSharedRuntimePlugin.c_str());
        ASSERT_NE(other, nullptr) << "cannot load the shared-runtime plugin, error " << ::GetLastError();
        using Probe = int(__cdecl*)(void);
        auto probe = reinterpret_cast<Probe>(reinterpret_cast<void*>(::GetProcAddress(other, "CatchesItsOwnThrow")));
        ASSERT_NE(probe, nullptr);
        ASSERT_EQ(probe(), 1);
        ASSERT_NE(::GetModuleHandleW(kSharedRuntimeDll), nullptr) << "the shared runtime is not loaded";
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
        // The process id too: the host programs run at once in one Wine prefix.
        root_ = std::wstring(temp) + L"qtr-host-" + Wide(info->name()) + L"-" +
                std::to_wstring(::GetCurrentProcessId());
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

// 32-bit DWARF unwinding raises no Windows exception to count: there,
// test_throws counts the throws of the library's code (as on every
// platform), and this test is not built.
#if !defined(__i386__)
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
#endif

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

// Patterns that only the regex engine can tell are broken: it throws, the
// library catches. Whatever the host has loaded, the answer is "no
// version" and GetTitle gives the title as listed.
TEST_F(Host, PatternsOnlyTheEngineRejectsMeanNoVersion) {
    for (const char* pattern :
         {"[z-a]", "a{2,1}", "[\\d-z]", "(?<x>a)", "\\1", "a{,2}", "\\p{L}", "^*", "(?<=a)b",
          "a{1,2", "[a-\\d]", "\\b+", "$+", "(?=a)*", "[[:nosuch:]]", "[[.xx.]]", "\\c", "\\x4",
          "\\u12", "a{99999}", "(?:a", "[b-a]x", "\\k<x>", "x{2}{3}"}) {
        WriteSettings(std::string(pattern) + "\n10\n1\n");
        EXPECT_EQ(AskList("GetVersion", "aerofox"), qtr::test::Code(-768)) << pattern;
        EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox (World) (Rev 2)") << pattern;
    }
    WriteSettings("\\(.+?\\)\n10\n1\n");
    EXPECT_EQ(AskList("GetTitle", "aerofox"), "Aero Fox (World)");
}

// The DLL's allocations, failed from outside: its imports of the C
// runtime's allocator are pointed at ones that fail on demand.
struct Allocator {
    void* (__cdecl* malloc)(size_t);
    void* (__cdecl* calloc)(size_t, size_t);
    void* (__cdecl* realloc)(void*, size_t);
};
Allocator gReal;
long gAllocations = 0;     // allocations since Failing::Start
long gFailFrom = 0;        // 0: none fails; n: the n-th fails (and, sustained, every later one)
bool gSustained = false;

bool FailNow() {
    ++gAllocations;
    if (gFailFrom == 0) return false;
    return gSustained ? gAllocations >= gFailFrom : gAllocations == gFailFrom;
}
void* __cdecl FailingMalloc(size_t size) { return FailNow() ? nullptr : gReal.malloc(size); }
void* __cdecl FailingCalloc(size_t count, size_t size) {
    return FailNow() ? nullptr : gReal.calloc(count, size);
}
void* __cdecl FailingRealloc(void* block, size_t size) {
    return FailNow() ? nullptr : gReal.realloc(block, size);
}

// Points the import `function` of `dll` in `module` at `replacement`;
// returns what it pointed at, or null.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         entry->Name != 0; ++entry) {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD protection = 0;
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(replacement);
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

class HostAllocation : public Host {
protected:
    void SetUp() override {
        Host::SetUp();
        gReal.malloc = reinterpret_cast<decltype(gReal.malloc)>(
            PatchImport(module_, "msvcrt.dll", "malloc", reinterpret_cast<void*>(&FailingMalloc)));
        gReal.calloc = reinterpret_cast<decltype(gReal.calloc)>(
            PatchImport(module_, "msvcrt.dll", "calloc", reinterpret_cast<void*>(&FailingCalloc)));
        gReal.realloc = reinterpret_cast<decltype(gReal.realloc)>(
            PatchImport(module_, "msvcrt.dll", "realloc", reinterpret_cast<void*>(&FailingRealloc)));
        ASSERT_NE(gReal.malloc, nullptr);
        ASSERT_NE(gReal.calloc, nullptr);
        ASSERT_NE(gReal.realloc, nullptr);
        gFailFrom = 0;
    }
    void TearDown() override {
        gFailFrom = 0;
        if (gReal.malloc) PatchImport(module_, "msvcrt.dll", "malloc", reinterpret_cast<void*>(gReal.malloc));
        if (gReal.calloc) PatchImport(module_, "msvcrt.dll", "calloc", reinterpret_cast<void*>(gReal.calloc));
        if (gReal.realloc) PatchImport(module_, "msvcrt.dll", "realloc", reinterpret_cast<void*>(gReal.realloc));
        Host::TearDown();
    }

    // One fetch into a large buffer, with the `n`-th allocation of the
    // call failing (and every later one, when sustained); 0: none fails.
    // (Sustained failure is not tested: it ends the process inside the
    // runtime, see docs/reliability.md.)
    // Returns the result, and the text when there is one.
    static std::string Fetch(const char* function, const char* name, long n, bool sustained) {
        char buffer[256];
        char* out = buffer;
        gAllocations = 0;
        gSustained = sustained;
        gFailFrom = n;
        const int32_t result = Find<ListFunction>(function)(list_.c_str(), name, 100, &out, sizeof buffer);
        gFailFrom = 0;
        if (result < 0) return qtr::test::Code(result);
        return std::string(buffer, static_cast<size_t>(result));
    }

    // Fails each allocation of the call in turn: every answer is the
    // normal one or ResultNoMemory, and the first failure is the latter.
    static void EachAllocationFails(const char* function, const char* name, bool sustained) {
        const std::string normal = Fetch(function, name, 0, false);
        const long count = gAllocations;
        ASSERT_GT(count, 0) << function << " allocates nothing: the test proves nothing";
        for (long n = 1; n <= count; ++n) {
            const std::string answer = Fetch(function, name, n, sustained);
            if (answer != normal) {
                EXPECT_EQ(answer, qtr::test::Code(-1024)) << function << ", allocation " << n << " of " << count;
            }
            if (n == 1) {
                EXPECT_EQ(answer, qtr::test::Code(-1024)) << function;
            }
        }
        EXPECT_EQ(Fetch(function, name, 0, false), normal) << "after the failures";
    }
};

TEST_F(HostAllocation, AnAllocationThatFailsGivesResultNoMemory) {
    WriteSettings("\\[.+?\\]\n0\n1\n");
    EXPECT_EQ(Fetch("GetVersion", "cloudkt", 0, false), "[v1.1]");
    EachAllocationFails("GetVersion", "cloudkt", false);
    EachAllocationFails("GetTitle", "cloudkt", false);
}

#if defined(__i386__)
// Calls `function` with `count` 32-bit arguments and the stack pointer at
// `offset` modulo 16 at the call, as a 32-bit host that keeps its stack
// aligned to 4 bytes only may do.
extern "C" int32_t CallWithStackAt(const void* function, const uint32_t* arguments, uint32_t count,
                                   uint32_t offset);
asm(R"(
    .text
    .globl _CallWithStackAt
_CallWithStackAt:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    leal 0(,%ecx,4), %edx
    movl %esp, %edi
    subl %edx, %edi
    subl $64, %edi
    andl $-16, %edi
    addl 20(%ebp), %edi
    movl %edi, %esp
    xorl %ebx, %ebx
1:  cmpl %ecx, %ebx
    jae 2f
    movl (%esi,%ebx,4), %eax
    movl %eax, (%edi,%ebx,4)
    incl %ebx
    jmp 1b
2:  call *8(%ebp)
    leal -12(%ebp), %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");

TEST_F(Host, EveryExportAnswersWithTheStackAlignedToFourBytes) {
    WriteSettings("\\[.+?\\]\n0\n1\n");
    const auto word = [](const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); };
    for (uint32_t offset : {0u, 4u, 8u, 12u}) {
        for (const char* function : {"GetTitle", "GetKana", "GetMaker", "GetVersion"}) {
            for (const char* name : {"cloudkt", "aerofox", "nosuch"}) {
                char buffer[128] = {};
                char* out = buffer;
                const uint32_t arguments[] = {word(list_.c_str()), word(name), 100, word(&out),
                                              sizeof buffer};
                const int32_t result = CallWithStackAt(Find<void*>(function), arguments, 5, offset);
                const std::string answer = result < 0 ? qtr::test::Code(result)
                                                      : std::string(buffer, static_cast<size_t>(result));
                EXPECT_EQ(answer, AskList(function, name)) << function << " " << name << " at " << offset;
            }
        }
        char buffer[128];
        char* out = buffer;
        const uint32_t text[] = {word(&out), sizeof buffer};
        EXPECT_EQ(CallWithStackAt(Find<void*>("GetPluginInfo"), text, 2, offset), 49);
        EXPECT_GT(CallWithStackAt(Find<void*>("GetPluginAuthor"), text, 2, offset), 0);
        EXPECT_EQ(CallWithStackAt(Find<void*>("GetPluginVersion"), nullptr, 0, offset), 111);
        // A throw inside, caught inside, on the misaligned stack.
        WriteSettings("[z-a]\n10\n1\n");
        const uint32_t version[] = {word(list_.c_str()), word("aerofox"), 100, word(&out), sizeof buffer};
        EXPECT_EQ(CallWithStackAt(Find<void*>("GetVersion"), version, 5, offset), -768);
        WriteSettings("\\[.+?\\]\n0\n1\n");
    }
}
#endif

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc == 5 && std::strcmp(argv[3], "--shared-runtime-first") == 0) {
        gSharedRuntime = SharedRuntime::First;
    } else if (argc == 5 && std::strcmp(argv[3], "--shared-runtime-after") == 0) {
        gSharedRuntime = SharedRuntime::After;
    } else if (argc != 3) {
        std::fprintf(stderr,
                     "usage: test_host DLL LIST [--shared-runtime-first DLL | --shared-runtime-after DLL]"
                     " [GoogleTest options]\n");
        return 2;
    }
    gDllPath = Wide(argv[1]);
    gListPath = argv[2];
    if (argc == 5) gSharedRuntimePlugin = Wide(argv[4]);
    return RUN_ALL_TESTS();
}
