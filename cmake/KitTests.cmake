# How a GoogleTest program of the kit becomes ctest entries, and the check that none is left out.
#
#   kit_add_test_suites(<target>
#       PREFIX <name>                      entries are named <name>.<...>, e.g. utility.core
#       [WRAPPER <command>...]             cross builds: run each suite inside this command,
#                                          as <command>... <emulator> <program> --gtest_filter=...
#       [PROPERTIES <property> <value>...]) set on every entry (TIMEOUT, RESOURCE_LOCK, ...)
#
# A native program's tests are listed by running it (gtest_discover_tests): one entry per test,
# <name>.<Suite>.<Test>. A Windows program runs only under Wine, so the build reads its suites
# from the target's sources instead (every TEST, TEST_F and TEST_P): one entry per suite,
# <name>.<Suite>, running --gtest_filter=<Suite>.* (or */<Suite>.* for a parameterised suite).
# Adding a test file to the target or a new suite to a file is all it takes.
#
# For a new folder, e.g. tests/tester/win32/CMakeLists.txt:
#   kit_add_executable(tester_win32_test form_test.cpp)
#   target_link_libraries(tester_win32_test PRIVATE tester_win32 GTest::gtest_main)
#   kit_add_test_suites(tester_win32_test PREFIX tester.win32 PROPERTIES TIMEOUT 60)
# and, when one suite needs more than the others:
#   set_tests_properties(tester.win32.FormTest PROPERTIES RESOURCE_LOCK kit_simulator_ports)
#
# kit_add_test_registration_check() (called once, at the end of the top-level CMakeLists.txt) adds
# the entry tests_registered. It runs every program of the build that links GoogleTest, asks it
# for its tests, and fails for any test that no ctest entry would run: a program registered with
# plain kit_add_executable and no entry, or a suite the source reading above did not see.

include(GoogleTest)

function(kit_add_test_suites target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "PREFIX" "WRAPPER;PROPERTIES")
  if(NOT arg_PREFIX)
    message(FATAL_ERROR "kit_add_test_suites(${target}): PREFIX is required")
  endif()
  if(NOT CMAKE_CROSSCOMPILING)
    if(arg_WRAPPER)
      message(FATAL_ERROR "kit_add_test_suites(${target}): WRAPPER is for cross builds only")
    endif()
    gtest_discover_tests(${target} TEST_PREFIX "${arg_PREFIX}." DISCOVERY_TIMEOUT 30 PROPERTIES ${arg_PROPERTIES})
    return()
  endif()

  kit_test_suites_of(${target} suites)
  if(NOT suites)
    message(FATAL_ERROR "kit_add_test_suites(${target}): no TEST, TEST_F or TEST_P in its sources")
  endif()
  if(arg_WRAPPER)
    set(program ${arg_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>)
  else()
    # A target name as the command: ctest puts the emulator in front of it.
    set(program ${target})
  endif()
  foreach(entry IN LISTS suites)
    string(REPLACE ":" ";" entry "${entry}")
    list(GET entry 0 suite)
    list(GET entry 1 filter)
    add_test(NAME ${arg_PREFIX}.${suite} COMMAND ${program} --gtest_filter=${filter})
    if(arg_PROPERTIES)
      set_tests_properties(${arg_PREFIX}.${suite} PROPERTIES ${arg_PROPERTIES})
    endif()
  endforeach()
endfunction()

# The suites defined in the target's C++ sources, as "<Suite>:<gtest filter>" items.
function(kit_test_suites_of target out)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  set(suites)
  foreach(source IN LISTS sources)
    if(NOT source MATCHES "\\.(cc|cpp)$")
      continue()
    endif()
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} NORMALIZE)
    # A suite added to a file must reach ctest without anyone re-running cmake by hand.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(STRINGS ${source} lines REGEX "^[ \t]*TEST(_F|_P)?\\([ \t]*[A-Za-z_][A-Za-z0-9_]*[ \t]*,")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "^[ \t]*TEST(_F|_P)?\\([ \t]*([A-Za-z_][A-Za-z0-9_]*)" found "${line}")
      set(suite ${CMAKE_MATCH_2})
      if(CMAKE_MATCH_1 STREQUAL "_P")
        # Parameterised tests are named <Instantiation>/<Suite>.<Test>/<N>.
        list(APPEND suites "${suite}:*/${suite}.*")
      else()
        list(APPEND suites "${suite}:${suite}.*")
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES suites)
  set(${out} ${suites} PARENT_SCOPE)
endfunction()

function(kit_add_test_registration_check)
  kit_collect_targets(${PROJECT_SOURCE_DIR} targets)
  set(programs)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(links ${target} LINK_LIBRARIES)
    if(type STREQUAL "EXECUTABLE" AND links MATCHES "GTest::")
      list(APPEND programs "$<TARGET_FILE:${target}>")
    endif()
  endforeach()
  list(JOIN programs "\n" content)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/test_programs.txt CONTENT "${content}\n")

  find_program(KIT_PYTHON3 python3 REQUIRED)
  set(emulator)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(emulator --emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
  add_test(NAME tests_registered
    COMMAND ${KIT_PYTHON3} ${PROJECT_SOURCE_DIR}/cmake/check_test_registration.py
      --ctest ${CMAKE_CTEST_COMMAND} --build-dir ${CMAKE_BINARY_DIR}
      --programs ${CMAKE_BINARY_DIR}/test_programs.txt ${emulator})
  set_tests_properties(tests_registered PROPERTIES TIMEOUT 300)
endfunction()
