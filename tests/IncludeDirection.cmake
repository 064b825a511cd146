# SPDX-License-Identifier: MIT
# Fails when a file under FROM_DIR includes a header under the folder TO (relative to src/): the include
# arrows between the two run the other way only.
file(GLOB_RECURSE files ${FROM_DIR}/*.h ${FROM_DIR}/*.cpp)
set(offenders)
foreach(f IN LISTS files)
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"${TO}/")
    if(lines)
        list(APPEND offenders "${f}: ${lines}")
    endif()
endforeach()
if(offenders)
    message(FATAL_ERROR "${FROM_DIR} includes headers of ${TO}/:\n${offenders}")
endif()
message(STATUS "${FROM_DIR} includes nothing of ${TO}/.")
