# 32-bit Windows through mingw-w64: the build with the exact record layouts,
# stdcall entry points and thiscall host classes. Tests run under Wine's
# 32-bit loader (scripts/wine32_setup.sh installs it), through the same
# wrapper as the 64-bit ones.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(IMEXP_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh /usr/lib/wine/wine)
