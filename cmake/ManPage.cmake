# Writes a gzipped man page from a program's own --help with help2man (run as
#   cmake -DPROGRAM=... -DINCLUDE=... -DOUTPUT=... -P ManPage.cmake).
# INCLUDE holds the hand-written sections (name, description, examples). For a program
# with subcommands, each subcommand's --help is added as a COMMANDS section.
get_filename_component(_dir ${PROGRAM} DIRECTORY)
get_filename_component(_program ${PROGRAM} NAME)
get_filename_component(_out_dir ${OUTPUT} DIRECTORY)
set(_include ${OUTPUT}.h2m)
file(READ ${INCLUDE} _sections)

# Run through PATH so that the usage lines name the program, not its build folder.
set(ENV{PATH} "${_dir}:$ENV{PATH}")
execute_process(COMMAND ${_program} --help OUTPUT_VARIABLE _help RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${_program} --help failed")
endif()
string(FIND "${_help}" "Subcommands:\n" _at)
if(_at GREATER -1)
  string(SUBSTRING "${_help}" ${_at} -1 _list)
  string(REGEX MATCHALL "\n  ([a-z][a-z-]*) " _names "${_list}")
  string(APPEND _sections "\n[COMMANDS]\n")
  foreach(_line IN LISTS _names)
    string(STRIP "${_line}" _name)
    execute_process(COMMAND ${_program} ${_name} --help OUTPUT_VARIABLE _sub)
    string(REPLACE "\\" "\\\\" _sub "${_sub}")
    string(APPEND _sections ".SS ${_name}\n.nf\n${_sub}.fi\n")
  endforeach()
endif()
file(WRITE ${_include} "${_sections}")

execute_process(
  COMMAND help2man --no-info --no-discard-stderr --include=${_include}
          --output=${OUTPUT} ${_program}
  RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "help2man failed for ${_program}")
endif()
# Debian keeps man pages compressed; -n leaves the time out so builds are repeatable.
execute_process(COMMAND gzip -9nf ${OUTPUT} RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "gzip failed for ${OUTPUT}")
endif()
