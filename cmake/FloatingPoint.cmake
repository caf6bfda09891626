# Floating point: every build does the engine's arithmetic alike, so that a song
# renders to the same bytes on Linux, in the shipped 32-bit DLL and in the 64-bit
# test DLL. The engine turns float pitch and volume products into whole resampler
# steps and mixing volumes: one product rounded differently moves a step by one
# unit, and the phase error lasts until the note ends.
# - 32-bit x86: SSE2 scalar arithmetic, as on x86-64, instead of the x87 unit,
#   which keeps intermediates at 80 bits and rounds them wherever the compiler
#   happens to store them. The plug-in needs Windows Vista or later, so every
#   machine that runs it has SSE2.
# - No fused multiply-adds: a build for a processor that has them would round once
#   where every other build rounds twice.
# - No -ffast-math (reordered sums, approximate reciprocals). These options come
#   after CMAKE_<LANG>_FLAGS, so they also undo one given there.
# tests/engine/float_rounding_test.cpp fails when the rendering's rounding changes.
add_compile_options(-fno-fast-math -ffp-contract=off)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86|X86)$")
  add_compile_options(-msse2 -mfpmath=sse)
endif()
