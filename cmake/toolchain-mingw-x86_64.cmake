# The same sources as 64-bit Windows programs: what the Win32 tests run under a 64-bit Wine
# on machines that cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VT_MINGW_TRIPLE x86_64-w64-mingw32)
# Nothing built here ships, and GoogleTest wants std::mutex, which the posix model has.
set(VT_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
