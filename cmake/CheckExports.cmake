# cmake -DOBJDUMP=... -DDLLTOOL=... -DLIBRARY=... -DIMPORT_LIBRARY=... -DDEF_FILE=...
#       -DEXPECTED=name@n;... -P CheckExports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIBRARY}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table.*" table "${dump}")
set(missing "")
foreach(entry IN LISTS EXPECTED)
  string(REGEX REPLACE "@[0-9]+$" "" name "${entry}")
  if(NOT table MATCHES "\\] ${name}\n")
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "not exported under the plain name: ${missing}")
endif()
if(table MATCHES "\\] [A-Za-z_]+@[0-9]+\n")
  message(FATAL_ERROR "decorated exports found:\n${table}")
endif()

# The import library: the linker's export list with the C functions given
# their decoration back, turned by dlltool --kill-at into imports of the
# plain names.
file(READ ${DEF_FILE} def)
foreach(entry IN LISTS EXPECTED)
  string(REGEX REPLACE "@[0-9]+$" "" name "${entry}")
  string(REGEX REPLACE "(\n[ \t]*)${name}( |\n)" "\\1${entry}\\2" def "${def}")
endforeach()
get_filename_component(folder ${DEF_FILE} DIRECTORY)
file(WRITE ${folder}/imexp_decorated.def "${def}")
execute_process(COMMAND ${DLLTOOL} --kill-at -d ${folder}/imexp_decorated.def -D imexp.dll -l ${IMPORT_LIBRARY}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dlltool could not build ${IMPORT_LIBRARY}")
endif()
