# Linux arm64 (Raspberry Pi 3, 4 and 5 with a 64-bit system), tests under qemu.
set(TOVIK_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TOVIK_QEMU qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
