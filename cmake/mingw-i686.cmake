# Cross toolchain: mingw-w64 for 32-bit Windows (i686). The product is a 32-bit in-process
# server, so every Windows binary is built for i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
