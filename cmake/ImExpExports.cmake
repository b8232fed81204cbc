# The exported functions of the manager, by plain name. The 32-bit Windows
# build checks after linking that each is exported exactly so, without the
# "@n" stdcall decoration (objdump -p lists the export table).
set(IMEXP_EXPORTED_FUNCTIONS
  FillSaveFormatsInfo
  FindReader
  FindWriter
  ImExp_GetFileInfo
  ImExp_ReadFile
  ImExp_WriteFile)

install(TARGETS imexp LIBRARY DESTINATION . RUNTIME DESTINATION .)

if(IMEXP_WIN32_X86)
  add_custom_command(TARGET imexp POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${IMEXP_MINGW_TRIPLE}-objdump -DLIBRARY=$<TARGET_FILE:imexp>
            "-DEXPECTED=${IMEXP_EXPORTED_FUNCTIONS}" -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake
    COMMENT "Checking the plain export names of imexp.dll"
    VERBATIM)
endif()
