# Which of a folder's sources go where, the same for every folder of the system:
#   *_win32.cpp   only in the Windows build;  *_posix.cpp  only everywhere else;
#   *_writer.cpp  the authoring library (tools, tests, fuzzers), which the Windows
#                 build does not have;
#   the rest      the core library that the plug-in links.
#
# zsf_add_folder_sources([SUBDIRS dir...] [EXCLUDE file...] [CORE_SOURCES var])
#   Globs *.cpp and *.c of the calling folder (and of SUBDIRS, relative to it),
#   leaves out EXCLUDE (names relative to the folder) and adds the rest as above.
#   CORE_SOURCES names a variable of the caller that receives the core's share.

# True when FILE belongs to another platform than the one being built.
function(zsf_other_platform_source file out)
  get_filename_component(_name ${file} NAME_WE)
  if(WIN32)
    string(REGEX MATCH "_posix$" _other "${_name}")
  else()
    string(REGEX MATCH "_win32$" _other "${_name}")
  endif()
  if(_other)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

function(zsf_add_folder_sources)
  cmake_parse_arguments(PARSE_ARGV 0 _arg "" "CORE_SOURCES" "SUBDIRS;EXCLUDE")
  set(_dir ${CMAKE_CURRENT_SOURCE_DIR})
  set(_globs ${_dir}/*.cpp ${_dir}/*.c)
  foreach(_sub IN LISTS _arg_SUBDIRS)
    list(APPEND _globs ${_dir}/${_sub}/*.cpp ${_dir}/${_sub}/*.c)
  endforeach()
  file(GLOB _all CONFIGURE_DEPENDS ${_globs})
  foreach(_excluded IN LISTS _arg_EXCLUDE)
    list(REMOVE_ITEM _all ${_dir}/${_excluded})
  endforeach()

  set(_core "")
  set(_writers "")
  foreach(_file IN LISTS _all)
    zsf_other_platform_source(${_file} _skip)
    if(_skip)
      continue()
    endif()
    if(_file MATCHES "_writer\\.cpp$")
      list(APPEND _writers ${_file})
    else()
      list(APPEND _core ${_file})
    endif()
  endforeach()

  if(_writers AND TARGET zsf_authoring)
    target_sources(zsf_authoring PRIVATE ${_writers})
  endif()
  if(_core)
    target_sources(zsf_core PRIVATE ${_core})
  endif()
  if(_arg_CORE_SOURCES)
    set(${_arg_CORE_SOURCES} ${_core} PARENT_SCOPE)
  endif()
endfunction()
