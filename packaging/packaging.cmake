# Installing (GNU layout) and the Debian package. Included at the end of the top-level list
# file, so it sees every program target.
include(GNUInstallDirs)

set(TARNWELL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnwell)
set(_packaging ${CMAKE_CURRENT_LIST_DIR})
set(_generated ${CMAKE_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS tarnwell-cli tarnwell-sample RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian wants manual pages and the changelog compressed at the highest level, without a time
# stamp in the gzip header (so that two builds give the same bytes).
find_program(GZIP_PROGRAM gzip REQUIRED)
# The pages and the changelog take the version from the project. The package is native (no
# Debian revision), so its changelog is plain "changelog".
configure_file(${_packaging}/changelog.in ${_generated}/changelog @ONLY)
set(_sources ${_generated}/changelog)
foreach(_page tarnwell.1 tarnwell-cli.1 tarnwell-sample.1)
  configure_file(${_packaging}/${_page} ${_generated}/${_page} @ONLY)
  list(APPEND _sources ${_generated}/${_page})
endforeach()
set(_compressed)
foreach(_source ${_sources})
  get_filename_component(_name ${_source} NAME)
  add_custom_command(OUTPUT ${_generated}/${_name}.gz
                     COMMAND ${GZIP_PROGRAM} -9 -n -c ${_source} > ${_generated}/${_name}.gz
                     DEPENDS ${_source} VERBATIM)
  list(APPEND _compressed ${_generated}/${_name}.gz)
endforeach()
add_custom_target(tarnwell_compressed_docs ALL DEPENDS ${_compressed})
install(FILES ${_generated}/tarnwell-cli.1.gz ${_generated}/tarnwell-sample.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${_packaging}/copyright ${_generated}/changelog.gz
        DESTINATION ${TARNWELL_DOC_DIR})

if(TARGET tarnwell)
  install(TARGETS tarnwell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_generated}/tarnwell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${_packaging}/tarnwell.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_packaging}/tarnwell-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME tarnwell.xml)
  set(_icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${_packaging}/tarnwell.svg DESTINATION ${_icons}/scalable/apps)
  # The bitmap icon is rendered from the drawing, so the two never differ.
  find_program(RSVG_CONVERT rsvg-convert)
  if(RSVG_CONVERT)
    add_custom_command(OUTPUT ${_generated}/tarnwell.png
                       COMMAND ${RSVG_CONVERT} -w 48 -h 48 -o ${_generated}/tarnwell.png
                               ${_packaging}/tarnwell.svg
                       DEPENDS ${_packaging}/tarnwell.svg VERBATIM)
    add_custom_target(tarnwell_icon ALL DEPENDS ${_generated}/tarnwell.png)
    install(FILES ${_generated}/tarnwell.png DESTINATION ${_icons}/48x48/apps)
  else()
    message(WARNING "rsvg-convert (librsvg2-bin) not found: the 48x48 icon is not installed")
  endif()
endif()

# The Debian package: tarnwell_<version>_<arch>.deb, its dependencies from the libraries the
# programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "take HD DVD EVO files apart")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "Tarnwell maintainers <maintainers@users.noreply.c-seed-fb209545.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS mkvtoolnix)
# CPack puts the summary first and indents the rest; an empty line starts a paragraph.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tarnwell reads an HD DVD video object (an MPEG-2 program stream with the HD
DVD extensions), lists its video, audio and subpicture streams, writes the
chosen ones out as elementary streams, follows a title split over two files,
names the tracks from the disc's playlist and rebuilds an EVO file without the
streams that are not wanted.

The package holds the window (tarnwell), the command-line front end
(tarnwell-cli) and a tool that writes a small sample disc (tarnwell-sample).")
include(CPack)
