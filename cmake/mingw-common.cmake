# The part of the mingw-w64 toolchain files that does not depend on the target: the caller sets
# CMAKE_SYSTEM_PROCESSOR and MINGW_PREFIX first, then includes this file.
set(CMAKE_SYSTEM_NAME Windows)

# The posix threading flavour gives the tests std::thread; everything is linked statically, so
# no mingw runtime DLL ships with the binaries.
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run under Wine through the launcher, which keeps a prefix inside the build tree and picks
# Wine's 32- or 64-bit loader from the program's header.
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
