# GoogleTest for the cross build: Debian ships its sources (package googletest); they are
# compiled here with mingw-w64 into static libraries that the Windows test programs link.
set(KIT_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${KIT_GTEST_SRC}/googletest/src/gtest-all.cc)
  message(FATAL_ERROR "GoogleTest sources not found in ${KIT_GTEST_SRC} (install the googletest package)")
endif()

foreach(part gtest gtest_main gmock gmock_main)
  if(part MATCHES "^gtest")
    set(root ${KIT_GTEST_SRC}/googletest)
  else()
    set(root ${KIT_GTEST_SRC}/googlemock)
  endif()
  if(part STREQUAL "gtest")
    set(src ${root}/src/gtest-all.cc)
  elseif(part STREQUAL "gmock")
    set(src ${root}/src/gmock-all.cc)
  else()
    set(src ${root}/src/${part}.cc)
  endif()
  add_library(kit_${part} STATIC ${src})
  target_include_directories(kit_${part} SYSTEM PUBLIC
    ${KIT_GTEST_SRC}/googletest/include ${KIT_GTEST_SRC}/googlemock/include)
  target_include_directories(kit_${part} PRIVATE
    ${KIT_GTEST_SRC}/googletest ${KIT_GTEST_SRC}/googlemock)
  # Third-party code: our warning policy is not theirs (a plain add_library, not kit_add_library).
  target_compile_options(kit_${part} PRIVATE -w)
endforeach()
target_link_libraries(kit_gtest_main PUBLIC kit_gtest)
target_link_libraries(kit_gmock PUBLIC kit_gtest)
target_link_libraries(kit_gmock_main PUBLIC kit_gmock)

add_library(GTest::gtest ALIAS kit_gtest)
add_library(GTest::gtest_main ALIAS kit_gtest_main)
add_library(GTest::gmock ALIAS kit_gmock)
add_library(GTest::gmock_main ALIAS kit_gmock_main)
