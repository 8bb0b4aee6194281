// regex_stack: does the standard library's regex engine, given PATTERN and
// a title of LENGTH bytes in the shape that makes it recurse deepest, fit
// a thread stack of STACK_KIB KiB? Prints "fits" and exits 0; a stack
// overflow kills the process, or at least the thread, and exits non-zero. scripts/regex-stack.sh runs it to
// find the longest title that fits, natively or under an emulator.
//
//   regex_stack STACK_KIB PATTERN LENGTH
//   regex_stack STACK_KIB --longest PATTERN    (Windows only)
//
// --longest finds the longest title that fits by bisection inside the one
// process, each probe on a thread of its own: Windows ends only the thread
// whose stack overflowed, so where every program start is slow (32-bit
// Wine under emulation) one start measures a pattern. Prints "longest N".
//
// The title is "(" followed by LENGTH - 1 bytes "x": nothing closes the
// parenthesis, so a repeat inside the pattern runs to the title's end and
// the engine is at its deepest there. The engine is called directly, with
// the library's own limits (title/pattern_limits.h) bypassed.
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace {

struct Job {
    std::string pattern;
    std::string title;
    bool matched = false;
    bool finished = false;  // a thread that overflowed never sets it
};

void Run(Job& job) {
    const std::regex pattern(job.pattern, std::regex::ECMAScript);
    job.matched = std::regex_search(job.title, pattern);
    job.finished = true;
}

#if defined(_WIN32)
DWORD WINAPI ThreadMain(LPVOID argument) {
    Run(*static_cast<Job*>(argument));
    return 0;
}

bool OnStack(size_t bytes, Job& job) {
    // A reservation of exactly this size, as a thread created with the
    // default size gets from its executable's header.
    HANDLE thread = CreateThread(nullptr, bytes, ThreadMain, &job,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) return false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return true;
}
#else
void* ThreadMain(void* argument) {
    Run(*static_cast<Job*>(argument));
    return nullptr;
}

bool OnStack(size_t bytes, Job& job) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (pthread_attr_setstacksize(&attributes, bytes) != 0) return false;
    pthread_t thread;
    if (pthread_create(&thread, &attributes, ThreadMain, &job) != 0) return false;
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    return true;
}
#endif

}  // namespace

#if defined(_WIN32)
// The longest title that fits, or 0.
size_t Longest(size_t stack, const std::string& pattern) {
    size_t low = 0, high = 262144;  // low fits (0 trivially), high does not
    while (high - low > 1) {
        const size_t middle = (low + high) / 2;
        Job job;
        job.pattern = pattern;
        job.title = "(" + std::string(middle - 1, 'x');
        if (OnStack(stack, job) && job.finished) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return low;
}
#endif

int main(int argc, char** argv) {
#if defined(_WIN32)
    if (argc == 4 && std::string(argv[2]) == "--longest") {
        const size_t stack = std::strtoul(argv[1], nullptr, 10) * 1024;
        std::printf("longest %zu\n", Longest(stack, argv[3]));
        std::fflush(stdout);
        return 0;
    }
#endif
    if (argc != 4) {
        std::fputs("usage: regex_stack STACK_KIB PATTERN LENGTH\n", stderr);
        return 2;
    }
    const size_t stack = std::strtoul(argv[1], nullptr, 10) * 1024;
    const size_t length = std::strtoul(argv[3], nullptr, 10);
    Job job;
    job.pattern = argv[2];
    job.title = "(" + std::string(length > 0 ? length - 1 : 0, 'x');
    if (!OnStack(stack, job)) {
        std::fputs("regex_stack: cannot start a thread of that stack size\n", stderr);
        return 2;
    }
    // Some runtimes (wine among them) end only the thread whose stack
    // overflowed; the process goes on, but the job never finished.
    if (!job.finished) {
        std::printf("overflowed\n");
        std::fflush(stdout);  // a 32-bit Wine process may hang at exit after an overflow
        return 3;
    }
    std::printf("fits\n");
    std::fflush(stdout);
    return 0;
}
