# Compiler settings shared by every target of the project.

if(WIN32)
  set(IMEXP_WINDOWS ON)
  # Programs and libraries carry their C and C++ runtimes, so wine (and a
  # plain Windows machine) needs no runtime DLLs beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(IMEXP_WIN32_X86 ON)
  endif()
endif()

if(IMEXP_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings as errors on the project's own code (not on GoogleTest).
function(imexp_warnings target)
  # -Wrestrict gives false alarms on std::string in GCC 12 (PR 105651).
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-restrict)
endfunction()
