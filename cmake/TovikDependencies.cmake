# Third-party libraries. Native builds take Debian's packages; the Windows
# build cross-compiles opus and speexdsp from Debian's source packages
# (fetched by scripts/setup) and GoogleTest from /usr/src/googletest.
find_package(Threads REQUIRED)

if(WIN32)
  include(TovikWindowsThirdParty)
  tovik_third_party_autotools(opus "--disable-doc;--disable-extra-programs;--disable-stack-protector")
  tovik_third_party_autotools(speexdsp "--disable-examples")
  add_library(tovik_opus INTERFACE)
  target_include_directories(tovik_opus INTERFACE ${TOVIK_THIRD_PARTY_PREFIX}/include)
  target_link_libraries(tovik_opus INTERFACE ${TOVIK_THIRD_PARTY_PREFIX}/lib/libopus.a)
  add_library(tovik_speexdsp INTERFACE)
  target_include_directories(tovik_speexdsp INTERFACE ${TOVIK_THIRD_PARTY_PREFIX}/include)
  target_link_libraries(tovik_speexdsp INTERFACE ${TOVIK_THIRD_PARTY_PREFIX}/lib/libspeexdsp.a)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(OPUS REQUIRED IMPORTED_TARGET opus)
  pkg_check_modules(SPEEXDSP REQUIRED IMPORTED_TARGET speexdsp)
  add_library(tovik_opus INTERFACE)
  # opus.pc points into include/opus; the code includes <opus/opus.h> on both platforms.
  target_link_libraries(tovik_opus INTERFACE PkgConfig::OPUS)
  add_library(tovik_speexdsp INTERFACE)
  target_link_libraries(tovik_speexdsp INTERFACE PkgConfig::SPEEXDSP)
endif()
