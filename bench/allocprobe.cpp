#include "bench/allocprobe.h"

#include <atomic>

#if defined(__GLIBC__)
#include <cerrno>
#include <cstdint>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}
#endif

namespace qtr::bench {

namespace {

std::atomic<bool> armed{false};
std::atomic<size_t> allocations{0};
std::atomic<size_t> largest{0};

}  // namespace

// Called from the allocator replacements below: must not allocate.
void NoteAllocation(size_t size) {
    if (!armed.load(std::memory_order_relaxed)) return;
    allocations.fetch_add(1, std::memory_order_relaxed);
    size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
}

#if defined(__GLIBC__)
bool AllocProbeAvailable() { return true; }
#else
bool AllocProbeAvailable() { return false; }
#endif

void ArmAllocProbe() {
    allocations.store(0);
    largest.store(0);
    armed.store(true);
}

AllocCounts DisarmAllocProbe() {
    armed.store(false);
    AllocCounts counts;
    counts.count = allocations.load();
    counts.largest = largest.load();
    return counts;
}

}  // namespace qtr::bench

#if defined(__GLIBC__)
// The program's own malloc family takes the place of the C library's for
// every caller in the process, the plugin loaded with dlopen included.
extern "C" {

void* malloc(size_t size) {
    qtr::bench::NoteAllocation(size);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    qtr::bench::NoteAllocation(count * size);
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    qtr::bench::NoteAllocation(size);
    return __libc_realloc(pointer, size);
}

void free(void* pointer) { __libc_free(pointer); }

void* memalign(size_t alignment, size_t size) {
    qtr::bench::NoteAllocation(size);
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    qtr::bench::NoteAllocation(size);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    qtr::bench::NoteAllocation(size);
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) return ENOMEM;
    *result = pointer;
    return 0;
}

}  // extern "C"
#endif
