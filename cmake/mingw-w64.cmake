# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads), the
# runtime linked in statically, and wine to run what is built (tests, test
# discovery). Usage: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAGSHIFT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAGSHIFT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAGSHIFT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAGSHIFT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAGSHIFT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# No MinGW runtime DLLs to ship or to find under wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TAGSHIFT_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(TAGSHIFT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAGSHIFT_WINE})
endif()
