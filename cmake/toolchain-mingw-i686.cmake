# Cross-build for 32-bit Windows (PE32, i386) with MinGW-w64 from Debian:
#   cmake -S . -B build/windows-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
# CTest runs its programs under the 32-bit Wine, in a Wine prefix of the
# build's own; on a machine whose kernel refuses 32-bit programs they are
# reported as skipped.
set(QTR_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --32 ${CMAKE_BINARY_DIR}/wine)
