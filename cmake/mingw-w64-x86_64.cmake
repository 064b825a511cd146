# SPDX-License-Identifier: MIT
# Cross-compiling for Windows x64 with Debian's MinGW-w64 compilers, the POSIX threads variant (the one
# whose libstdc++ has std::thread and std::mutex, which Qt and the core library use).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(OSTRAND_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OSTRAND_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSTRAND_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OSTRAND_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${OSTRAND_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${OSTRAND_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the MinGW root and from the prefixes given (the cross Qt); programs that
# run during the build come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${OSTRAND_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and helpers built for Windows run on this machine through Wine.
find_program(OSTRAND_WINE NAMES wine64 wine)
if(OSTRAND_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${OSTRAND_WINE})
endif()
