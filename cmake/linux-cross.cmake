# Shared part of the Linux ARM toolchain files: Debian's cross compilers and
# the target's multiarch -dev packages (/usr/lib/<triplet>), with the target's
# pkg-config files only. ctest runs the target's programs under qemu
# user-mode emulation, no binfmt needed.
# Expects TOVIK_CROSS_TRIPLET, CMAKE_SYSTEM_PROCESSOR and TOVIK_QEMU.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${TOVIK_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TOVIK_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TOVIK_CROSS_TRIPLET})

# Headers and libraries of the target only; programs (moc, rcc) of the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TOVIK_CROSS_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${TOVIK_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The target's libraries, its glibc included, are multiarch packages in the
# build machine's own root: that is the root qemu runs the programs in. The
# cross compiler's copy of glibc (/usr/<triplet>) is another build, which
# must not be mixed with them (threads hang).
set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVIK_QEMU} -L /)
