# The exported functions of the manager, by plain name, with the bytes of
# arguments their stdcall convention pops on 32-bit Windows. The 32-bit build
# checks after linking that each is exported exactly so, without the "@n"
# decoration, and builds an import library whose symbols carry the
# decoration C and C++ compilers use for them, so that a 32-bit host links
# against the plain export names.
set(IMEXP_EXPORTED_FUNCTIONS
  FillSaveFormatsInfo@8
  FindReader@8
  FindWriter@8
  ImExp_ConfigureConverters@4
  ImExp_GetConverterRecord@8
  ImExp_GetFileInfo@12
  ImExp_InstallConverter@12
  ImExp_ReadFile@28
  ImExp_RemoveConverter@12
  ImExp_SelectFileAndRead@28
  ImExp_SelectFileAndWrite@28
  ImExp_SelectFileToRead@8
  ImExp_SelectFileToWrite@12
  ImExp_ShowFileInfo@12
  ImExp_WriteFile@28)

if(IMEXP_WIN32_X86)
  set(def_file ${CMAKE_BINARY_DIR}/imexp_exports.def)
  target_link_options(imexp PRIVATE -Wl,--output-def,${def_file})
  add_custom_command(TARGET imexp POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${IMEXP_MINGW_TRIPLE}-objdump -DDLLTOOL=${IMEXP_MINGW_TRIPLE}-dlltool
            -DLIBRARY=$<TARGET_FILE:imexp> -DIMPORT_LIBRARY=$<TARGET_LINKER_FILE:imexp> -DDEF_FILE=${def_file}
            "-DEXPECTED=${IMEXP_EXPORTED_FUNCTIONS}" -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake
    COMMENT "Checking the plain export names of imexp.dll and building its import library"
    VERBATIM)
  # A C host that links the functions by name, with ld's stdcall fix-ups
  # turned off: it links only if the import library is right.
  add_executable(win32_link_check ${PROJECT_SOURCE_DIR}/cmake/win32_link_check.c)
  target_link_libraries(win32_link_check PRIVATE imexp)
  target_link_options(win32_link_check PRIVATE -Wl,--disable-stdcall-fixup)
endif()
