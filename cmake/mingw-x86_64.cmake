# Cross toolchain: mingw-w64 for 64-bit Windows (x86-64). The product is the i686 build
# (mingw-i686.cmake); this one builds the same Windows sources and tests as 64-bit programs, so
# the Windows layer can be exercised under 64-bit Wine on a machine that cannot run 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
