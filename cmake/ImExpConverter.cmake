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
# configure output saying that the <format> converter is skipped where the
# library is missing. On Windows targets pkg-config looks only in the prefix
# the mingw toolchain files name (scripts/mingw_field_libraries.sh builds it),
# and the library is linked in statically, so that a converter DLL carries
# what it needs and the manager's folder holds no library DLLs.
function(imexp_converter_library var module format)
  set(${var} "" PARENT_SCOPE)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(imexp_${module} QUIET IMPORTED_TARGET ${module})
  endif()
  if(NOT imexp_${module}_FOUND)
    message(STATUS "imexp: the ${format} converter is skipped: ${module} not found by pkg-config")
    return()
  endif()
  if(NOT IMEXP_WINDOWS)
    set(${var} PkgConfig::imexp_${module} PARENT_SCOPE)
    return()
  endif()
  set(p imexp_${module}_STATIC)
  add_library(imexp_static_${module} INTERFACE IMPORTED)
  target_include_directories(imexp_static_${module} INTERFACE ${${p}_INCLUDE_DIRS})
  target_compile_options(imexp_static_${module} INTERFACE ${${p}_CFLAGS_OTHER})
  target_link_libraries(imexp_static_${module} INTERFACE ${${p}_LDFLAGS})
  set(${var} imexp_static_${module} PARENT_SCOPE)
endfunction()
