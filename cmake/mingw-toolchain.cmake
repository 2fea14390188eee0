# Shared by the mingw-w64 toolchain files, which set VARNETH_MINGW_TARGET:
# cross-compiles the Windows console program and runs what it builds (unit
# tests) under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VARNETH_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNETH_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNETH_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VARNETH_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
