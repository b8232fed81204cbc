# The converters of this tree: the shared imexp_add_converter, the interface
# target it links (ImExp::converter, installed with the package) and the
# field libraries the bundled converters are built over.
add_library(imexp_converter_interface INTERFACE)
add_library(ImExp::converter ALIAS imexp_converter_interface)
target_include_directories(imexp_converter_interface INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_definitions(imexp_converter_interface INTERFACE IMEXP_CONVERTER_IMPLEMENTATION)
# The support header needs C++20; the plug-in headers themselves are C.
target_compile_features(imexp_converter_interface INTERFACE cxx_std_20)
set_target_properties(imexp_converter_interface PROPERTIES EXPORT_NAME converter)

include(ImExpAddConverter)

# imexp_converter_library(<var> <pkg-config module> <format>)
#
# Finds the field library a converter is built over. Sets <var> to an
# imported target to link the converter with, or to "" with a line in the
# configure output saying that the <format> converter is skipped: where the
# library is missing, and on Windows targets, whose cross builds have no
# such libraries.
function(imexp_converter_library var module format)
  set(${var} "" PARENT_SCOPE)
  if(IMEXP_WINDOWS)
    message(STATUS "imexp: the ${format} converter is skipped: ${module} is not available for Windows targets")
    return()
  endif()
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(imexp_${module} QUIET IMPORTED_TARGET ${module})
  endif()
  if(NOT imexp_${module}_FOUND)
    message(STATUS "imexp: the ${format} converter is skipped: ${module} not found by pkg-config")
    return()
  endif()
  set(${var} PkgConfig::imexp_${module} PARENT_SCOPE)
endfunction()
