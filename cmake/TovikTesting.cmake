# Test helpers. Native test executables are split into one ctest test per
# GoogleTest case; Windows test executables run whole under wine, after a
# fixture has started wine's background services with detached stdio (if the
# first wine process inherited ctest's pipes, ctest would hang).
if(NOT TOVIK_TESTS)
  return()
endif()
enable_testing()
include(GoogleTest)

if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TOVIK_GTEST_LIBS GTest::gmock GTest::gtest_main)
  set(TOVIK_WINE_ENV
      WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEARCH=win64 WINEDEBUG=-all
      "WINEDLLOVERRIDES=mscoree,mshtml=")
  add_test(NAME wine_session_start
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh start)
  add_test(NAME wine_session_stop
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh stop)
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine
                       ENVIRONMENT "${TOVIK_WINE_ENV}")
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine
                       ENVIRONMENT "${TOVIK_WINE_ENV}")
else()
  find_package(GTest REQUIRED)
  set(TOVIK_GTEST_LIBS GTest::gmock GTest::gtest_main)
endif()

# A rig whose tools are missing exits 77: skipped on a developer's partial
# machine, a failure under CI (CI=true), where nothing may be skipped.
function(tovik_skippable)
  if(NOT "$ENV{CI}" STREQUAL "true")
    set_tests_properties(${ARGN} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()

# tovik_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
function(tovik_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tovik_test_support ${TOVIK_GTEST_LIBS}
                        tovik_warnings)
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine
                         ENVIRONMENT "${TOVIK_WINE_ENV}" LABELS "${T_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# A test run by a shell script (a lab, a desktop or a sound server of its
# own): alone, since those share the machine's namespaces, displays and
# ports.
#   tovik_add_script_test(NAME script.sh LABELS "a;b" TIMEOUT s ARGS ...)
function(tovik_add_script_test name script)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LABELS;ARGS" ${ARGN})
  add_test(NAME ${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/${script} ${ARG_ARGS})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
                       RUN_SERIAL TRUE)
  tovik_skippable(${name})
endfunction()
