# The shipped build: 32-bit Windows 95/98 binaries.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VT_MINGW_TRIPLE i686-w64-mingw32)
set(VT_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
