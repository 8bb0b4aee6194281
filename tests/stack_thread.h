// Running a function on a thread with a stack of a chosen size, the size
// a host's thread may have. Kept apart from the tests because on Windows it
// needs <windows.h>, whose GetVersion clashes with the plugin's.
#pragma once

#include <cstddef>
#include <functional>

namespace qtr::test {

// Runs `body` on a new thread whose stack is `stackSize` bytes (on Windows
// a reservation of that size, as a thread of the default size gets) and
// waits for it. False when the thread could not start or did not finish:
// some runtimes (wine among them) end only the thread whose stack
// overflowed.
bool RunOnStack(size_t stackSize, const std::function<void()>& body);

}  // namespace qtr::test
