# imexp_add_converter(<name> SOURCES <files...> [RESOURCES <script.rc>] [DEFINITIONS <defs...>]
#                     [OUTPUT_NAME <file>])
#
# Builds a converter plug-in the same way on every target, in this tree and
# (from the installed ImExp package) outside it: a loadable module named
# <name>.so / <name>.dll (no "lib" prefix, no import library), seeing the converter headers of
# <imexp/...> through ImExp::converter, exporting just its entry points by
# plain name. On 32-bit Windows the stdcall entry points are exported without
# their "@n" decoration (--kill-at); elsewhere every symbol must resolve at
# link time (--no-undefined), so a converter never fails to load later.
#
# RESOURCES names the converter's resource script (its dialogs and strings,
# which may #include others, such as <imexp/converter_dialogs.rc>). On
# Windows it is compiled into the DLL (enable the RC language in the
# project); elsewhere its tables are generated into the library. Either way
# the converter links ImExp::converter_ui and calls the Win32 functions of
# <imexp/converter_ui.h> for its dialogs.
function(imexp_add_converter name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;RESOURCES" "SOURCES;DEFINITIONS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  if(ARG_RESOURCES)
    imexp_converter_resources(${name} ${ARG_RESOURCES})
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "")
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  imexp_converter_compile_settings(${name})
  if(ARG_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
  endif()
  if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      target_link_options(${name} PRIVATE -Wl,--kill-at)
    endif()
  elseif(NOT APPLE AND NOT IMEXP_FUZZ)
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
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
    VISIBILITY_INLINES_HIDDEN ON
    POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(${target} PRIVATE ImExp::converter)
  if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-gnu-unique>)
  endif()
  # This tree's own warnings; a converter built elsewhere keeps its own.
  if(COMMAND imexp_warnings)
    imexp_warnings(${target})
  endif()
endfunction()

# imexp_converter_resources(<target> <script.rc>)
#
# The resources of a converter: the script compiled into a Windows DLL, or
# the tables rc_to_tables generates from it for a POSIX library.
function(imexp_converter_resources target script)
  get_filename_component(script ${script} ABSOLUTE)
  target_link_libraries(${target} PRIVATE ImExp::converter_ui)
  if(WIN32)
    if(NOT CMAKE_RC_COMPILER_LOADED)
      message(FATAL_ERROR "imexp_add_converter(${target} RESOURCES ...): enable the RC language "
                          "(project(... LANGUAGES CXX RC)) to compile resource scripts for Windows")
    endif()
    target_sources(${target} PRIVATE ${script})
    return()
  endif()
  set(tables ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(
    OUTPUT ${tables}
    COMMAND ImExp::rc_to_tables ${script} ${tables} -d ${tables}.d
            "$<TARGET_PROPERTY:ImExp::converter,INTERFACE_INCLUDE_DIRECTORIES>"
    DEPENDS ${script} ImExp::rc_to_tables
    DEPFILE ${tables}.d
    COMMAND_EXPAND_LISTS
    COMMENT "Generating the resource tables of ${target}")
  target_sources(${target} PRIVATE ${tables})
endfunction()
