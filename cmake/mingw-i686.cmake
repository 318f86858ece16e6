# Cross compilation for 32-bit Windows with mingw-w64 (Debian g++-mingw-w64-i686).
set(HBX_MINGW_PROCESSOR i686)
set(HBX_MINGW_TRIPLE i686-w64-mingw32)
set(HBX_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
