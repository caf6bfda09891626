# The product's layers, bottom to top. Each layer is a static library of the units it
# names (a unit: a path without extension, i.e. its header and its .cpp, or the
# _posix.cpp or _win32.cpp of the platform being built) and uses only the layers it
# names. The folders hold files by subject; these targets carry the order.
#
# zsf_check_layers() runs at configure time and fails when a unit includes a header of
# a layer its own layer does not use, when a product source belongs to no layer, or
# when units include each other in a circle: such a change fails the build instead of
# waiting for a review.

set(ZSF_PRODUCT_FOLDERS platform container engine samples collection ui plugin)

# zsf_layer(NAME [LINUX_ONLY] [USES layer...] [LIBRARIES lib...] UNITS unit...)
# LINUX_ONLY: checked everywhere, built only where the tools and tests are.
function(zsf_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 _arg "LINUX_ONLY" "" "USES;LIBRARIES;UNITS")
  set(_sources "")
  set(_platform_suffix _posix)
  if(WIN32)
    set(_platform_suffix _win32)
  endif()
  foreach(_unit IN LISTS _arg_UNITS)
    set_property(GLOBAL PROPERTY ZSF_UNIT_LAYER_${_unit} ${name})
    set_property(GLOBAL APPEND PROPERTY ZSF_UNITS ${_unit})
    foreach(_file ${_unit}.cpp ${_unit}${_platform_suffix}.cpp ${_unit}.h)
      if(EXISTS ${PROJECT_SOURCE_DIR}/${_file})
        list(APPEND _sources ${PROJECT_SOURCE_DIR}/${_file})
      endif()
    endforeach()
  endforeach()
  # What a layer may include: its own units and those of every layer below it that it
  # uses, directly or through another.
  set(_allowed ${name})
  foreach(_used IN LISTS _arg_USES)
    get_property(_below GLOBAL PROPERTY ZSF_LAYER_ALLOWED_${_used})
    list(APPEND _allowed ${_below})
  endforeach()
  list(REMOVE_DUPLICATES _allowed)
  set_property(GLOBAL PROPERTY ZSF_LAYER_ALLOWED_${name} ${_allowed})
  if(_arg_LINUX_ONLY AND WIN32)
    return()
  endif()

  add_library(zsf_${name} STATIC ${_sources})
  target_include_directories(zsf_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  list(TRANSFORM _arg_USES PREPEND zsf_)
  target_link_libraries(zsf_${name} PUBLIC zsf_warnings ${_arg_USES} PRIVATE ${_arg_LIBRARIES})
  set_target_properties(zsf_${name} PROPERTIES LINKER_LANGUAGE CXX)
endfunction()

# The units a unit's files include, as "unit" entries (project headers only).
function(_zsf_unit_includes unit out)
  set(_found "")
  foreach(_file ${unit}.h ${unit}.cpp ${unit}_posix.cpp ${unit}_win32.cpp)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${_file})
      continue()
    endif()
    file(STRINGS ${PROJECT_SOURCE_DIR}/${_file} _lines REGEX "^#include \"[a-z_/]+\\.h\"")
    foreach(_line IN LISTS _lines)
      string(REGEX REPLACE "^#include \"([a-z_/]+)\\.h\".*" "\\1" _included "${_line}")
      if(NOT _included STREQUAL unit)
        list(APPEND _found ${_included})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES _found)
  set(${out} ${_found} PARENT_SCOPE)
endfunction()

# Depth-first walk for circles; STATE_<unit> is "open" while on the walk, "done" after.
function(_zsf_walk unit path)
  set_property(GLOBAL PROPERTY ZSF_WALK_${unit} open)
  get_property(_next GLOBAL PROPERTY ZSF_INCLUDES_${unit})
  foreach(_v IN LISTS _next)
    get_property(_state GLOBAL PROPERTY ZSF_WALK_${_v})
    if(_state STREQUAL "open")
      message(FATAL_ERROR "in_zsf: units include each other in a circle: ${path} -> ${_v}")
    elseif(NOT _state)
      _zsf_walk(${_v} "${path} -> ${_v}")
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY ZSF_WALK_${unit} done)
endfunction()

