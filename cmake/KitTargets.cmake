# Build options every target of the kit takes, as two interface targets instead of global flags:
#
#   kit_warnings    -Wall -Wextra -Werror
#   kit_sanitizers  the sanitizers KIT_SANITIZE asks for (native builds): "address" for
#                   ASan+UBSan, "thread" for TSan, empty for none; with KIT_FUZZ (preset fuzz,
#                   clang) libFuzzer's coverage with ASan+UBSan instead
#
# Every library and program of ours is made with kit_add_library or kit_add_executable, which
# take add_library's and add_executable's arguments and link both privately; scripts/lint.sh
# refuses a plain add_library or add_executable in our CMake files. Third-party code built here
# (GoogleTest for the cross build) links neither.

add_library(kit_warnings INTERFACE)
target_compile_options(kit_warnings INTERFACE -Wall -Wextra -Werror)

set(KIT_SANITIZE "" CACHE STRING "Sanitizers for native builds: address (ASan+UBSan) or thread")
set_property(CACHE KIT_SANITIZE PROPERTY STRINGS "" address thread)
option(KIT_FUZZ "Build only the fuzz targets of fuzz/ and the code they drive (needs clang)" OFF)
add_library(kit_sanitizers INTERFACE)
if(KIT_FUZZ)
  if(NOT KIT_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KIT_FUZZ brings its own sanitizers: leave KIT_SANITIZE empty")
  endif()
  # The fuzz targets themselves add -fsanitize=fuzzer at link time (fuzz/CMakeLists.txt).
  target_compile_options(kit_sanitizers INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(kit_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(KIT_SANITIZE STREQUAL "address")
  target_compile_options(kit_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(kit_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(KIT_SANITIZE STREQUAL "thread")
  target_compile_options(kit_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(kit_sanitizers INTERFACE -fsanitize=thread)
elseif(NOT KIT_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KIT_SANITIZE must be empty, address or thread, not '${KIT_SANITIZE}'")
endif()

# add_library that links kit_warnings and kit_sanitizers (not for INTERFACE, ALIAS or IMPORTED
# libraries, which compile nothing).
function(kit_add_library name)
  add_library(${name} ${ARGN})
  if(NOT ARGV1 MATCHES "^(INTERFACE|ALIAS|IMPORTED)$")
    target_link_libraries(${name} PRIVATE kit_warnings kit_sanitizers)
  endif()
endfunction()

# add_executable that links kit_warnings and kit_sanitizers.
function(kit_add_executable name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kit_warnings kit_sanitizers)
endfunction()

# Every target defined in `dir` and the folders below it, into `out`.
function(kit_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    kit_collect_targets(${subdirectory} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()
