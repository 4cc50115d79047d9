# The ARM receiver under qemu in a lab host, fed by the build machine's own
# signal transmitter and judged by its comparer (TOVIK_HOST_TOOLS).
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
foreach(mode wav alsa)
  tovik_add_script_test(receive_${mode}_lab_qemu tone_lab.sh LABELS netlab TIMEOUT 180
                        ARGS ${TOVIK_HOST_TOOLS}/tools/receive/signal/tovik-signal-tx
                             $<TARGET_FILE:tovik-receive>
                             ${TOVIK_HOST_TOOLS}/tools/receive/signal/tovik-wav-compare ${mode})
  set_tests_properties(receive_${mode}_lab_qemu PROPERTIES ENVIRONMENT "TOVIK_EMULATOR=${emulator}")
endforeach()
