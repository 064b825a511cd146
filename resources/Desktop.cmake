# SPDX-License-Identifier: MIT
# What makes Ostrand a desktop application, all named by its application id (OSTRAND_APP_ID): the menu entry, the
# icon in the hicolor theme, the AppStream metainfo; and the man pages made from each program's --help.
# The one category the menu entry and the AppStream data both file the program under.
set(OSTRAND_APP_CATEGORY Office)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/desktop/ostrand.desktop.in
    ${CMAKE_BINARY_DIR}/desktop/${OSTRAND_APP_ID}.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${OSTRAND_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The home page and the screenshot it hosts (the repository's docs/screenshot.png) only where there is one.
set(OSTRAND_METAINFO_LINKS "")
if(OSTRAND_HOMEPAGE)
    string(REGEX REPLACE "/+$" "" homepage "${OSTRAND_HOMEPAGE}")
    string(JOIN "\n" OSTRAND_METAINFO_LINKS
        "  <url type=\"homepage\">${OSTRAND_HOMEPAGE}</url>"
        "  <screenshots>"
        "    <screenshot type=\"default\">"
        "      <caption>The Ostrand window with its file list and options</caption>"
        "      <image type=\"source\" width=\"536\" height=\"554\">${homepage}/screenshot.png</image>"
        "    </screenshot>"
        "  </screenshots>"
        "")
endif()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/desktop/ostrand.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/desktop/${OSTRAND_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${OSTRAND_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/icons/ostrand.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${OSTRAND_APP_ID}.svg)
foreach(size IN ITEMS 16 24 32 48 64 128 256)
    install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/icons/hicolor/${size}x${size}/apps/ostrand.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${OSTRAND_APP_ID}.png)
endforeach()

find_program(OSTRAND_HELP2MAN help2man)
find_program(OSTRAND_GZIP gzip)
if(OSTRAND_HELP2MAN AND OSTRAND_GZIP AND TARGET ostrand AND TARGET ostrand-convert)
    set(man_dir ${CMAKE_BINARY_DIR}/man)
    set(OSTRAND_MAN_PAGES)
    foreach(program IN ITEMS ostrand ostrand-convert)
        if(program STREQUAL "ostrand")
            set(summary "convert CSV files into HTML table documents (desktop program)")
        else()
            set(summary "convert CSV files into HTML table documents from a shell")
        endif()
        set(page ${man_dir}/${program}.1)
        # A page's own sections (FILES) beside what --help says.
        set(include ${CMAKE_CURRENT_SOURCE_DIR}/man/${program}.h2m)
        set(include_option)
        set(include_file)
        if(EXISTS ${include})
            set(include_option --include=${include})
            set(include_file ${include})
        endif()
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
                ${OSTRAND_HELP2MAN} --no-info --section=1 --name=${summary} ${include_option}
                --output=${page} $<TARGET_FILE:${program}>
            COMMAND ${OSTRAND_GZIP} -9nf ${page}
            DEPENDS ${program} ${include_file} VERBATIM)
        list(APPEND OSTRAND_MAN_PAGES ${page}.gz)
    endforeach()
    add_custom_target(ostrand_man_pages ALL DEPENDS ${OSTRAND_MAN_PAGES})
    install(FILES ${OSTRAND_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man or gzip not found: the man pages are not made (scripts/setup.sh installs them)")
endif()
