# The Windows build of the plugin, lstq and the tests (MinGW-w64, see the
# toolchain files beside this one). Included by the top CMakeLists.txt once
# the targets exist.

# The C++ runtime goes inside each binary (libgcc, libstdc++, winpthread):
# the plugin imports nothing but Windows system DLLs.
foreach(target quillmarsh_to_Rookfable lstq)
  target_link_options(${target} PRIVATE -static)
endforeach()

# Reproducible deliverables: two builds of the same sources, in any
# directory, give the same bytes. The linker leaves the PE header's time
# stamp at zero, and no path of the build machine is compiled in (__FILE__
# in a library header, say).
foreach(target quillmarsh_to_Rookfable lstq)
  target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
endforeach()
target_compile_options(qtr_core PUBLIC
  -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
add_link_options(-static)  # the test programs made after this, too
target_sources(quillmarsh_to_Rookfable PRIVATE plugin/dllmain.cpp)
set_target_properties(quillmarsh_to_Rookfable PROPERTIES
  LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/plugin/quillmarsh_to_Rookfable.def)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # A 32-bit host may call with the stack aligned to 4 bytes only: any
  # function of ours that wants more (the vector key searches, should they
  # ever keep a vector on the stack) realigns it on entry.
  target_compile_options(qtr_core PUBLIC -mstackrealign)
endif()
# GCC for 64-bit Windows cannot realign the stack, yet it may keep a 32- or
# 64-byte vector there with an aligned move, which faults on a stack aligned
# to 16. The key searches are written to keep no vector on the stack; should
# a compiler keep one anyway, the assembler makes every such move an
# unaligned one (as fast on aligned data). check_dll.sh looks for them.
set_property(SOURCE list/scan.cpp APPEND PROPERTY COMPILE_OPTIONS -Wa,-muse-unaligned-vector-move)

# The deliverables, stripped, in QTR_DIST_DIR (the Makefile points it at
# dist/ or dist/x64/). The build directory keeps the unstripped DLL for the
# checks that need its symbols. strip writes the time of day into the PE
# header unless SOURCE_DATE_EPOCH says otherwise: 0, as the linker leaves it.
set(QTR_DIST_DIR ${CMAKE_BINARY_DIR}/dist CACHE PATH "Where the stripped DLL and lstq.exe go")
add_custom_command(TARGET quillmarsh_to_Rookfable POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QTR_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_STRIP} --strip-all -o ${QTR_DIST_DIR}/quillmarsh_to_Rookfable.dll
          $<TARGET_FILE:quillmarsh_to_Rookfable>
  VERBATIM)
add_custom_command(TARGET lstq POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QTR_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_STRIP} --strip-all -o ${QTR_DIST_DIR}/lstq.exe $<TARGET_FILE:lstq>
  VERBATIM)

# GoogleTest from its sources, built by the cross compiler: only when the
# tests can run (an emulator is set), and when no GoogleTest is found.
set(QTR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows tests")
if(QTR_BUILD_TESTS AND CMAKE_CROSSCOMPILING_EMULATOR AND NOT TARGET GTest::gtest_main)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QTR_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
