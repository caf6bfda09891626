# The dialog templates 101, 102 and 104 as resources of the Windows plug-in.
#
# zsf_add_dialog_resources(target)
#   The resource script is written from ui/dialogs/dialog_templates.h at build time:
#   a small generator is compiled with the build machine's own C++ compiler (the
#   cross compiler makes programs that do not run here), it writes dialogs.rc into
#   the build tree, and the resource compiler of the target's build links it in.

find_program(ZSF_NATIVE_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH
  DOC "The build machine's C++ compiler, for build-time generators")

function(zsf_add_dialog_resources target)
  if(NOT WIN32)
    return()
  endif()
  if(NOT ZSF_NATIVE_CXX)
    message(FATAL_ERROR "The dialog resources need a C++ compiler for the build machine "
      "(c++ or g++ on the PATH, or set ZSF_NATIVE_CXX).")
  endif()
  set(_src ${PROJECT_SOURCE_DIR}/ui/dialogs)
  set(_dir ${CMAKE_BINARY_DIR}/dialog_resources)
  set(_generator ${_dir}/make_dialogs_rc${CMAKE_HOST_EXECUTABLE_SUFFIX})
  set(_script ${_dir}/dialogs.rc)
  add_custom_command(
    OUTPUT ${_generator}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
    COMMAND ${ZSF_NATIVE_CXX} -std=c++17 -O1 -I${PROJECT_SOURCE_DIR}
            ${_src}/rc/make_dialogs_rc.cpp ${_src}/dialog_resource_script.cpp -o ${_generator}
    DEPENDS ${_src}/rc/make_dialogs_rc.cpp ${_src}/dialog_resource_script.cpp
            ${_src}/dialog_resource_script.h ${_src}/dialog_templates.h
    COMMENT "Building the dialog resource script generator for the build machine"
    VERBATIM)
  add_custom_command(
    OUTPUT ${_script}
    COMMAND ${_generator} ${_script}
    DEPENDS ${_generator}
    COMMENT "Writing the dialog resource script"
    VERBATIM)
  target_sources(${target} PRIVATE ${_script})
endfunction()
