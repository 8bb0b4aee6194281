# Cross-build for 32-bit Windows (PE32, i386) with MinGW-w64 from Debian:
#   cmake -S . -B build/windows-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
# No emulator: the programs of this build cannot run here (no 32-bit wine),
# so only the checks of the built files are its tests.
set(QTR_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
