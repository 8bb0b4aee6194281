// The load-time entry point. The library keeps no state, so there is
// nothing to set up or tear down: every notification (process and thread
// attach and detach) succeeds and nothing else happens.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
