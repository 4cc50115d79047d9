# Cross build of the Windows executable with mingw-w64 (posix thread model,
# so std::thread and std::mutex work). The tests run under wine 10 from the
# Debian 13 root that scripts/wine-root prepares.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOVIK_MINGW_TRIPLET x86_64-w64-mingw32)

# Called by name: the unsuffixed alternative may point at the win32 thread model.
set(CMAKE_C_COMPILER ${TOVIK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVIK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVIK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOVIK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: the .exe imports nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-in-root.sh)
