# Windows hosts of both C++ compiler families against the one imexp.dll
# (host_abi_check.cpp says what they check). The mingw-w64 one is an
# ordinary target; the one with Microsoft's C++ ABI is built by clang for
# *-windows-msvc, linked by lld-link against import libraries that
# llvm-dlltool makes (imexp.lib, and kernel32 from the few functions it
# calls), with no Windows SDK and no runtime.
set(windows_tests_dir ${CMAKE_CURRENT_SOURCE_DIR}/windows)

add_executable(host_abi_check ${windows_tests_dir}/host_abi_check.cpp)
target_link_libraries(host_abi_check PRIVATE imexp)
target_compile_definitions(host_abi_check PRIVATE IMEXP_HOST_ABI_COMPILER="mingw")
imexp_warnings(host_abi_check)
add_dependencies(host_abi_check imexp_converters)

find_program(IMEXP_CLANG NAMES clang clang-14)
find_program(IMEXP_LLD_LINK NAMES lld-link lld-link-14)
if(IMEXP_CLANG AND IMEXP_LLD_LINK AND IMEXP_MICROSOFT_IMPORT_LIBRARY)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/host_abi_msvc)
  set(program ${IMEXP_OUTPUT_DIR}/host_abi_check_msvc.exe)
  if(IMEXP_WIN32_X86)
    set(triple i686-pc-windows-msvc)
    set(machine i386)
    set(kernel32_exports GetStdHandle@4 WriteFile@20 DeleteFileA@4 GetFileAttributesA@4 ExitProcess@4
                         GetProcessHeap@0 HeapAlloc@12 HeapFree@12)
  else()
    set(triple x86_64-pc-windows-msvc)
    set(machine i386:x86-64)
    set(kernel32_exports GetStdHandle WriteFile DeleteFileA GetFileAttributesA ExitProcess GetProcessHeap HeapAlloc
                         HeapFree)
  endif()
  list(JOIN kernel32_exports "\n  " kernel32_exports)
  file(WRITE ${out}/kernel32.def "LIBRARY kernel32.dll\nEXPORTS\n  ${kernel32_exports}\n")
  set(clang_flags --target=${triple} -std=c++20 -O1 -ffreestanding -fno-rtti -fno-exceptions -Wall -Wextra -Werror
                  -I${windows_tests_dir}/msvc -I${PROJECT_SOURCE_DIR}/include -DIMEXP_HOST_ABI_FREESTANDING
                  -DIMEXP_HOST_ABI_COMPILER="msvc")
  add_custom_command(OUTPUT ${program}
    COMMAND ${IMEXP_LLVM_DLLTOOL} -m ${machine} -k -d ${out}/kernel32.def -l ${out}/kernel32.lib
    COMMAND ${IMEXP_CLANG} ${clang_flags} -c ${windows_tests_dir}/host_abi_check.cpp -o ${out}/host_abi_check.obj
    COMMAND ${IMEXP_CLANG} ${clang_flags} -fno-builtin -c ${windows_tests_dir}/msvc/msvc_runtime.cpp
            -o ${out}/msvc_runtime.obj
    COMMAND ${IMEXP_LLD_LINK} /nologo /subsystem:console /entry:HostEntry /nodefaultlib /out:${program}
            ${out}/host_abi_check.obj ${out}/msvc_runtime.obj ${IMEXP_MICROSOFT_IMPORT_LIBRARY} ${out}/kernel32.lib
    DEPENDS ${windows_tests_dir}/host_abi_check.cpp ${windows_tests_dir}/msvc/msvc_runtime.cpp ${windows_tests_dir}/msvc/windows.h
            ${PROJECT_SOURCE_DIR}/include/imexp/host.h imexp
    COMMENT "Building a host with Microsoft's C++ ABI (clang for ${triple})"
    VERBATIM)
  add_custom_target(host_abi_check_msvc ALL DEPENDS ${program})
else()
  message(STATUS "imexp: no host with Microsoft's C++ ABI is built: clang, lld-link or llvm-dlltool is missing")
endif()

add_test(NAME host_abi_check COMMAND host_abi_check)
set(host_abi_tests host_abi_check)
if(TARGET host_abi_check_msvc)
  add_test(NAME host_abi_check_msvc COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${program})
  list(APPEND host_abi_tests host_abi_check_msvc)
endif()
set_tests_properties(${host_abi_tests} PROPERTIES ENVIRONMENT "${IMEXP_TEST_ENVIRONMENT}" FIXTURES_REQUIRED wine)

# A host in C that loads the manager by full path and links no C++ runtime,
# and the DLL planted under the names of the manager's folder's DLLs.
add_executable(full_path_host ${windows_tests_dir}/full_path_host.c)
target_include_directories(full_path_host PRIVATE ${PROJECT_SOURCE_DIR}/include)
imexp_warnings(full_path_host)
add_library(planted_library MODULE ${windows_tests_dir}/planted_library.c)
set_target_properties(planted_library PROPERTIES PREFIX "")
imexp_warnings(planted_library)

imexp_add_test(manager_loading_tests SOURCES windows/manager_loading_test.cpp cli/run_program_windows.cpp
               LIBRARIES imexp_test_support)
target_compile_definitions(manager_loading_tests PRIVATE IMEXP_SAMPLES_DIR="${PROJECT_SOURCE_DIR}/samples")
add_dependencies(manager_loading_tests full_path_host planted_library imexp_bmp imexp_test_converter)
