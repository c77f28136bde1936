# The version resources' numbers, from the one version number in VERSION (read by the top-level
# CMakeLists into PROJECT_VERSION). Resource scripts include the generated kit_version.h: a target
# with a version resource links kit_version.
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/VERSION)
set(KIT_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kit_version.h.in ${PROJECT_BINARY_DIR}/generated/kit_version.h @ONLY)
add_library(kit_version INTERFACE)
target_include_directories(kit_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
