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

# The field libraries the PNG, JPEG, TIFF, GIF and WebP converters are built
# over, cross-built by scripts/mingw_field_libraries.sh into a prefix per
# triple; pkg-config looks there and nowhere else (never at the build
# machine's own libraries). Without that prefix those converters are skipped.
if(NOT IMEXP_FIELD_LIBRARIES)
  if(DEFINED ENV{IMEXP_CACHE_DIR})
    set(IMEXP_FIELD_LIBRARIES $ENV{IMEXP_CACHE_DIR}/mingw/${IMEXP_MINGW_TRIPLE})
  else()
    set(IMEXP_FIELD_LIBRARIES /var/cache/imexp/mingw/${IMEXP_MINGW_TRIPLE})
  endif()
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${IMEXP_FIELD_LIBRARIES})
set(ENV{PKG_CONFIG_LIBDIR} ${IMEXP_FIELD_LIBRARIES}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
