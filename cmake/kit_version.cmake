# The version resources' numbers, from the one version number in VERSION (read by the top-level
# CMakeLists into PROJECT_VERSION). Resource scripts, and the tests that read them back, include
# the generated kit_version.h: a target with a version resource links kit_version, and its .rc
# names KIT_VERSION_HEADER among its OBJECT_DEPENDS (windres writes no dependency file, so the
# build cannot see the include by itself, and a new VERSION would leave the old numbers in place).
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/VERSION)
# A version resource holds each part in 16 bits.
foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)
  if(PROJECT_VERSION_${part} GREATER 65535)
    message(FATAL_ERROR "VERSION ${PROJECT_VERSION}: each part must be at most 65535")
  endif()
endforeach()
set(KIT_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
set(KIT_VERSION_HEADER ${PROJECT_BINARY_DIR}/generated/kit_version.h)
configure_file(${CMAKE_CURRENT_LIST_DIR}/kit_version.h.in ${KIT_VERSION_HEADER} @ONLY)
add_library(kit_version INTERFACE)
target_include_directories(kit_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
