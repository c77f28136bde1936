# Build options every target of the kit takes, as two interface targets instead of global flags:
#
#   kit_warnings    -Wall -Wextra -Werror
#   kit_sanitizers  the sanitizers KIT_SANITIZE asks for (native builds): "address" for
#                   ASan+UBSan, "thread" for TSan, empty for none
#
# Every library and program links both:
#   target_link_libraries(my_target PRIVATE kit_warnings kit_sanitizers)
# kit_check_targets() (called at the end of the top-level CMakeLists.txt) refuses a target of
# ours that does not, so a new folder cannot silently build without them. Third-party code built
# here (GoogleTest for the cross build) links neither.

add_library(kit_warnings INTERFACE)
target_compile_options(kit_warnings INTERFACE -Wall -Wextra -Werror)

set(KIT_SANITIZE "" CACHE STRING "Sanitizers for native builds: address (ASan+UBSan) or thread")
set_property(CACHE KIT_SANITIZE PROPERTY STRINGS "" address thread)
add_library(kit_sanitizers INTERFACE)
if(KIT_SANITIZE STREQUAL "address")
  target_compile_options(kit_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(kit_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(KIT_SANITIZE STREQUAL "thread")
  target_compile_options(kit_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(kit_sanitizers INTERFACE -fsanitize=thread)
elseif(NOT KIT_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KIT_SANITIZE must be empty, address or thread, not '${KIT_SANITIZE}'")
endif()

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

# Fails the configuration when a compiled target of ours does not link kit_warnings and
# kit_sanitizers.
function(kit_check_targets)
  kit_collect_targets(${PROJECT_SOURCE_DIR} targets)
  set(missing)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      continue()
    endif()
    get_target_property(third_party ${target} KIT_THIRD_PARTY)
    if(third_party)
      continue()
    endif()
    get_target_property(links ${target} LINK_LIBRARIES)
    if(NOT "kit_warnings" IN_LIST links OR NOT "kit_sanitizers" IN_LIST links)
      list(APPEND missing ${target})
    endif()
  endforeach()
  if(missing)
    list(JOIN missing ", " names)
    message(FATAL_ERROR "These targets do not link kit_warnings and kit_sanitizers: ${names}")
  endif()
endfunction()
