# 32-bit Windows through mingw-w64: the build with the exact record layouts
# and stdcall entry points. It is compiled and inspected, never run here.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(IMEXP_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
