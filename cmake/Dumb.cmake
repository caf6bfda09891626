# The module engine: DUMB 0.9.3 built from Debian's original source tarball with our
# patch (engine/dumb-0.9.3-zsf.patch) applied. Debian ships only DUMB's headers and
# compiled library; our additions reach into the renderer, so we compile the source.
# The tarball is extracted into the build tree and never committed.
set(ZSF_DUMB_TARBALL "" CACHE FILEPATH
  "libdumb_0.9.3.orig.tar.gz already at hand (empty: fetch it with engine/fetch-dumb)")

set(_dumb_sha256 8d44fbc9e57f3bac9f761c3b12ce102d47d717f0dd846657fb988e0bb5d1ea33)
set(_dumb_patch ${PROJECT_SOURCE_DIR}/engine/dumb-0.9.3-zsf.patch)
set(_dumb_root ${CMAKE_BINARY_DIR}/dumb)
set(_dumb_dir ${_dumb_root}/dumb-0.9.3)

if(ZSF_DUMB_TARBALL)
  set(_dumb_tarball ${ZSF_DUMB_TARBALL})
else()
  if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(_dumb_cache $ENV{XDG_CACHE_HOME}/in_zsf/dumb)
  else()
    set(_dumb_cache $ENV{HOME}/.cache/in_zsf/dumb)
  endif()
  execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/engine/fetch-dumb ${_dumb_cache}
    OUTPUT_VARIABLE _dumb_tarball OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE _dumb_fetch_result)
  if(NOT _dumb_fetch_result EQUAL 0)
    message(FATAL_ERROR "in_zsf: could not obtain DUMB 0.9.3's source (engine/fetch-dumb "
      "failed); pass -DZSF_DUMB_TARBALL=PATH to libdumb_0.9.3.orig.tar.gz")
  endif()
endif()

file(SHA256 ${_dumb_tarball} _dumb_actual)
if(NOT _dumb_actual STREQUAL _dumb_sha256)
  message(FATAL_ERROR "in_zsf: ${_dumb_tarball}: SHA-256 ${_dumb_actual}, "
    "expected ${_dumb_sha256}")
endif()

# Extract and patch again whenever the patch changes (the stamp records its hash).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_dumb_patch})
file(SHA256 ${_dumb_patch} _dumb_patch_hash)
set(_dumb_stamp "${_dumb_sha256} ${_dumb_patch_hash}")
set(_dumb_old_stamp "")
if(EXISTS ${_dumb_root}/stamp)
  file(READ ${_dumb_root}/stamp _dumb_old_stamp)
endif()
if(NOT _dumb_old_stamp STREQUAL _dumb_stamp OR NOT EXISTS ${_dumb_dir}/include/dumb.h)
  file(REMOVE_RECURSE ${_dumb_root})
  file(MAKE_DIRECTORY ${_dumb_root})
  file(ARCHIVE_EXTRACT INPUT ${_dumb_tarball} DESTINATION ${_dumb_root})
  find_program(ZSF_PATCH_PROGRAM patch REQUIRED)
  execute_process(COMMAND ${ZSF_PATCH_PROGRAM} -p1 --forward --batch -s -i ${_dumb_patch}
    WORKING_DIRECTORY ${_dumb_dir} RESULT_VARIABLE _dumb_patch_result)
  if(NOT _dumb_patch_result EQUAL 0)
    file(REMOVE_RECURSE ${_dumb_root})
    message(FATAL_ERROR "in_zsf: engine/dumb-0.9.3-zsf.patch does not apply to DUMB 0.9.3")
  endif()
  file(WRITE ${_dumb_root}/stamp "${_dumb_stamp}")
  message(STATUS "in_zsf: DUMB 0.9.3 extracted and patched in ${_dumb_dir}")
endif()

# Only the engine proper: core, helpers and the tracker readers/renderer (no allegro).
file(GLOB _dumb_sources ${_dumb_dir}/src/core/*.c ${_dumb_dir}/src/helpers/*.c
  ${_dumb_dir}/src/it/*.c)
add_library(zsf_dumb STATIC ${_dumb_sources})
# Only the engine's own sources see dumb.h (engine/CMakeLists.txt reads this variable).
target_include_directories(zsf_dumb PRIVATE ${_dumb_dir}/include)
set(ZSF_DUMB_INCLUDE_DIR ${_dumb_dir}/include)
# Foreign code: its warnings stay out of ours. Hidden so the plug-in exports none of it.
target_compile_options(zsf_dumb PRIVATE -w)
# DUMB shifts negative values left throughout its mixer and envelopes (x << 8 as
# x * 256). GCC and clang define this as the two's complement multiplication, so
# only that check is left out for this code; every other check stays on.
if(ZSF_SANITIZE MATCHES "undefined")
  target_compile_options(zsf_dumb PRIVATE -fno-sanitize=shift-base)
endif()
# Sanitizer builds are otherwise unoptimised for the sake of our own code's traces; the
# engine is where their tests and fuzz targets spend their time (rendering is six
# times slower at -O0), so it is optimised there and still fully instrumented.
if(ZSF_SANITIZE)
  target_compile_options(zsf_dumb PRIVATE -O2)
endif()
set_target_properties(zsf_dumb PROPERTIES POSITION_INDEPENDENT_CODE ON
  C_VISIBILITY_PRESET hidden C_STANDARD 99 C_EXTENSIONS ON)
# Fuzz builds: the engine's code carries coverage counters, so that libFuzzer sees
# which paths through the readers and the renderer an input reaches.
if(ZSF_BUILD_FUZZ)
  target_compile_options(zsf_dumb PRIVATE -fsanitize=fuzzer-no-link)
endif()
target_link_libraries(zsf_dumb PUBLIC m)
