# What both MinGW-w64 toolchain files share; QTR_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)

# The "posix" thread model: std::thread and std::mutex work (through
# winpthread, linked statically like the rest of the runtime).
set(CMAKE_C_COMPILER ${QTR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QTR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QTR_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${QTR_MINGW_TRIPLE}-objdump)
set(CMAKE_STRIP ${QTR_MINGW_TRIPLE}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${QTR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
