# Configure-time cross build of a Debian source package with its autotools
# build. The result is installed under the build tree and reused by every
# later configure, so a rebuild never repeats it.
set(TOVIK_THIRD_PARTY_PREFIX ${CMAKE_BINARY_DIR}/third_party/install)
set(TOVIK_DEBIAN_SRC ${CMAKE_SOURCE_DIR}/third_party/debian-src)

function(tovik_third_party_autotools name extra_args)
  # Stack protector and fortify would pull in libssp; the static exe does
  # without. opus' configure adds -D_FORTIFY_SOURCE=2 unless it is defined.
  set(env "CFLAGS=-O2 -g0 -D_FORTIFY_SOURCE=0")
  # The stamp names the options, so changing them rebuilds the library.
  string(MD5 options_hash "${extra_args};${env}")
  set(stamp ${TOVIK_THIRD_PARTY_PREFIX}/.${name}-${options_hash}-built)
  if(EXISTS ${stamp})
    return()
  endif()
  file(GLOB tarball ${TOVIK_DEBIAN_SRC}/${name}_*.orig.tar.*)
  if(NOT tarball)
    message(FATAL_ERROR "${name} source missing in ${TOVIK_DEBIAN_SRC}: run scripts/setup-tests")
  endif()
  list(GET tarball 0 tarball)
  set(work ${CMAKE_BINARY_DIR}/third_party/${name}-src)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  message(STATUS "Cross-building ${name} from ${tarball} (once per build tree)")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${tarball}
                  WORKING_DIRECTORY ${work} COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB srcdir LIST_DIRECTORIES true ${work}/*)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${env}
            ./configure --host=${TOVIK_MINGW_TRIPLET} --prefix=${TOVIK_THIRD_PARTY_PREFIX}
            --enable-static --disable-shared ${extra_args}
    WORKING_DIRECTORY ${srcdir} OUTPUT_FILE ${work}/configure.log ERROR_FILE ${work}/configure.log
    COMMAND_ERROR_IS_FATAL ANY)
  cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
  execute_process(COMMAND make -j${jobs} install
    WORKING_DIRECTORY ${srcdir} OUTPUT_FILE ${work}/build.log ERROR_FILE ${work}/build.log
    COMMAND_ERROR_IS_FATAL ANY)
  file(TOUCH ${stamp})
endfunction()
