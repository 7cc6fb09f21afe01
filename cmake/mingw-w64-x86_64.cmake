# Cross build for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64).
#
# The -posix compilers are the ones whose C++ library has std::thread and
# std::mutex, which GoogleTest needs. Built programs run on this machine under
# Wine: cmake/wine-run.sh starts them in the build's own Wine prefix, never in
# the user's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SKINKIT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SKINKIT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SKINKIT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SKINKIT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SKINKIT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every Windows program that CMake or CTest runs goes through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
