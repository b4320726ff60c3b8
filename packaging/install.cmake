# Installation and the Debian package (cpack -G DEB).
#
# The program goes to bin/, the shipped defaults (the dist/ files) to
# share/mivaromap, from where a first start copies them into the user's data
# folder (settings/programdir.cpp). The icons in packaging/icons/ are drawn
# for this program: mivaromap.svg, and PNGs rendered from it once with
#   rsvg-convert -w N -h N mivaromap.svg -o mivaromap-N.png
# (committed, so that the build needs no SVG renderer).

include(GNUInstallDirs)
# Installing and packaging need the program, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(MIVAROMAP_APP_ID org.mivaromap.MivaroMap)
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS mivaromap RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/dist/ DESTINATION ${CMAKE_INSTALL_DATADIR}/mivaromap)
install(FILES ${_pkg}/${MIVAROMAP_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/${MIVAROMAP_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(_size 16 22 24 32 48 64 128 256)
    install(FILES ${_pkg}/icons/mivaromap-${_size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
            RENAME mivaromap.png)
endforeach()
install(FILES ${_pkg}/icons/mivaromap.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian wants its changelog compressed the reproducible way (no name, no time).
set(_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${_changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${_pkg}/changelog > ${_changelog}
    DEPENDS ${_pkg}/changelog VERBATIM)
set(_manpage ${CMAKE_BINARY_DIR}/packaging/mivaromap.1.gz)
add_custom_command(OUTPUT ${_manpage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${_pkg}/mivaromap.1 > ${_manpage}
    DEPENDS ${_pkg}/mivaromap.1 VERBATIM)
add_custom_target(packaging_files ALL DEPENDS ${_changelog} ${_manpage})
add_dependencies(mivaromap packaging_files)
install(FILES ${_manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_changelog} ${_pkg}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mivaromap)

set(CPACK_PACKAGE_NAME mivaromap)
set(CPACK_PACKAGE_VENDOR "MivaroMap developers")
set(CPACK_PACKAGE_CONTACT "MivaroMap developers <mivaromap@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "map of a list of places, with a Japanese interface")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "MivaroMap keeps one list of places (by default the 100 famous castles of\n"
    "Japan) and shows each as a labelled marker on a web map. The list can be\n"
    "edited, classified, filtered and searched, and the map can be saved as a\n"
    "picture good enough to print, also from the command line.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/mivaromap")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Found at run time, not linked: the marker font and Qt's Japanese texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qttranslations5-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
