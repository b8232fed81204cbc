# Where an install puts each part. The manager finds CONVERT.INI in its own
# folder and resolves the relative converter paths listed there against that
# folder, so the list always lies beside the manager and names the
# converters relative to it.
#
#   Linux:   bin/imexp, include/imexp/, lib/libimexp.so.1 with lib/CONVERT.INI
#            beside it, the converters in lib/imexp/, the GTK presenter in lib/,
#            lib/cmake/ImExp/ and lib/pkgconfig/.
#   Windows: bin/ holds imexp.exe, imexp.dll, the converters, the C++ runtime
#            DLLs and CONVERT.INI; lib/ the import library and the packages.
include(GNUInstallDirs)
if(IMEXP_WINDOWS)
  set(IMEXP_INSTALL_MANAGER_DIR ${CMAKE_INSTALL_BINDIR})
  set(IMEXP_INSTALL_CONVERTER_SUBDIR "")
else()
  set(IMEXP_INSTALL_MANAGER_DIR ${CMAKE_INSTALL_LIBDIR})
  set(IMEXP_INSTALL_CONVERTER_SUBDIR "imexp/")
endif()
set(IMEXP_INSTALL_CONVERTER_DIR ${IMEXP_INSTALL_MANAGER_DIR}/${IMEXP_INSTALL_CONVERTER_SUBDIR})
set(IMEXP_INSTALL_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ImExp)
set(IMEXP_INSTALL_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The relative path from an installed program in bin/ to the manager's
# folder, for the programs' and the presenter's run path.
file(RELATIVE_PATH IMEXP_BIN_TO_MANAGER /${CMAKE_INSTALL_BINDIR} /${IMEXP_INSTALL_MANAGER_DIR})
