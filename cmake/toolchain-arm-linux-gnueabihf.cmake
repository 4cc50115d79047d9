# Linux armhf (ARMv7 with hard float: Raspberry Pi 2 and later with a 32-bit
# system), tests under qemu.
set(TOVIK_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(TOVIK_QEMU qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
