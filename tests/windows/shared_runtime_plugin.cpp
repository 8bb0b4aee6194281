// Another plugin of the host, built the way many are: against the shared
// C++ runtime (libgcc_s, libstdc++ and winpthread as DLLs). test_host
// loads it before or after ours; it throws and catches through that
// runtime, to show the runtime is really in use.
#include <stdexcept>

extern "C" __declspec(dllexport) int CatchesItsOwnThrow(void) {
    volatile int thrown = 1;
    try {
        if (thrown) throw std::runtime_error("thrown by the other plugin");
    } catch (const std::exception&) {
        return 1;
    }
    return 0;
}
