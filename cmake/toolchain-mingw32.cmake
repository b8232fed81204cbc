# 32-bit Windows through mingw-w64: the build with the exact record layouts
# and stdcall entry points. It is compiled and inspected, never run here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(IMEXP_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${IMEXP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${IMEXP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${IMEXP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${IMEXP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
