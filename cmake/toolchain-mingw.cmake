# What the 32- and 64-bit mingw-w64 toolchains share, for the triple in
# IMEXP_MINGW_TRIPLE. The -posix compilers carry the thread model that
# std::mutex (and so GoogleTest) needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${IMEXP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${IMEXP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${IMEXP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${IMEXP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
