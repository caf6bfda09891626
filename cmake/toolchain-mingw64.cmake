# Cross-building a 64-bit Windows plug-in and test host with Debian's mingw-w64. The
# plug-in ships 32-bit (toolchain-mingw32.cmake); this build exists so the Windows
# tests can run under 64-bit Wine on machines whose kernel cannot run 32-bit
# programs. Use:
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
set(_zsf_host x86_64-w64-mingw32)
set(_zsf_processor AMD64)
set(_zsf_bits 64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
