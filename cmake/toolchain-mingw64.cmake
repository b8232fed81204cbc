# 64-bit Windows through mingw-w64. The -posix compilers carry the thread
# model that std::mutex (and so GoogleTest) needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(IMEXP_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${IMEXP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${IMEXP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${IMEXP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${IMEXP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run under wine64; ctest goes through this emulator for every test
# (a wrapper that starts a program once more when wine itself failed to).
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh)
