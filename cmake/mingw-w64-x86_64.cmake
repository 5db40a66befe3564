# Cross build of the 64-bit Windows plug-in and tests with Debian's mingw-w64:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARDEK_MINGW_TRIPLE x86_64-w64-mingw32)
set(VARDEK_WINE_NAMES wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
