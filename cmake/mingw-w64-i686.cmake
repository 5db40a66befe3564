# Cross build of the 32-bit Windows plug-in (stdcall at every library
# boundary) with Debian's mingw-w64:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARDEK_MINGW_TRIPLE i686-w64-mingw32)
set(VARDEK_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
