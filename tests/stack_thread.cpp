#include "stack_thread.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace qtr::test {

namespace {

struct Job {
    const std::function<void()>* body;
    bool finished;
};

void Run(Job& job) {
    (*job.body)();
    job.finished = true;
}

}  // namespace

#if defined(_WIN32)
namespace {

// A thread routine is __stdcall on 32-bit Windows, which a lambda is not.
DWORD WINAPI StartJob(LPVOID argument) {
    Run(*static_cast<Job*>(argument));
    return 0;
}

}  // namespace

bool RunOnStack(size_t stackSize, const std::function<void()>& body) {
    Job job{&body, false};
    HANDLE thread = CreateThread(nullptr, stackSize, StartJob, &job,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) return false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return job.finished;
}
#else
bool RunOnStack(size_t stackSize, const std::function<void()>& body) {
    Job job{&body, false};
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_t thread;
    auto start = [](void* argument) -> void* {
        Run(*static_cast<Job*>(argument));
        return nullptr;
    };
    const bool started = pthread_attr_setstacksize(&attributes, stackSize) == 0 &&
                         pthread_create(&thread, &attributes, start, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) return false;
    pthread_join(thread, nullptr);
    return job.finished;
}
#endif

}  // namespace qtr::test
