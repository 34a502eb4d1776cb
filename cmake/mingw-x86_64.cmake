# 64-bit Windows build of the same sources, for a 64-bit vendor library one day, and
# the tests' fallback on a machine that cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
