# -DZSF_SANITIZE=address,undefined (or thread): instrument everything we build,
# and stop at the first report so a test cannot pass over one.
if(ZSF_SANITIZE)
  string(REPLACE "," ";" _zsf_sanitizers "${ZSF_SANITIZE}")
  set(_zsf_san_flags -fsanitize=${ZSF_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_compile_options(${_zsf_san_flags})
  add_link_options(-fsanitize=${ZSF_SANITIZE})
  message(STATUS "in_zsf: sanitizers ${ZSF_SANITIZE}")
endif()

# Fuzz builds: coverage for every library too, so the fuzzers are guided through
# our readers and the engine, not only through their harness files.
if(ZSF_BUILD_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
