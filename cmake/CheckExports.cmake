# cmake -DOBJDUMP=... -DLIBRARY=... -DEXPECTED=name@n,... -DMICROSOFT_DEF=...
#       -DSYSTEM_DLLS=a.dll,... [-DDLLTOOL=... -DIMPORT_LIBRARY=... -DDEF_FILE=...]
#       [-DLLVM_DLLTOOL=... -DMACHINE=i386|i386:x86-64 -DMICROSOFT_IMPORT_LIBRARY=...]
#       -P CheckExports.cmake
#
# Checks imexp.dll after linking: the C functions exported under their plain
# names (no "@n"), the host classes' members under their Microsoft names
# (every name of MICROSOFT_DEF), and no import but the system DLLs. Then
# builds the import libraries hosts link with: on x86, the GNU one again
# with the stdcall decoration the compilers give the functions (DEF_FILE is
# the linker's export list); with LLVM_DLLTOOL, the Microsoft-format one
# (imexp.lib) for hosts built with Microsoft's C++ ABI.
cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...)
string(REPLACE "," ";" EXPECTED "${EXPECTED}")
string(REPLACE "," ";" SYSTEM_DLLS "${SYSTEM_DLLS}")
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIBRARY}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table.*" table "${dump}")

# The exported names, one a line, as objdump lists them.
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

file(STRINGS ${MICROSOFT_DEF} microsoft_lines REGEX "^  \\?\\?")
set(microsoft_names "")
foreach(line IN LISTS microsoft_lines)
  string(REGEX REPLACE "^  ([^ ]+) = .*" "\\1" name "${line}")
  list(APPEND microsoft_names "${name}")
  string(FIND "${table}" "] ${name}\n" at)
  if(at EQUAL -1)
    list(APPEND missing "${name}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "host class members not exported under their Microsoft names: ${missing}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
string(TOLOWER "${SYSTEM_DLLS}" system_dlls)
foreach(import IN LISTS imports)
  string(REGEX REPLACE "DLL Name: " "" dll "${import}")
  string(TOLOWER "${dll}" dll_lower)
  if(NOT dll_lower IN_LIST system_dlls)
    message(FATAL_ERROR "${LIBRARY} imports ${dll}, which is not a system DLL")
  endif()
endforeach()

# The C functions with their stdcall decoration (x86), the members as they are.
set(decorated_exports "")
foreach(entry IN LISTS EXPECTED)
  if(MACHINE STREQUAL "i386")
    string(APPEND decorated_exports "  ${entry}\n")
  else()
    string(REGEX REPLACE "@[0-9]+$" "" name "${entry}")
    string(APPEND decorated_exports "  ${name}\n")
  endif()
endforeach()

if(DEF_FILE)
  # The GNU import library: the linker's export list with the C functions
  # given their decoration back, turned by dlltool --kill-at into imports of
  # the plain names.
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
endif()

if(LLVM_DLLTOOL)
  get_filename_component(folder ${MICROSOFT_IMPORT_LIBRARY} DIRECTORY)
  set(def "LIBRARY imexp.dll\nEXPORTS\n${decorated_exports}")
  foreach(name IN LISTS microsoft_names)
    if(name MATCHES "^\\?\\?_7")
      string(APPEND def "  ${name} DATA\n")
    else()
      string(APPEND def "  ${name}\n")
    endif()
  endforeach()
  file(WRITE ${folder}/imexp_microsoft.def "${def}")
  execute_process(COMMAND ${LLVM_DLLTOOL} -m ${MACHINE} -k -d ${folder}/imexp_microsoft.def
                          -l ${MICROSOFT_IMPORT_LIBRARY} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "llvm-dlltool could not build ${MICROSOFT_IMPORT_LIBRARY}")
  endif()
endif()
