// Making sure a C++ throw inside the library finds its own catch, whatever
// the host loaded before it (32-bit Windows; nothing to do elsewhere).
//
// The 32-bit toolchain unwinds with DWARF tables (.eh_frame) that must be
// registered with an unwinder before anything is thrown. The DLL carries
// its own unwinder (the runtime is linked in), but the start-up code
// registers the tables with the shared runtime, libgcc_s_dw2-1.dll, when
// that is already in the process: a host built against it, or another
// plugin of the host that was. The DLL's own unwinder then knows none of
// its frames, and its first throw, even one caught a few frames up, ends
// in std::terminate and takes the host with it.
//
// So, before anything can be thrown, the DLL asks its own unwinder for the
// frame of one of its functions; when there is none, it registers its own
// tables with it, once per process. Registering them with both unwinders
// is harmless: each only ever unwinds its own throws.
//
// On x86-64 Windows the tables are the system's (.pdata), found by the
// system for every module: nothing to do.
#include "platform/platform.h"

#if defined(__i386__) && !defined(__SEH__) && !defined(__USING_SJLJ_EXCEPTIONS__)

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace {

// The unwinder's own interface (libgcc's unwind-dw2-fde.h), linked in.
struct DwarfBases {
    void* tbase;
    void* dbase;
    void* func;
};

// Room for libgcc's `struct object`, which the unwinder fills in and links
// into its list: six words on this target; more is given.
struct alignas(8) UnwindObject {
    void* words[16];
};

}  // namespace

extern "C" const void* _Unwind_Find_FDE(void* pc, DwarfBases* bases);
extern "C" void __register_frame_info(const void* begin, UnwindObject* object);

namespace qtr::platform {

namespace {

// Each run of records that ends in a zero length word is registered with
// an object of its own; the tables of one image hold one or two.
constexpr int kMaxRuns = 8;
UnwindObject gObjects[kMaxRuns];

std::atomic<bool> gPrepared{false};
SRWLOCK gPreparing = SRWLOCK_INIT;

// The module this code is part of.
HMODULE OwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

bool Readable(const IMAGE_SECTION_HEADER& section) {
    const DWORD flags = section.Characteristics;
    return (flags & IMAGE_SCN_CNT_INITIALIZED_DATA) != 0 && (flags & IMAGE_SCN_MEM_READ) != 0 &&
           (flags & IMAGE_SCN_MEM_WRITE) == 0 && (flags & IMAGE_SCN_MEM_EXECUTE) == 0;
}

// The mapped image keeps only short section names: .eh_frame appears as
// "/4" (an offset into a string table that is not mapped), or as
// ".eh_fram" where long names were turned off. It is the read-only data
// section of that name whose first record is a version 1 CIE with a "z"
// augmentation.
bool LooksLikeFrameTables(const IMAGE_SECTION_HEADER& section, const unsigned char* data) {
    const char* name = reinterpret_cast<const char*>(section.Name);
    const bool named = name[0] == '/' || std::strncmp(name, ".eh_fram", 8) == 0;
    if (!named || !Readable(section) || section.Misc.VirtualSize < 12) return false;
    uint32_t length = 0;
    uint32_t id = 0;
    std::memcpy(&length, data, 4);
    std::memcpy(&id, data + 4, 4);
    return length >= 8 && length <= section.Misc.VirtualSize - 4 && id == 0 && data[8] == 1 &&
           data[9] == 'z';
}

// Registers each run of records of the tables [begin, end) that is closed
// by a zero word inside them. A run left open at the end is not registered:
// the unwinder would read past the section looking for its end.
void RegisterRuns(const unsigned char* begin, const unsigned char* end) {
    int runs = 0;
    const unsigned char* run = begin;
    const unsigned char* p = begin;
    while (end - p >= 4 && runs < kMaxRuns) {
        uint32_t length = 0;
        std::memcpy(&length, p, 4);
        if (length == 0) {
            if (p != run) __register_frame_info(run, &gObjects[runs++]);
            p += 4;
            run = p;
            continue;
        }
        // 0xFFFFFFFF announces 64-bit lengths, which this target never
        // writes; a record that overruns the section ends the walk.
        if (length == 0xFFFFFFFFu || length > static_cast<size_t>(end - p) - 4) return;
        p += 4 + length;
    }
}

void RegisterOwnFrameTables() {
    HMODULE module = OwnModule();
    if (module == nullptr) return;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return;
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const unsigned char* data = base + section->VirtualAddress;
        if (!LooksLikeFrameTables(*section, data)) continue;
        RegisterRuns(data, data + section->Misc.VirtualSize);
        return;
    }
}

// Any function of this module will do: its frame is either known to this
// module's unwinder or none is.
bool OwnUnwinderKnowsItsFrames() {
    DwarfBases bases;
    void* probe = reinterpret_cast<void*>(&RegisterOwnFrameTables);
    return _Unwind_Find_FDE(static_cast<char*>(probe) + 1, &bases) != nullptr;
}

}  // namespace

void PrepareExceptionHandling() {
    if (gPrepared.load(std::memory_order_acquire)) return;
    AcquireSRWLockExclusive(&gPreparing);
    if (!gPrepared.load(std::memory_order_relaxed)) {
        if (!OwnUnwinderKnowsItsFrames()) RegisterOwnFrameTables();
        gPrepared.store(true, std::memory_order_release);
    }
    ReleaseSRWLockExclusive(&gPreparing);
}

}  // namespace qtr::platform

#else

namespace qtr::platform {

void PrepareExceptionHandling() {}

}  // namespace qtr::platform

#endif
