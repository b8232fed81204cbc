/*
 * ImExp converter plug-in interface: the entry points, who calls them and in
 * which order, and the macros that give them their calling convention.
 *
 * Calling convention
 * ------------------
 * Entry points are C functions exported under their plain names. On 32-bit
 * Windows they are __stdcall (the callee removes its arguments) and must be
 * linked with --kill-at (or a .def file) so that no "@n" decoration remains.
 * CONV_API carries the convention; CONV_EXPORT makes a definition visible.
 *
 * Include <imexp/converter.h>, which gives this header and the rest of the
 * interface.
 */
#ifndef IMEXP_CONVERTER_ENTRY_POINTS_H
#define IMEXP_CONVERTER_ENTRY_POINTS_H

#include <imexp/converter_records.h>

#if defined(_WIN32) && !defined(_WIN64)
#define CONV_API __stdcall
#else
#define CONV_API
#endif

/* A converter that names its exports in a list of its own (a .def file, a
 * version script) may define CONV_EXPORT empty before including this. */
#ifndef CONV_EXPORT
#ifdef _WIN32
#define CONV_EXPORT __declspec(dllexport)
#else
#define CONV_EXPORT __attribute__((visibility("default")))
#endif
#endif

#ifdef __cplusplus
#define CONV_EXTERN_C extern "C"
#else
#define CONV_EXTERN_C
#endif

/* ------------------------------------------------------------------------ */
/* Entry points                                                              */
/* ------------------------------------------------------------------------ */

/*
 * Calls per operation, each within one load of the library:
 *
 *  List load / installation: ConvGetVersion; if accepted, the manager writes
 *    `path` and calls ConvGetDllInfo(record, iniPath).
 *  Content check: RDCheckFile(hFile, iniPath), once per candidate, all on the
 *    same open file, which is NOT repositioned between candidates.
 *  Image information: RDGetImageCount (multi-image converters only; must
 *    succeed with a count >= 1), RDGetImageInfo for the chosen image, and
 *    RDShowDetails from the information dialog's Details button.
 *  Reading: RDReadHeader(desc, hostParam, hostValue); the manager checks the
 *    descriptor and sizes the band; RDSetupReading(desc); RDReadBand(desc,
 *    band) per band; RDCleanUp(desc) exactly once whenever RDReadHeader was
 *    called (success, failure or cancellation), after the manager released
 *    its own buffers.
 *  Writing: WRSetupWriting(desc, hostParam, hostValue); the manager re-reads
 *    the layout and sizes the band; WRWriteHeader(desc); WRWriteBand(desc,
 *    band) per band; WREndWriting(desc); WRCleanUp(desc) exactly once
 *    whenever WRSetupWriting was called. hFile is a temporary file beside the
 *    target; the manager moves it into place only after everything succeeded.
 *  Setup: ConvSetup(owner, iniPath), then ConvGetDllInfo again.
 *  About: ConvAbout(owner).
 *  Error text: ConvGetErrorString(code >= 16, fileTitle, iniPath, text[256])
 *    while the library is still loaded; write the whole message, at most 255
 *    characters and a terminating zero.
 *
 * Error-code results are CONV_OK or a ConvErrorCode (or an own code >= 16).
 * A non-zero code ends the operation; the clean-up entry point still runs.
 */
typedef uint32_t(CONV_API* ConvGetVersionFn)(void);
typedef void(CONV_API* ConvGetDllInfoFn)(ConvRecord* record, char* iniPath);
typedef void(CONV_API* ConvGetErrorStringFn)(int code, char* fileTitle, char* iniPath, char* text);
typedef void(CONV_API* ConvSetupFn)(HWND owner, char* iniPath);
typedef void(CONV_API* ConvAboutFn)(HWND owner);
/* non-zero: the converter reads this file */
typedef int(CONV_API* RDCheckFileFn)(HFILE file, char* iniPath);
/* count: images in the file; singleView != 0: do not offer a choice, use 0 */
typedef int(CONV_API* RDGetImageCountFn)(HFILE file, char* iniPath, int* count, int* singleView);
typedef int(CONV_API* RDGetImageInfoFn)(HFILE file, int image, char* iniPath, ConvImageInfo* info);
typedef int(CONV_API* RDShowDetailsFn)(HWND owner, HFILE file, char* iniPath, ConvImageInfo* info);
typedef int(CONV_API* RDReadHeaderFn)(ConvImageDesc* desc, char** hostParam, int hostValue);
typedef int(CONV_API* RDSetupReadingFn)(ConvImageDesc* desc);
/* 0: a band was delivered; 1: no more bands (converter-driven only) */
typedef int(CONV_API* RDReadBandFn)(ConvImageDesc* desc, unsigned char* band);
typedef void(CONV_API* RDCleanUpFn)(ConvImageDesc* desc);
typedef int(CONV_API* WRSetupWritingFn)(ConvImageDesc* desc, char** hostParam, int hostValue);
typedef int(CONV_API* WRWriteHeaderFn)(ConvImageDesc* desc);
/* 0: go on; 1 (converter-driven only): that was the last band */
typedef int(CONV_API* WRWriteBandFn)(ConvImageDesc* desc, unsigned char* band);
typedef int(CONV_API* WREndWritingFn)(ConvImageDesc* desc);
typedef void(CONV_API* WRCleanUpFn)(ConvImageDesc* desc);

/* A converter that defines IMEXP_CONVERTER_IMPLEMENTATION before including
 * this header gets the entry points declared with export and calling
 * convention, so its definitions are checked against the contract. It defines
 * only the ones it has. */
#ifdef IMEXP_CONVERTER_IMPLEMENTATION
#define CONV_ENTRY(ret) CONV_EXTERN_C CONV_EXPORT ret CONV_API
CONV_ENTRY(uint32_t) ConvGetVersion(void);
CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* iniPath);
CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* iniPath, char* text);
CONV_ENTRY(void) ConvSetup(HWND owner, char* iniPath);
CONV_ENTRY(void) ConvAbout(HWND owner);
CONV_ENTRY(int) RDCheckFile(HFILE file, char* iniPath);
CONV_ENTRY(int) RDGetImageCount(HFILE file, char* iniPath, int* count, int* singleView);
CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* iniPath, ConvImageInfo* info);
CONV_ENTRY(int) RDShowDetails(HWND owner, HFILE file, char* iniPath, ConvImageInfo* info);
CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** hostParam, int hostValue);
CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc);
CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band);
CONV_ENTRY(void) RDCleanUp(ConvImageDesc* desc);
CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** hostParam, int hostValue);
CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc);
CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band);
CONV_ENTRY(int) WREndWriting(ConvImageDesc* desc);
CONV_ENTRY(void) WRCleanUp(ConvImageDesc* desc);
#endif

#endif /* IMEXP_CONVERTER_ENTRY_POINTS_H */
