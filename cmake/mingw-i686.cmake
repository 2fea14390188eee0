# The 32-bit Windows console program Varneth ships as.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNETH_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
