// Memory followed by a page that cannot be read: a test puts a text right
// before it, and any read past the text's page faults at once.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace qtr::test {

class GuardedBuffer {
public:
    // At least `size` readable and writable bytes, ending at a page boundary.
    explicit GuardedBuffer(size_t size) {
#if defined(_WIN32)
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
#else
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
        readable_ = (size + page_ - 1) / page_ * page_;
#if defined(_WIN32)
        base_ = static_cast<char*>(VirtualAlloc(nullptr, readable_ + page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base_ == nullptr || !VirtualProtect(base_ + readable_, page_, PAGE_NOACCESS, &old)) std::abort();
#else
        void* memory = mmap(nullptr, readable_ + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED || mprotect(static_cast<char*>(memory) + readable_, page_, PROT_NONE) != 0) {
            std::abort();
        }
        base_ = static_cast<char*>(memory);
#endif
    }
    ~GuardedBuffer() {
#if defined(_WIN32)
        VirtualFree(base_, 0, MEM_RELEASE);
#else
        munmap(base_, readable_ + page_);
#endif
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    // The text and its NUL copied so that `gap` bytes lie between the NUL
    // and the guard page, filled with `filler` over and over (a search that
    // missed the NUL would find there what the filler holds); returns where
    // the text starts.
    const char* Place(const std::string& text, size_t gap, const std::string& filler = "\n") {
        if (text.size() + 1 + gap > readable_) std::abort();
        char* start = base_ + readable_ - gap - text.size() - 1;
        std::memcpy(start, text.c_str(), text.size() + 1);
        for (size_t i = 0; i < gap; ++i) start[text.size() + 1 + i] = filler[i % filler.size()];
        return start;
    }

    size_t PageSize() const { return page_; }

private:
    size_t page_ = 0;
    size_t readable_ = 0;
    char* base_ = nullptr;
};

}  // namespace qtr::test
