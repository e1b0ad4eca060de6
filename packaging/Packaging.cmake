# Installing on Linux the way a desktop program is installed, and the Debian
# package built from that install by CPack:
#   cmake --install build --prefix DIR      the programs, desktop entry, icons,
#                                           manual pages, AppStream metainfo
#   ./dev.sh package                        build/bravik-log_VERSION_ARCH.deb
# The programs' own install rules sit beside their targets; this file adds
# everything else.  Included once from the top CMakeLists.txt.
include(GNUInstallDirs)

set(BRAVIK_APP_ID org.bravik.BravikLog)
set(BRAVIK_PACKAGE_MAINTAINER "Team Bravik AUV Operations <auv-ops@bravik.example>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

set(_src ${CMAKE_CURRENT_LIST_DIR})
set(_out ${CMAKE_BINARY_DIR}/packaging)

if(UNIX AND NOT APPLE)
  # One date for the metainfo release, the manual pages and the changelog:
  # the day of configuring, or SOURCE_DATE_EPOCH for a reproducible build.
  string(TIMESTAMP BRAVIK_RELEASE_DATE "%Y-%m-%d" UTC)
  string(TIMESTAMP BRAVIK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

  foreach(page bravik-log bravik-mission bravik-gps-sim)
    configure_file(${_src}/man/${page}.1.in ${_out}/man/${page}.1 @ONLY)
    install(FILES ${_out}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()

  configure_file(${_src}/${BRAVIK_APP_ID}.metainfo.xml.in ${_out}/${BRAVIK_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${_out}/${BRAVIK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${_src}/${BRAVIK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The icon: the SVG is the source; the PNGs are rendered from it at build
  # time, so they can never drift from it.
  find_program(RSVG_CONVERT rsvg-convert)
  if(NOT RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) is needed to render the icon; ./dev.sh installs it")
  endif()
  install(FILES ${_src}/${BRAVIK_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  set(_pngs)
  foreach(size 16 22 24 32 48 64 128 256)
    set(_png ${_out}/icons/${size}x${size}/${BRAVIK_APP_ID}.png)
    add_custom_command(OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_out}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${_png} ${_src}/${BRAVIK_APP_ID}.svg
      DEPENDS ${_src}/${BRAVIK_APP_ID}.svg
      COMMENT "Rendering the ${size}x${size} icon" VERBATIM)
    list(APPEND _pngs ${_png})
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()

  # The changelog, compressed as Debian wants it.
  configure_file(${_src}/changelog.in ${_out}/changelog @ONLY)
  add_custom_command(OUTPUT ${_out}/changelog.gz
    COMMAND gzip -9n -c ${_out}/changelog > ${_out}/changelog.gz
    DEPENDS ${_out}/changelog ${_src}/changelog.in
    COMMENT "Compressing the changelog")
  add_custom_target(bravik_packaging_files ALL DEPENDS ${_pngs} ${_out}/changelog.gz)

  set(_docdir ${CMAKE_INSTALL_DATADIR}/doc/bravik-log)
  install(FILES ${_src}/copyright ${_out}/changelog.gz DESTINATION ${_docdir})

  # The Debian package.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME bravik-log)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR "Team Bravik")
  set(CPACK_PACKAGE_CONTACT "${BRAVIK_PACKAGE_MAINTAINER}")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operations logbook and mission console for an AUV crew")
  set(CPACK_PACKAGE_DESCRIPTION
      "The Bravik AUV Log Utility is the operations logbook of the crew that runs an
autonomous underwater vehicle: predive checklists, mission logs, battery
charges, maintenance, weather, tasks, purchases and notes, each entry stamped
with time and submitter, kept in a SQLite file or on a PostgreSQL server.
It builds mission scripts from six stock templates, reviews, starts and
aborts missions through the crew's command scripts, and fills positions in
from the ship's GPS sentence server.
.
Also contains bravik-mission, which builds the same mission scripts on the
command line, and bravik-gps-sim, a GPS sentence server for training.")
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRAVIK_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Qt loads its database drivers as plugins, which dpkg-shlibdeps cannot
  # see: SQLite is the default logbook, PostgreSQL the shared one.
  # GMT's library (found by dpkg-shlibdeps) cannot start without its own
  # files in gmt-common, which also carry the GSHHG shorelines.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, gmt-common, gmt-gshhg-low")
  # mdbtools reads the crew's old Access logbook when it is brought in.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, gmt-gshhg-high, mdbtools")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # Debian wants manual pages compressed; a plain install keeps them as
  # they are.
  set(CPACK_PRE_BUILD_SCRIPTS ${_src}/CompressManPages.cmake)
  # make package_source: the sources alone.
  set(CPACK_SOURCE_GENERATOR TGZ)
  set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git(/|$)" "/build[^/]*/" "\\\\.user$")
  include(CPack)
endif()
