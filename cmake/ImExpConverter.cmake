# imexp_add_converter(<name> SOURCES <files...> [DEFINITIONS <defs...>] [OUTPUT_NAME <file>] [BUNDLED])
#
# Builds a converter plug-in the same way on every target: a shared library
# named <name>.so / <name>.dll (no "lib" prefix) in the output folder, seeing
# only the converter headers of include/imexp/, exporting just its entry
# points by plain name. On 32-bit Windows the stdcall entry points are
# exported without their "@n" decoration (--kill-at).
function(imexp_add_converter name)
  cmake_parse_arguments(ARG "BUNDLED" "OUTPUT_NAME" "SOURCES;DEFINITIONS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "")
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  imexp_converter_compile_settings(${name})
  if(ARG_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
  endif()
  if(IMEXP_WINDOWS)
    if(IMEXP_WIN32_X86)
      target_link_options(${name} PRIVATE -Wl,--kill-at)
    endif()
  else()
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  if(ARG_BUNDLED)
    # Bundled converters are listed in the generated CONVERT.INI.
    set_property(GLOBAL APPEND PROPERTY IMEXP_BUNDLED_CONVERTERS ${name})
    install(TARGETS ${name} LIBRARY DESTINATION . RUNTIME DESTINATION .)
  endif()
endfunction()

# imexp_converter_compile_settings(<target>)
#
# How converter code is compiled, for a converter library and for any object
# library whose code goes into converters: the converter headers, the entry
# points declared with export and calling convention, hidden everything else.
# -fno-gnu-unique keeps glibc from pinning a plug-in in memory for good (an
# inline function's static would otherwise be a unique symbol), so each
# plug-in really unloads after every operation.
function(imexp_converter_compile_settings target)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/include)
  target_compile_definitions(${target} PRIVATE IMEXP_CONVERTER_IMPLEMENTATION)
  imexp_warnings(${target})
  if(NOT IMEXP_WINDOWS)
    target_compile_options(${target} PRIVATE -fno-gnu-unique)
  endif()
endfunction()

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
