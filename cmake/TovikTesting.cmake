# Test helpers. Native test executables are split into one ctest test per
# GoogleTest case; Windows test executables run whole under wine 10 in its
# Debian 13 root (the cross-compiling emulator), after a fixture has started
# one wineserver for the run and wine's background services with detached
# stdio (if the first wine process inherited ctest's pipes, ctest would hang).
# Test scripts find wine, wineserver and winepath first on PATH as links to
# the same emulator.
if(NOT TOVIK_TESTS)
  return()
endif()
enable_testing()
include(GoogleTest)

# Wine's settings and the links to the emulator on PATH, for a Windows test.
function(tovik_wine_env name)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "${TOVIK_WINE_ENV}")
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION
               "PATH=path_list_prepend:${TOVIK_WINE_BIN}")
endfunction()

# Every Windows test: wine's settings, the links, the shared wineserver.
function(tovik_wine_test name)
  if(WIN32)
    tovik_wine_env(${name})
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED wine)
  endif()
endfunction()

# Cross builds compile GoogleTest from source for their target.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
set(TOVIK_GTEST_LIBS GTest::gmock GTest::gtest_main)

if(WIN32)
  set(TOVIK_WINE_ENV
      WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEARCH=win64 WINEDEBUG=-all
      "WINEDLLOVERRIDES=mscoree,mshtml=")
  set(TOVIK_WINE_BIN ${CMAKE_BINARY_DIR}/wine-bin)
  foreach(tool wine wineserver winepath)
    file(MAKE_DIRECTORY ${TOVIK_WINE_BIN})
    file(CREATE_LINK ${CMAKE_CROSSCOMPILING_EMULATOR} ${TOVIK_WINE_BIN}/${tool} SYMBOLIC)
  endforeach()
  # One wineserver for the run: the session fixture starts it, every test
  # that runs wine requires the fixture.
  add_test(NAME wine_session_start
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh start)
  add_test(NAME wine_session_stop
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh stop)
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
  tovik_wine_env(wine_session_start)
  tovik_wine_env(wine_session_stop)
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
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    tovik_wine_test(${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# A test run by a shell script (a lab, a desktop or a sound server of its
# own). Each makes its own namespaces (named by its PID), X display
# (-displayfd), sound server and wine prefix, so labs run side by side.
#   tovik_add_script_test(NAME script.sh LABELS "a;b" TIMEOUT s ARGS ...)
function(tovik_add_script_test name script)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LABELS;ARGS" ${ARGN})
  add_test(NAME ${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/${script} ${ARG_ARGS})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT})
  tovik_skippable(${name})
  tovik_wine_test(${name})
endfunction()

# A cross build's labs run this machine's own receiver, signal transmitter
# and tone judge beside the cross-built programs: built natively once, in one
# tree for every cross preset (TOVIK_HOST_TOOLS), under a lock so that cross
# presets may build side by side.
if(CMAKE_CROSSCOMPILING)
  set(TOVIK_HOST_TOOLS ${PROJECT_SOURCE_DIR}/build/host-tools)
  add_custom_target(tovik_host_tools ALL
    COMMAND flock ${TOVIK_HOST_TOOLS}.lock sh -c
            "[ -f '${TOVIK_HOST_TOOLS}/CMakeCache.txt' ] || '${CMAKE_COMMAND}' \
             -S '${PROJECT_SOURCE_DIR}' -B '${TOVIK_HOST_TOOLS}' -G Ninja \
             -DCMAKE_BUILD_TYPE=Release -DTOVIK_TESTS=OFF >/dev/null && '${CMAKE_COMMAND}' \
             --build '${TOVIK_HOST_TOOLS}' --target tovik-receive tovik-signal-tx tovik-wav-compare"
    VERBATIM)
endif()
