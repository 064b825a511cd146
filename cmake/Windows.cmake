# SPDX-License-Identifier: MIT
# The Windows build: the programs' icon and version information, the Qt and MinGW-w64 DLLs they load copied
# beside them (as windeployqt would), everything in one folder, and an NSIS installer and a zip of that folder.

# The icon, packed from the PNG sizes the window uses.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(OSTRAND_ICO ${CMAKE_BINARY_DIR}/windows/ostrand.ico)
set(icon_pngs)
foreach(size 16 24 32 48 64 128 256)
    list(APPEND icon_pngs ${CMAKE_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/ostrand.png)
endforeach()
add_custom_command(OUTPUT ${OSTRAND_ICO}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/resources/tools/make_app_ico.py ${OSTRAND_ICO} ${icon_pngs}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/tools/make_app_ico.py ${icon_pngs} VERBATIM)
add_custom_target(ostrand_ico DEPENDS ${OSTRAND_ICO})

# Each program's resources: the icon Explorer shows and the version information of its properties.
foreach(program IN ITEMS ostrand ostrand-convert)
    if(NOT TARGET ${program})
        continue()
    endif()
    set(OSTRAND_RC_NAME ${program})
    if(program STREQUAL "ostrand")
        set(OSTRAND_RC_DESCRIPTION "Ostrand CSV to HTML table converter")
        set_target_properties(${program} PROPERTIES WIN32_EXECUTABLE ON)
    else()
        set(OSTRAND_RC_DESCRIPTION "Ostrand CSV to HTML table converter for the command line")
    endif()
    configure_file(${CMAKE_SOURCE_DIR}/resources/windows/program.rc.in ${CMAKE_BINARY_DIR}/windows/${program}.rc @ONLY)
    target_sources(${program} PRIVATE ${CMAKE_BINARY_DIR}/windows/${program}.rc)
    set_source_files_properties(${CMAKE_BINARY_DIR}/windows/${program}.rc PROPERTIES OBJECT_DEPENDS ${OSTRAND_ICO})
    add_dependencies(${program} ostrand_ico)
endforeach()

# What the programs and the tests load: Qt's DLLs, the platform plugins (the Windows one for the window, the
# offscreen one for the tests), the style and image format plugins, and the compiler's runtime.
set(OSTRAND_QT_DLLS Qt6::Core Qt6::Gui Qt6::Widgets)
set(OSTRAND_QT_TEST_DLLS Qt6::Test)
set(OSTRAND_QT_PLUGINS
    platforms Qt6::QWindowsIntegrationPlugin
    styles Qt6::QWindowsVistaStylePlugin
    imageformats Qt6::QICOPlugin
    imageformats Qt6::QGifPlugin)
set(OSTRAND_QT_TEST_PLUGINS platforms Qt6::QOffscreenIntegrationPlugin)
set(OSTRAND_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE found
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
        find_file(found_${dll} ${dll} PATHS /usr/${OSTRAND_MINGW_TRIPLET}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
        set(found ${found_${dll}})
    endif()
    if(NOT EXISTS "${found}")
        message(FATAL_ERROR "The MinGW-w64 runtime ${dll} was not found")
    endif()
    list(APPEND OSTRAND_RUNTIME_DLLS ${found})
endforeach()

set(copies)
set(copied)
foreach(target IN LISTS OSTRAND_QT_DLLS OSTRAND_QT_TEST_DLLS)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${OSTRAND_RUNTIME_DIR}/)
endforeach()
foreach(dll IN LISTS OSTRAND_RUNTIME_DLLS)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll} ${OSTRAND_RUNTIME_DIR}/)
endforeach()
set(plugins ${OSTRAND_QT_PLUGINS} ${OSTRAND_QT_TEST_PLUGINS})
while(plugins)
    list(POP_FRONT plugins folder target)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${OSTRAND_RUNTIME_DIR}/${folder}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${OSTRAND_RUNTIME_DIR}/${folder}/)
endwhile()
add_custom_target(ostrand_windows_runtime ALL ${copies} VERBATIM)

# Installed, everything lies in one folder: the programs, their DLLs and plugins, and the companion files.
foreach(target IN LISTS OSTRAND_QT_DLLS)
    install(FILES $<TARGET_FILE:${target}> DESTINATION .)
endforeach()
install(FILES ${OSTRAND_RUNTIME_DLLS} DESTINATION .)
set(plugins ${OSTRAND_QT_PLUGINS})
while(plugins)
    list(POP_FRONT plugins folder target)
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${folder})
endwhile()

