# What an install holds besides the converters: the manager, the headers,
# the CMake package (find_package(ImExp): ImExp::imexp for hosts,
# ImExp::converter, ImExp::converter_ui and imexp_add_converter for
# converters), the pkg-config files imexp.pc, imexp-converter.pc and
# imexp-converter-ui.pc, and the Debian package (cpack -G DEB).
include(CMakePackageConfigHelpers)

install(TARGETS imexp imexp_converter_interface imexp_converter_ui EXPORT ImExpTargets
  LIBRARY DESTINATION ${IMEXP_INSTALL_MANAGER_DIR}
  RUNTIME DESTINATION ${IMEXP_INSTALL_MANAGER_DIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(NOT IMEXP_WINDOWS)
  # Turns a converter's resource script into the tables linked into it.
  install(TARGETS rc_to_tables EXPORT ImExpTargets RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/imexp)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/imexp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h" PATTERN "*.rc")
install(EXPORT ImExpTargets NAMESPACE ImExp:: DESTINATION ${IMEXP_INSTALL_PACKAGE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/package/ImExpConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/ImExpConfig.cmake
  INSTALL_DESTINATION ${IMEXP_INSTALL_PACKAGE_DIR}
  PATH_VARS IMEXP_INSTALL_MANAGER_DIR IMEXP_INSTALL_CONVERTER_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/ImExpConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/ImExpConfig.cmake ${CMAKE_BINARY_DIR}/package/ImExpConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/ImExpAddConverter.cmake
        DESTINATION ${IMEXP_INSTALL_PACKAGE_DIR})

# pkg-config: paths relative to the .pc file, so that the prefix can move.
# The converter flags are those imexp_add_converter gives.
file(RELATIVE_PATH IMEXP_PC_TO_PREFIX /${IMEXP_INSTALL_PKGCONFIG_DIR} /)
string(REGEX REPLACE "/$" "" IMEXP_PC_TO_PREFIX "${IMEXP_PC_TO_PREFIX}")
set(IMEXP_PC_CONVERTER_CFLAGS "-DIMEXP_CONVERTER_IMPLEMENTATION -fvisibility=hidden -fvisibility-inlines-hidden")
set(IMEXP_PC_CONVERTER_LIBS "-shared")
if(IMEXP_WINDOWS)
  if(IMEXP_WIN32_X86)
    string(APPEND IMEXP_PC_CONVERTER_LIBS " -Wl,--kill-at")
  endif()
else()
  string(APPEND IMEXP_PC_CONVERTER_CFLAGS " -fPIC -fno-gnu-unique")
  string(APPEND IMEXP_PC_CONVERTER_LIBS " -Wl,--no-undefined")
endif()
if(IMEXP_WINDOWS)
  set(IMEXP_PC_CONVERTER_UI_LIBS "-luser32")
else()
  set(IMEXP_PC_CONVERTER_UI_LIBS "-L\${libdir} -limexp_converter_ui")
endif()
foreach(pc imexp imexp-converter imexp-converter-ui)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/package/${pc}.pc.in ${CMAKE_BINARY_DIR}/package/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/package/${pc}.pc DESTINATION ${IMEXP_INSTALL_PKGCONFIG_DIR})
endforeach()

# The Debian package of a Linux build: everything above under /usr.
if(NOT IMEXP_WINDOWS)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME imexp)
  set(CPACK_PACKAGE_VENDOR "ImExp")
  set(CPACK_PACKAGE_CONTACT "ImExp developers <imexp@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Image file converter manager, its converters and the imexp tool")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # The field libraries, the C++ runtime and GTK, as dpkg-shlibdeps finds
  # them in the built files.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The converter list is the administrator's to change (the setup dialog
  # and `imexp install` rewrite it): an upgrade keeps the changed file.
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/deb-control/conffiles
       CONTENT "${CPACK_PACKAGING_INSTALL_PREFIX}/${IMEXP_INSTALL_MANAGER_DIR}/CONVERT.INI\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/deb-control/conffiles)
  set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/deb)
  include(CPack)
endif()
