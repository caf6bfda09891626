# The body of both Windows toolchain files (posix thread model, so std::thread works).
# The including file sets _zsf_host (the mingw-w64 triple), _zsf_processor and
# _zsf_bits (32 or 64: which prefix of cross-built libraries cmake/win32-deps fills).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${_zsf_processor})

set(CMAKE_C_COMPILER ${_zsf_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_zsf_host}-g++-posix)
set(CMAKE_RC_COMPILER ${_zsf_host}-windres)
set(CMAKE_AR ${_zsf_host}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_zsf_host}-ranlib CACHE FILEPATH "")

# Windows programs built here (test hosts) run under Wine.
find_program(ZSF_WINE wine)
if(ZSF_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZSF_WINE})
endif()

# Headers and libraries come from the cross toolchain and from the prefix of
# cross-built dependencies (cmake/Win32Dependencies.cmake adds it); programs from
# the build machine. The prefix is cmake/win32-deps's default; another one is added
# when given.
if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(_zsf_deps $ENV{XDG_CACHE_HOME}/in_zsf/mingw${_zsf_bits})
else()
  set(_zsf_deps $ENV{HOME}/.cache/in_zsf/mingw${_zsf_bits})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${_zsf_host} ${_zsf_deps})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
