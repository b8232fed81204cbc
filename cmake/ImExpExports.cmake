# The exported functions of the manager, by plain name, with the bytes of
# arguments their stdcall convention pops on 32-bit Windows. The Windows
# builds check after linking that each is exported exactly so, without the
# "@n" decoration, that the host classes' members are exported under their
# Microsoft names too, and that the DLL imports system DLLs only; they build
# import libraries whose symbols carry the decoration C and C++ compilers
# use, so that a 32-bit host links against the plain export names.
set(IMEXP_EXPORTED_FUNCTIONS
  FillSaveFormatsInfo@8
  FindReader@8
  FindWriter@8
  ImExp_ConfigureConverters@4
  ImExp_GetConverterRecord@8
  ImExp_GetFileInfo@12
  ImExp_GetImageInfo@12
  ImExp_InstallConverter@12
  ImExp_ReadFile@28
  ImExp_ReadFileImage@32
  ImExp_RemoveConverter@12
  ImExp_SelectFileAndRead@28
  ImExp_SelectFileAndWrite@28
  ImExp_SelectFileToRead@8
  ImExp_SelectFileToWrite@12
  ImExp_ShowFileInfo@12
  ImExp_WriteFile@28)

# The DLLs that imexp.dll may import: the system's own, which Windows loads
# from the system folder whatever the search order.
set(IMEXP_SYSTEM_DLLS kernel32.dll user32.dll gdi32.dll comdlg32.dll advapi32.dll shell32.dll msvcrt.dll)

if(IMEXP_WINDOWS)
  # The import library for hosts built with Microsoft's C++ ABI (imexp.lib),
  # where llvm-dlltool is installed.
  find_program(IMEXP_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14)
  # Lists travel comma-separated: a custom command splits them at ";".
  string(REPLACE ";" "," expected "${IMEXP_EXPORTED_FUNCTIONS}")
  string(REPLACE ";" "," system_dlls "${IMEXP_SYSTEM_DLLS}")
  set(check_arguments -DOBJDUMP=${IMEXP_MINGW_TRIPLE}-objdump -DLIBRARY=$<TARGET_FILE:imexp>
                      -DEXPECTED=${expected} -DMICROSOFT_DEF=${IMEXP_MICROSOFT_EXPORTS} -DSYSTEM_DLLS=${system_dlls})
  if(IMEXP_WIN32_X86)
    set(def_file ${CMAKE_BINARY_DIR}/imexp_exports.def)
    target_link_options(imexp PRIVATE -Wl,--output-def,${def_file})
    list(APPEND check_arguments -DMACHINE=i386 -DDLLTOOL=${IMEXP_MINGW_TRIPLE}-dlltool
                                -DIMPORT_LIBRARY=$<TARGET_LINKER_FILE:imexp> -DDEF_FILE=${def_file})
  else()
    list(APPEND check_arguments -DMACHINE=i386:x86-64)
  endif()
  if(IMEXP_LLVM_DLLTOOL)
    set(IMEXP_MICROSOFT_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/lib/imexp.lib)
    list(APPEND check_arguments -DLLVM_DLLTOOL=${IMEXP_LLVM_DLLTOOL}
                                -DMICROSOFT_IMPORT_LIBRARY=${IMEXP_MICROSOFT_IMPORT_LIBRARY})
    install(FILES ${IMEXP_MICROSOFT_IMPORT_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
  add_custom_command(TARGET imexp POST_BUILD
    COMMAND ${CMAKE_COMMAND} ${check_arguments} -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake
    COMMENT "Checking the exports and imports of imexp.dll and building its import libraries"
    VERBATIM)
endif()

if(IMEXP_WIN32_X86)
  # A C host that links the functions by name, with ld's stdcall fix-ups
  # turned off: it links only if the import library is right.
  add_executable(win32_link_check ${PROJECT_SOURCE_DIR}/cmake/win32_link_check.c)
  target_link_libraries(win32_link_check PRIVATE imexp)
  target_link_options(win32_link_check PRIVATE -Wl,--disable-stdcall-fixup)
endif()
