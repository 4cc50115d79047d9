# The ARM receiver under qemu in a lab host, fed by the build machine's own
# signal transmitter and judged by its comparer: those two are built natively
# beside the cross build (one tree, build/host-tools, for both ARM presets).
include(ExternalProject)
set(host_tools ${PROJECT_SOURCE_DIR}/build/host-tools)
ExternalProject_Add(tovik_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${host_tools}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DTOVIK_TESTS=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_tools} --target tovik-signal-tx tovik-wav-compare
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
foreach(mode wav alsa)
  tovik_add_script_test(receive_${mode}_lab_qemu tone_lab.sh LABELS netlab TIMEOUT 180
                        ARGS ${host_tools}/tools/receive/signal/tovik-signal-tx
                             $<TARGET_FILE:tovik-receive>
                             ${host_tools}/tools/receive/signal/tovik-wav-compare ${mode})
  set_tests_properties(receive_${mode}_lab_qemu PROPERTIES ENVIRONMENT "TOVIK_EMULATOR=${emulator}")
endforeach()
