# Shared part of the mingw-w64 toolchain files: Debian's cross compilers with
# the POSIX thread model, the matching sysroot, a static C and C++ runtime (so
# vardek.dll and the test programs need no mingw runtime DLLs) and wine as the
# emulator that CTest and gtest_discover_tests run the programs under.
# Expects VARDEK_MINGW_TRIPLE (x86_64-w64-mingw32 or i686-w64-mingw32).

set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${VARDEK_MINGW_TRIPLE}-gcc-posix ${VARDEK_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VARDEK_MINGW_TRIPLE}-g++-posix ${VARDEK_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VARDEK_MINGW_TRIPLE}-windres)
find_program(VARDEK_DLLTOOL NAMES ${VARDEK_MINGW_TRIPLE}-dlltool REQUIRED)
find_program(VARDEK_OBJDUMP NAMES ${VARDEK_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${VARDEK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in; only system DLLs and our own
# bass.dll / tak_deco_lib.dll are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(VARDEK_WINE NAMES ${VARDEK_WINE_NAMES} wine)
if(VARDEK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VARDEK_WINE})
endif()
