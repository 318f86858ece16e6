# Cross compilation for 64-bit Windows with mingw-w64 (Debian g++-mingw-w64-x86-64-posix).
set(HBX_MINGW_PROCESSOR x86_64)
set(HBX_MINGW_TRIPLE x86_64-w64-mingw32)
set(HBX_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
