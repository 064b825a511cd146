# SPDX-License-Identifier: MIT
# The Debian package (scripts/package.sh): everything `cmake --install` lays out under /usr, with the shared
# libraries' packages computed by dpkg-shlibdeps, and the Arial-metric font that the window's fixed layout is
# designed for besides. The platform plugins that draw the window (X11 included) come with libqt6gui6, one of
# the computed dependencies; qt6-qpa-plugins holds only the VNC and touch-input plugins on Debian 12, so it is
# not needed (scripts/check-package.sh installs the package without it and finds the X11 plugin).
set(CPACK_PACKAGE_NAME ostrand)
set(CPACK_PACKAGE_VENDOR Kelvadine)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CSV to HTML table converter for the desktop and the shell")
# One paragraph, its lines short enough for a package description.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Ostrand turns CSV files into HTML documents, one table per file. Collect"
    "files in a list (file dialog, whole folder trees, drag and drop, or the"
    "bundled samples), choose how the fields are separated, the table's border"
    "width and colours and where the documents go, then convert them all."
    "ostrand-convert does the same conversion from a shell, for scripts and"
    "batch jobs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OSTRAND_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(OSTRAND_HOMEPAGE)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${OSTRAND_HOMEPAGE}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation | fonts-liberation2")
# Qt's own translations let the standard dialogs speak the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
option(OSTRAND_INSTALL_PACKAGE_DOCS "Install the copyright file and the changelog (off when debian/ brings them)" ON)
if(OSTRAND_INSTALL_PACKAGE_DOCS)
    # The licence and the changelog, where a Debian system keeps every package's.
    # The copyright file names the maintainer, and the home page where there is one.
    set(OSTRAND_COPYRIGHT_SOURCE "")
    if(OSTRAND_HOMEPAGE)
        set(OSTRAND_COPYRIGHT_SOURCE "Source: ${OSTRAND_HOMEPAGE}\n")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${CMAKE_BINARY_DIR}/package/copyright @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/package/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ostrand)
    find_program(OSTRAND_GZIP gzip)
    if(OSTRAND_GZIP)
        configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
        add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz
            COMMAND ${OSTRAND_GZIP} -9nkf ${CMAKE_BINARY_DIR}/package/changelog
            DEPENDS ${CMAKE_BINARY_DIR}/package/changelog VERBATIM)
        add_custom_target(ostrand_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/package/changelog.gz)
        install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ostrand)
    endif()
endif()
include(CPack)