# The licences and notices owed with what is shipped, in licenses/ (Ostrand's own; Qt's LGPL-3 and the GPL-3 it
# builds on; the third-party code compiled into the shipped Qt binaries, as Qt's source lists it; the runtime's
# copyright files), and in source/ the corresponding source of the Qt changes that scripts/windows-qt.sh keeps
# beside the Qt it built.
get_filename_component(OSTRAND_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)
get_filename_component(OSTRAND_QT_CACHE "${OSTRAND_QT_PREFIX}" DIRECTORY)
if(EXISTS ${OSTRAND_QT_CACHE}/source/README.txt AND EXISTS ${OSTRAND_QT_CACHE}/build/build.ninja)
    set(shipped_qt)
    set(plugins ${OSTRAND_QT_PLUGINS})
    set(qt_targets ${OSTRAND_QT_DLLS})
    while(plugins)
        list(POP_FRONT plugins folder target)
        list(APPEND qt_targets ${target})
    endwhile()
    foreach(target IN LISTS qt_targets)
        get_target_property(location ${target} IMPORTED_LOCATION_RELEASE)
        file(RELATIVE_PATH location ${OSTRAND_QT_PREFIX} ${location})
        list(APPEND shipped_qt ${location})
    endforeach()
    set(OSTRAND_LICENSES ${CMAKE_BINARY_DIR}/licenses)
    add_custom_command(OUTPUT ${OSTRAND_LICENSES}/Qt-third-party-notices.txt
        COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/windows-notices.py ${OSTRAND_QT_CACHE}
            ${OSTRAND_LICENSES} --qt ${shipped_qt} --runtime ${OSTRAND_RUNTIME_DLLS}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/LICENSE ${OSTRAND_LICENSES}/Ostrand.txt
        DEPENDS ${CMAKE_SOURCE_DIR}/scripts/windows-notices.py ${CMAKE_SOURCE_DIR}/LICENSE
            ${OSTRAND_QT_CACHE}/build/.ninja_deps
        VERBATIM)
    add_custom_target(ostrand_licenses ALL DEPENDS ${OSTRAND_LICENSES}/Qt-third-party-notices.txt)
    install(DIRECTORY ${OSTRAND_LICENSES}/ DESTINATION licenses)
    install(DIRECTORY ${OSTRAND_QT_CACHE}/source/ DESTINATION source)
else()
    message(WARNING "${OSTRAND_QT_PREFIX} is not a Qt built by scripts/windows-qt.sh: the distribution will lack "
        "the Qt notices and the source of its changes")
endif()

# The installer (NSIS) and a plain zip of the same files, for users without the right to install.
set(CPACK_PACKAGE_NAME Ostrand)
set(CPACK_PACKAGE_VENDOR Kelvadine)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CSV to HTML table converter for the desktop and the shell")
set(CPACK_PACKAGE_FILE_NAME Ostrand-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Ostrand)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Ostrand)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_EXECUTABLES ostrand Ostrand)
set(CPACK_NSIS_PACKAGE_NAME Ostrand)
# A 64-bit installer for 64-bit programs: it installs into the 64-bit Program Files and registers them in the
# 64-bit registry, and needs no 32-bit Windows (nor Wine's 32-bit half) to run.
set(CPACK_NSIS_DEFINES "  Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "Ostrand ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${OSTRAND_ICO})
set(CPACK_NSIS_MUI_UNIICON ${OSTRAND_ICO})
set(CPACK_NSIS_INSTALLED_ICON_NAME ostrand.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# "Open with" for CSV files: the program is registered as an application that opens them, beside whatever
# program the user has chosen for them. (CPack reads these texts once more as quoted CMake
# strings: backslashes and double quotes are escaped.)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  WriteRegStr SHCTX 'Software\\Classes\\Applications\\ostrand.exe\\shell\\open\\command' '' `\"$INSTDIR\\ostrand.exe\" \"%1\"`
  WriteRegStr SHCTX 'Software\\Classes\\Applications\\ostrand.exe' 'FriendlyAppName' 'Ostrand'
  WriteRegStr SHCTX 'Software\\Classes\\Applications\\ostrand.exe\\SupportedTypes' '.csv' ''
  WriteRegStr SHCTX 'Software\\Classes\\.csv\\OpenWithList\\ostrand.exe' '' ''
]=])
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  DeleteRegKey SHCTX 'Software\\Classes\\Applications\\ostrand.exe'
  DeleteRegKey SHCTX 'Software\\Classes\\.csv\\OpenWithList\\ostrand.exe'
]=])
include(CPack)
