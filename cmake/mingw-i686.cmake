# Cross-build for 32-bit Windows with mingw-w64 (posix threads variant, which the
# standard library's threads need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VRK_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${VRK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VRK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VRK_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VRK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No DLL beyond Windows' own: the C and C++ runtimes and threads are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run through Wine, in a prefix inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
