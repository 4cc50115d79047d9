# The ARM receiver under qemu in a lab host, fed by the build machine's own
# signal transmitter and judged by its comparer: those two are built natively
# beside the cross build, in one tree (build/host-tools) for both ARM presets,
# under a lock so that both may build at once.
set(host_tools ${PROJECT_SOURCE_DIR}/build/host-tools)
add_custom_target(tovik_host_tools ALL
  COMMAND flock ${host_tools}.lock sh -c
          "[ -f '${host_tools}/CMakeCache.txt' ] || '${CMAKE_COMMAND}' -S '${PROJECT_SOURCE_DIR}' \
           -B '${host_tools}' -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVIK_TESTS=OFF >/dev/null && \
           '${CMAKE_COMMAND}' --build '${host_tools}' --target tovik-signal-tx tovik-wav-compare"
  VERBATIM)

list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
foreach(mode wav alsa)
  tovik_add_script_test(receive_${mode}_lab_qemu tone_lab.sh LABELS netlab TIMEOUT 180
                        ARGS ${host_tools}/tools/receive/signal/tovik-signal-tx
                             $<TARGET_FILE:tovik-receive>
                             ${host_tools}/tools/receive/signal/tovik-wav-compare ${mode})
  set_tests_properties(receive_${mode}_lab_qemu PROPERTIES ENVIRONMENT "TOVIK_EMULATOR=${emulator}")
endforeach()
