# Shared by the MinGW-w64 toolchain files; the including file sets VT_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 4.0)

# The including file picks the thread model: win32 for what ships (no winpthread in any binary).
set(CMAKE_C_COMPILER ${VT_MINGW_TRIPLE}-gcc-${VT_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${VT_MINGW_TRIPLE}-g++-${VT_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${VT_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${VT_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${VT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
