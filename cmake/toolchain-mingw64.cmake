# 64-bit Windows through mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(IMEXP_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
# Tests run under wine64; ctest goes through this emulator for every test
# (a wrapper that starts a program once more when wine itself failed to).
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh /usr/lib/wine/wine64)
