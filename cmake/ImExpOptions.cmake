# Compiler settings shared by every target of the project.
include(GNUInstallDirs)

if(WIN32)
  set(IMEXP_WINDOWS ON)
  add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(IMEXP_WIN32_X86 ON)
  endif()
  # The manager, the converters and the programs share one C++ runtime, in
  # DLLs beside them. A converter that carried its own static runtime would
  # take a thread-local-storage slot every time it is loaded and never give
  # it back; the manager loads converters for every operation, and after
  # about a thousand operations the process would run out of slots.
  foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                    OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${runtime_path}" AND EXISTS "${runtime_path}")
      file(COPY "${runtime_path}" DESTINATION ${IMEXP_OUTPUT_DIR})
      install(FILES "${runtime_path}" DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
endif()

if(IMEXP_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(IMEXP_SANITIZE_THREAD)
  # Optimised a little: the race checks make every memory access slow.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -O1)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(IMEXP_KEEP_LIBRARIES_LOADED)
endif()

# Libraries must resolve every symbol when linked, so that none fails to
# load later. Under clang's sanitizers the runtime comes with the program
# instead, so the fuzzing build links them without that check.
set(IMEXP_NO_UNDEFINED -Wl,--no-undefined)
if(IMEXP_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "IMEXP_FUZZ needs clang (libFuzzer): configure with the fuzz preset")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(IMEXP_KEEP_LIBRARIES_LOADED)
  set(IMEXP_NO_UNDEFINED "")
endif()

# Warnings as errors on the project's own code (not on GoogleTest).
function(imexp_warnings target)
  # -Wrestrict gives false alarms on std::string in GCC 12 (PR 105651).
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
endfunction()
