# SPDX-License-Identifier: MIT
# Fails when a file of the core includes a QtGui or QtWidgets header.
file(GLOB_RECURSE files ${CORE_DIR}/*.h ${CORE_DIR}/*.cpp)
set(offenders)
foreach(f IN LISTS files)
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](QtGui|QtWidgets|QWidget|QApplication|QGuiApplication|QColor|QPixmap|QImage|QCursor|QMessageBox|QDialog|QFileDialog|QIcon)")
    if(lines)
        list(APPEND offenders "${f}: ${lines}")
    endif()
endforeach()
if(offenders)
    message(FATAL_ERROR "The core includes GUI headers:\n${offenders}")
endif()
message(STATUS "The core includes QtCore headers only.")
