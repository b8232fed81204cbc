/* Identifiers of the string table and the dialog templates in imexp.rc.
 * Shared by the resource script and the code; plain #defines so that the
 * resource compilers read it too. */
#ifndef IMEXP_RESOURCE_IDS_H
#define IMEXP_RESOURCE_IDS_H

/* Section of CONVERT.INI that lists the converter libraries. */
#define IDS_SECTION_CONVERTERS 1

/* Converter entry point names, looked up by GetEntryPoint. */
#define IDS_CONV_GET_VERSION 2
#define IDS_CONV_GET_DLL_INFO 3
#define IDS_CONV_GET_ERROR_STRING 4
#define IDS_CONV_SETUP 5
#define IDS_CONV_ABOUT 6
#define IDS_RD_CHECK_FILE 7
#define IDS_RD_GET_IMAGE_COUNT 8
#define IDS_RD_GET_IMAGE_INFO 9
#define IDS_RD_READ_HEADER 10
#define IDS_RD_SETUP_READING 11
#define IDS_RD_READ_BAND 12
#define IDS_RD_CLEAN_UP 13
#define IDS_RD_SHOW_DETAILS 14
#define IDS_WR_SETUP_WRITING 100
#define IDS_WR_WRITE_HEADER 101
#define IDS_WR_WRITE_BAND 102
#define IDS_WR_END_WRITING 103
#define IDS_WR_CLEAN_UP 104

/* Colour type names (note: type 3 is 21, types 4 and 5 are 19 and 20). */
#define IDS_COLOR_GRAY 16
#define IDS_COLOR_GRAY_PALETTE 17
#define IDS_COLOR_PALETTE 18
#define IDS_COLOR_GRAY_ALPHA 19
#define IDS_COLOR_RGB_ALPHA 20
#define IDS_COLOR_RGB 21
#define IDS_COLOR_YCBCR 22
#define IDS_COLOR_LAB 23
#define IDS_COLOR_CMYK 24

/* Resolution formats by unit, each taking resX and resY. */
#define IDS_RES_UNKNOWN 32
#define IDS_RES_ASPECT 33
#define IDS_RES_DPI 34
#define IDS_RES_DPCM 35
#define IDS_RES_SCREEN 36

/* Error reporting. */
#define IDS_ERROR_CAPTION 37
#define IDS_ERR_NO_SAVE_FORMAT 38
#define IDS_ERR_DISK_FULL 39
#define IDS_ERR_CUSTOM 40
#define IDS_ERR_DECOMPRESSOR 41
#define IDS_ERR_GENERAL 42
/* A save refused by a file-size limit or a disk quota, which the table's
 * codes would both call "Disk full". */
#define IDS_ERR_FILE_SIZE_LIMIT 43
#define IDS_ERR_DISK_QUOTA 44
/* A path chosen in a dialog that does not fit the fixed path buffers. */
#define IDS_ERR_PATH_TOO_LONG 45
#define IDS_ERR_NOT_CONFIGURED 49
#define IDS_ERR_WRONG_DLL_VERSION 50
#define IDS_ERR_NO_MEMORY 51
#define IDS_ERR_CANNOT_OPEN 52
#define IDS_ERR_NO_IMAGES 53
#define IDS_ERR_UNKNOWN_FORMAT 54
#define IDS_ERR_WRONG_IMAGE_NUMBER 55
#define IDS_ERR_INVALID_FILE 56
#define IDS_ERR_UNSUPPORTED_SUBFORMAT 57
#define IDS_ERR_END_OF_FILE 58
#define IDS_ERR_CONVERTER_IN_USE 59
#define IDS_ERR_ILLEGAL_CONVERSION 60
#define IDS_ERR_FILE_TOO_BIG 61
#define IDS_ERR_CANCELLED 62
#define IDS_ERR_WA_FAILURE 63

/* Dialog texts. */
#define IDS_ILLEGAL_NUMBER 65
#define IDS_ALL_FILES 66
#define IDS_ALL_FILES_PATTERN 67
#define IDS_UNCOMPRESSED 68
#define IDS_CONVERT_INI 69
#define IDS_TYPE_IMPORT 80
#define IDS_TYPE_EXPORT 81
#define IDS_TYPE_IMPORT_EXPORT 82
#define IDS_TYPE_UNKNOWN 83
#define IDS_LIBRARIES 84
#define IDS_LIBRARIES_PATTERN 85
#define IDS_LIBRARY_EXTENSION 86
#define IDS_UNABLE_TO_INSTALL 87
#define IDS_TOO_MANY_CONVERTERS 88
#define IDS_ALREADY_INSTALLED 89

/* Section Settings of CONVERT.INI and its keys. */
#define IDS_SECTION_SETTINGS 90
#define IDS_KEY_OPEN_DIR 91
#define IDS_KEY_OPEN_FORMAT 92
#define IDS_KEY_SAVE_DIR 93
#define IDS_KEY_SAVE_FORMAT 94

/* Dialog templates. */
#define IDD_IMAGE_INFO 100
#define IDD_SELECT_IMAGE 101
#define IDD_CONVERTER_SETUP 102
#define IDD_OPEN_CHILD 1536

/* Controls of the Image Info dialog (100). */
#define IDC_INFO_TITLE 100
#define IDC_INFO_FORMAT 101
#define IDC_INFO_POSITION 102
#define IDC_INFO_DIMENSIONS 103
#define IDC_INFO_TYPE 104
#define IDC_INFO_COLORS 105
#define IDC_INFO_RESOLUTION 106
#define IDC_INFO_COMPRESSION 107
#define IDC_INFO_IMAGE_LABEL 109
#define IDC_INFO_DETAILS 116

/* Controls of the Select Image dialog (101). */
#define IDC_SELECT_TITLE 100
#define IDC_SELECT_NUMBER 102
#define IDC_SELECT_COUNT 109

/* Controls of the Converter Setup dialog (102). */
#define IDC_SETUP_TYPE 104
#define IDC_SETUP_LIST 110
#define IDC_SETUP_INSTALL 111
#define IDC_SETUP_REMOVE 112
#define IDC_SETUP_SETUP 113
#define IDC_SETUP_ABOUT 114
#define IDC_SETUP_PATH 115

/* The Info button of the open dialog's child template (1536). */
#define IDC_OPEN_INFO 15005

#endif /* IMEXP_RESOURCE_IDS_H */
