# Cross compilation for Windows with Debian's mingw-w64 compilers (the posix
# thread model). The toolchain file of each architecture sets
# HBX_MINGW_PROCESSOR, HBX_MINGW_TRIPLE and HBX_WINE_LOADER, then includes this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${HBX_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${HBX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HBX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HBX_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HBX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs of the build run under Wine's loader of the same architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR ${HBX_WINE_LOADER})
