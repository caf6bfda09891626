# Install rules (cmake --install BUILD [--prefix P]) and the Debian package
# (cpack -G DEB in the build folder).
include(GNUInstallDirs)

# The plug-in is not a library other programs link: it gets a folder of its own.
set(ZSF_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/in_zsf)
# zsfplay looks for it relative to its own path, so a staged prefix works as well.
file(RELATIVE_PATH _plugin_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${ZSF_PLUGIN_INSTALL_DIR})
target_compile_definitions(zsfplay PRIVATE ZSF_PLUGIN_FROM_BIN="${_plugin_from_bin}")

install(TARGETS zsfplay zsftool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT main)
install(TARGETS in_zsf LIBRARY DESTINATION ${ZSF_PLUGIN_INSTALL_DIR} COMPONENT main)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT main)
if(TARGET zsf_audacious)
  install(TARGETS zsf_audacious LIBRARY DESTINATION ${ZSF_AUDACIOUS_INPUT_DIR} COMPONENT audacious)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/in_zsf-audacious
          COMPONENT audacious)
endif()

# Man pages from the programs' own --help plus a hand-written description and examples.
set(_man_pages)
foreach(_program_and_dir IN ITEMS zsfplay:host zsftool:tools/zsftool)
  string(REPLACE ":" ";" _pair ${_program_and_dir})
  list(GET _pair 0 _program)
  list(GET _pair 1 _dir)
  set(_dir ${PROJECT_SOURCE_DIR}/${_dir})  # where the program's main source and .h2m live
  set(_page ${CMAKE_BINARY_DIR}/man/${_program}.1)
  add_custom_command(
    OUTPUT ${_page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${_program}> -DOUTPUT=${_page}
            -DINCLUDE=${_dir}/${_program}.h2m -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${_program} ${_dir}/${_program}.h2m ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Writing the man page of ${_program}"
    VERBATIM)
  list(APPEND _man_pages ${_page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT main)

set(CPACK_GENERATOR DEB)
# Two packages: the player, tools and Winamp-style plug-in, and the Audacious
# plug-in, so that the command-line tools do not pull in Audacious' libraries.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL main)
if(TARGET zsf_audacious)
  list(APPEND CPACK_COMPONENTS_ALL audacious)
endif()
set(CPACK_DEBIAN_MAIN_PACKAGE_NAME in-zsf)
set(CPACK_DEBIAN_AUDACIOUS_PACKAGE_NAME in-zsf-audacious)
set(CPACK_DEBIAN_AUDACIOUS_PACKAGE_SECTION sound)
set(CPACK_COMPONENT_AUDACIOUS_DESCRIPTION
  "Audacious input plug-in for ZSF songs, ZTF tunes and ZGM collections
Adds ZSF songs, ZTF tunes and the tunes of ZGM collections (as subtunes) to
Audacious' playlists, with their tags and lengths, a settings page, and
password-protected sample packs.")
set(CPACK_DEBIAN_AUDACIOUS_PACKAGE_ENHANCES audacious)
set(CPACK_PACKAGE_NAME in-zsf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "in_zsf developers <in-zsf@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player and tools for ZSF songs, ZSP packs and ZGM collections")
set(CPACK_PACKAGE_DESCRIPTION
  "zsfplay plays ZSF songs, ZTF tunes and ZGM collections through the in_zsf
plug-in, on the sound device or into WAV files; zsftool makes them from tracker
modules (IT, XM, S3M, MOD) and shows and changes what they hold.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The runtime libraries come from what the binaries really link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
