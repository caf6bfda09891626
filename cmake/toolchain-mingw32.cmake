# Cross-building the 32-bit Windows plug-in with Debian's mingw-w64. Use:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
set(_zsf_host i686-w64-mingw32)
set(_zsf_processor i686)
set(_zsf_bits 32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