function(zsf_check_layers)
  get_property(_units GLOBAL PROPERTY ZSF_UNITS)
  # Every product source belongs to a layer (the export is the plug-in's own file).
  set(_globs "")
  foreach(_folder IN LISTS ZSF_PRODUCT_FOLDERS)
    list(APPEND _globs ${PROJECT_SOURCE_DIR}/${_folder}/*.cpp ${PROJECT_SOURCE_DIR}/${_folder}/*.h)
  endforeach()
  file(GLOB_RECURSE _files RELATIVE ${PROJECT_SOURCE_DIR} CONFIGURE_DEPENDS ${_globs})
  foreach(_file IN LISTS _files)
    string(REGEX REPLACE "(_posix|_win32)?\\.(h|cpp)$" "" _unit "${_file}")
    if(NOT _unit IN_LIST _units AND NOT _unit MATCHES "^(plugin/export|ui/dialogs/rc/make_dialogs_rc)$")
      message(FATAL_ERROR "in_zsf: ${_file} belongs to no layer (cmake/Layers.cmake)")
    endif()
  endforeach()
  foreach(_unit IN LISTS _units)
    get_property(_layer GLOBAL PROPERTY ZSF_UNIT_LAYER_${_unit})
    get_property(_allowed GLOBAL PROPERTY ZSF_LAYER_ALLOWED_${_layer})
    _zsf_unit_includes(${_unit} _includes)
    set(_edges "")
    foreach(_included IN LISTS _includes)
      get_property(_their GLOBAL PROPERTY ZSF_UNIT_LAYER_${_included})
      if(NOT _their)
        continue()  # not a product header (the synthesiser's, a tool's)
      endif()
      if(NOT _their IN_LIST _allowed)
        message(FATAL_ERROR "in_zsf: ${_unit} (layer ${_layer}) includes ${_included}.h of layer ${_their}, "
          "which ${_layer} does not use")
      endif()
      list(APPEND _edges ${_included})
    endforeach()
    set_property(GLOBAL PROPERTY ZSF_INCLUDES_${_unit} ${_edges})
  endforeach()
  foreach(_unit IN LISTS _units)
    get_property(_state GLOBAL PROPERTY ZSF_WALK_${_unit})
    if(NOT _state)
      _zsf_walk(${_unit} ${_unit})
    endif()
  endforeach()
endfunction()

# --- the layers ----------------------------------------------------------------------

# Byte streams, the bounded reader and writer, block decompression, and small text
# helpers: what every format reads and writes with.
zsf_layer(base LIBRARIES PkgConfig::LZO2 UNITS
  container/byte_stream container/byte_cursor container/byte_writer container/block_decompress
  container/ascii_case container/format_version container/failure ui/password)
# lzo2's pkg-config file names the lzo folder itself; the sources include <lzo/...>.
foreach(_dir IN LISTS LZO2_INCLUDE_DIRS)
  get_filename_component(_parent ${_dir} DIRECTORY)
  target_include_directories(zsf_base SYSTEM PRIVATE ${_parent})
endforeach()

# The stand-ins for Windows and the player: settings store, files, windows, handles.
zsf_layer(platform USES base LIBRARIES ${CMAKE_DL_LIBS} UNITS
  platform/file_size platform/module_handle platform/registry_store platform/settings_key platform/window
  platform/terminal platform/file_replace platform/file_map)

# The wall in front of the engine: engine/engine.h is the only includer of DUMB's header.
zsf_layer(engine LIBRARIES zsf_dumb UNITS engine/engine)
target_include_directories(zsf_engine SYSTEM PRIVATE ${ZSF_DUMB_INCLUDE_DIR})

# Sample packs and the derivation of a song's samples from their entries.
zsf_layer(samples USES base LIBRARIES PkgConfig::VORBIS PkgConfig::OGG UNITS
  samples/sample_record samples/sample_store samples/zsp_format samples/zsp_reader
  samples/descramble samples/coded_sample samples/sample_derivation)
# The Vorbis output conversion is a plain loop over floats that pays to vectorise;
# GCC's -O2 cost model leaves it scalar.
set_source_files_properties(${PROJECT_SOURCE_DIR}/samples/coded_sample.cpp PROPERTIES
  COMPILE_OPTIONS "$<$<CXX_COMPILER_ID:GNU>:-ftree-vectorize;-fvect-cost-model=dynamic>")

# Songs: the ZSF reader, the module formats and the rebuild of a module image.
zsf_layer(song USES samples engine platform base UNITS
  container/file_kind container/zsf_format container/zsf_header container/pack_path
  container/song_body container/module_format container/sample_encoding container/image_assembly
  container/song container/zsf_reader container/song_module)
# The sample conversions of the rebuild are plain loops over megabytes; let GCC
# vectorise them at the default optimisation level too.
set_source_files_properties(${PROJECT_SOURCE_DIR}/container/sample_encoding.cpp PROPERTIES
  COMPILE_OPTIONS "$<$<CXX_COMPILER_ID:GNU>:-fvect-cost-model=dynamic>")

# ZGM collections, their addresses and which entry a track names.
zsf_layer(collection USES base UNITS
  collection/zgm_format collection/collection collection/collection_stream
  collection/collection_address collection/track_selection collection/zgm_reader)

# Tags, titles, settings, file information and the dialog models with their front ends.
zsf_layer(ui USES song collection engine platform samples base UNITS
  ui/tags ui/titles ui/product_version ui/player_settings ui/file_info ui/song_length
  ui/dialogs/dialog_templates ui/dialogs/dialog_model ui/dialogs/dialog_resource_script
  ui/dialogs/prompt_model ui/dialogs/text_front_end ui/dialogs/dialog_front_end ui/dialogs/password_prompt
  ui/dialogs/config_model ui/dialogs/info_model ui/dialogs/message_boxes ui/dialogs/information_command)

# The plug-in: the player's record and state, playback and the decode thread.
zsf_layer(plugin USES ui song collection engine platform samples base LIBRARIES Threads::Threads UNITS
  plugin/host_api plugin/player_state plugin/plugin_slots plugin/module_record plugin/echo_stage
  plugin/decode_thread plugin/playback_start plugin/collection_playback plugin/playback_control
  plugin/file_info_slot plugin/dialog_slots)

# What the tools and tests write with: the writers beside their readers (never in the
# plug-in).
zsf_layer(authoring LINUX_ONLY USES song collection samples platform base
  LIBRARIES PkgConfig::LZO2 PkgConfig::VORBISENC PkgConfig::VORBIS PkgConfig::OGG UNITS
  container/block_compress container/zsf_writer samples/zsp_writer collection/zgm_writer)

# Everything above, for the programs that use the core whole (tools, tests, benchmarks).
add_library(zsf_core INTERFACE)
target_link_libraries(zsf_core INTERFACE zsf_plugin)
if(TARGET zsf_authoring)
  target_link_libraries(zsf_authoring PUBLIC zsf_core)
endif()

zsf_check_layers()
