# The same program for x86-64, for testing on hosts whose kernel runs no
# 32-bit programs (Wine's 32-bit loader needs them).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNETH_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
