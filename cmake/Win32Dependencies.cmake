# The Windows build's libraries: lzo2, libogg and libvorbis cross-built as static
# libraries from Debian's sources by cmake/win32-deps into a prefix of their own,
# found through their pkg-config files there (never the build machine's).
set(ZSF_WIN32_DEPS_PREFIX "" CACHE PATH
  "Prefix holding the cross-built lzo2, ogg and vorbis (empty: build it with cmake/win32-deps)")

# The shipped plug-in is 32-bit; a 64-bit build exists for test machines that cannot
# run 32-bit code, and gets libraries built for its own toolchain.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_deps_host x86_64-w64-mingw32)
else()
  set(_deps_host i686-w64-mingw32)
endif()
if(NOT ZSF_WIN32_DEPS_PREFIX)
  message(STATUS "in_zsf: obtaining the Windows libraries (cmake/win32-deps)")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ZSF_MINGW_HOST=${_deps_host}
    bash ${PROJECT_SOURCE_DIR}/cmake/win32-deps
    OUTPUT_VARIABLE _deps_prefix OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE _deps_result)
  if(NOT _deps_result EQUAL 0 OR NOT IS_DIRECTORY "${_deps_prefix}")
    message(FATAL_ERROR "in_zsf: could not build the Windows libraries (cmake/win32-deps "
      "failed); pass -DZSF_WIN32_DEPS_PREFIX=PATH to a prefix holding lib/liblzo2.a, "
      "lib/libogg.a, lib/libvorbis.a and their lib/pkgconfig files")
  endif()
  set(ZSF_WIN32_DEPS_PREFIX ${_deps_prefix} CACHE PATH
    "Prefix holding the cross-built lzo2, ogg and vorbis" FORCE)
endif()

list(APPEND CMAKE_FIND_ROOT_PATH ${ZSF_WIN32_DEPS_PREFIX})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(ENV{PKG_CONFIG_LIBDIR} ${ZSF_WIN32_DEPS_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(LZO2 REQUIRED IMPORTED_TARGET lzo2)
pkg_check_modules(OGG REQUIRED IMPORTED_TARGET ogg)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbis)
