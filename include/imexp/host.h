/*
 * ImExp host interface.
 *
 * An image-editing host loads the manager library (imexp.dll, libimexp.so)
 * and calls the functions below to read, write and describe image files
 * through whatever converters are installed. It passes objects of three
 * abstract classes that it implements itself:
 *
 *   CAbstractReadWA   receives an image being read (ImExp_ReadFile,
 *                     ImExp_ReadFileImage);
 *   CAbstractWriteWA  supplies the image being written (ImExp_WriteFile);
 *   CProgress         shows progress and lets the user cancel (both).
 *
 * The manager only calls virtual operations on these objects during the call
 * that received them; it never creates, copies, keeps or destroys them.
 *
 * Every exported function returns 1 (non-zero) for success and 0 for failure.
 * Failures of the read, write and dialog operations have been shown to the
 * user in a message box ("Converter Error") before the call returns; the
 * queries FindReader, FindWriter, FillSaveFormatsInfo, ImExp_GetFileInfo and
 * ImExp_GetImageInfo never show anything. Operations share module-wide state: run one at a time,
 * on one thread, never from inside a host callback or a converter call.
 */
#ifndef IMEXP_HOST_H
#define IMEXP_HOST_H

#include <imexp/converter.h>

#ifdef _WIN32
#ifdef IMEXP_BUILDING_MANAGER
#define IMEXP_API __declspec(dllexport)
#else
#define IMEXP_API __declspec(dllimport)
#endif
/*
 * Calling conventions on 32-bit Windows: every function below is __stdcall
 * (WINAPI: arguments pushed right to left, popped by the function) and is
 * exported under its plain name, without the "_name@n" decoration. A host
 * that declares its own prototypes, or looks the functions up with
 * GetProcAddress, declares them __stdcall. The bytes of arguments, for
 * import libraries that carry the decoration:
 *   32  ImExp_ReadFileImage
 *   28  ImExp_ReadFile, ImExp_SelectFileAndRead, ImExp_WriteFile,
 *       ImExp_SelectFileAndWrite
 *   12  ImExp_SelectFileToWrite, ImExp_ShowFileInfo, ImExp_GetFileInfo,
 *       ImExp_GetImageInfo, ImExp_InstallConverter, ImExp_RemoveConverter
 *    8  ImExp_SelectFileToRead, ImExp_GetConverterRecord, FindReader,
 *       FindWriter, FillSaveFormatsInfo
 *    4  ImExp_ConfigureConverters
 * The three classes' members are __thiscall (below). On 64-bit Windows and on
 * POSIX there is one convention.
 */
#define IMEXP_CALL __stdcall
#else
#define IMEXP_API __attribute__((visibility("default")))
#define IMEXP_CALL
#endif

/* ------------------------------------------------------------------------ */
/* Host image types                                                          */
/* ------------------------------------------------------------------------ */

/*
 * The layout of the host's image. The accepted-types argument of
 * ImExp_ReadFile is an OR of the types the host can take; SetImageType and
 * GetImageType carry exactly one.
 *
 * A host row holds exactly (width x bits + 7) / 8 significant bytes with no
 * padding to a multiple of four. Host rows are numbered from the BOTTOM of the
 * image: host row 0 is the bottom row.
 */
enum {
  HIT_BILEVEL = 1, /* 1 bit: 8 pixels a byte, first pixel in the MSB; set = white */
  HIT_PAL16 = 2,   /* 4 bits: 2 pixels a byte, first in the high nibble; indices */
  HIT_PAL256 = 4,  /* 8 bits: palette index */
  HIT_GRAY256 = 8, /* 8 bits: grey level, 0 black, 255 white */
  HIT_RGB24 = 16   /* 24 bits: blue, green, red */
};

/* One entry of the host palette: red, green, blue and an undefined fourth
 * byte (note: not the Windows RGBQUAD order). */
typedef struct ImExpPaletteEntry {
  unsigned char red;
  unsigned char green;
  unsigned char blue;
  unsigned char reserved;
} ImExpPaletteEntry;

#ifdef __cplusplus

/*
 * The three classes' binary layout.
 *
 * A class holds nothing but its virtual table pointer. On Windows its table is
 * the one Windows compilers give a class with a virtual destructor: slot 0 is
 * one destructor entry (the deleting destructor, which takes a flags word:
 * bit 0 frees the memory), the operations follow in the order declared below,
 * and every member function is __thiscall on x86 (the object in ECX, the
 * callee pops its arguments), the platform's one convention on x64. One DLL
 * serves hosts of either Windows compiler family:
 *
 *   - Microsoft's C++ ABI (MSVC, clang-cl, clang for *-windows-msvc): the
 *     declarations below, as they stand. The DLL exports each class's
 *     constructors, assignment, destructor, scalar and array deleting
 *     destructors and virtual table under the names this ABI gives them;
 *     link lib/imexp.lib.
 *   - GCC's C++ ABI (mingw-w64 g++, clang for *-windows-gnu): GCC gives a
 *     virtual destructor two slots, so slot 0 is declared as an ordinary
 *     virtual function of the deleting destructor's signature,
 *     ScalarDeletingDestructor, and the virtual destructor comes after the
 *     operations, past every slot the manager calls. Source written for
 *     one compiler builds with the other unchanged; link lib/imexp.dll.a. A
 *     mingw-w64 host built against a header older than this one has the
 *     operations one slot off and must be rebuilt.
 *
 * On Linux and other POSIX systems the classes follow the platform's own
 * C++ ABI (GCC's): the virtual destructor first, in two slots, then the
 * operations.
 *
 * The manager never destroys, copies or keeps a host object, and never calls
 * the destructor slots.
 */
#if defined(_WIN32) && !defined(_MSC_VER)
#define IMEXP_FIRST_SLOT(Class) virtual void* ScalarDeletingDestructor(unsigned int flags);
#define IMEXP_LAST_SLOTS(Class) virtual ~Class();
#else
#define IMEXP_FIRST_SLOT(Class) virtual ~Class();
#define IMEXP_LAST_SLOTS(Class)
#endif

/*
 * Receives an image being read. Virtual operations in slot order after the
 * destructor slot: Reserved1, Reserved2, SetImageSize, SetImageType,
 * SetPalette, SetResolution, PutRow.
 *
 * Every operation the manager calls takes two leading ints, always 0. Calling
 * order within one read: SetImageSize; SetImageType; SetPalette (sources of
 * 8 or fewer bits only); SetResolution; then PutRow once for every host row.
 * A read that fails before SetImageSize calls nothing on the host; one whose
 * SetImageSize refuses calls nothing more.
 */
class IMEXP_API CAbstractReadWA {
 public:
  CAbstractReadWA();
  CAbstractReadWA(const CAbstractReadWA& other);
  CAbstractReadWA& operator=(const CAbstractReadWA& other);
  IMEXP_FIRST_SLOT(CAbstractReadWA)

  /* Never called by the manager; the host's own affair. */
  virtual int Reserved1(int, int) = 0;
  virtual int Reserved2(int, int) = 0;
  /* 0: the host prepared an image of this size (1 to 32512 each); anything
   * else ends the read with CONV_ERR_WA_FAILURE. */
  virtual int SetImageSize(int, int, unsigned int width, unsigned int height) = 0;
  /* One HIT_* value; rows of that layout follow. */
  virtual int SetImageType(int, int, int imageType) = 0;
  /* `count` entries (2 to the power of the SOURCE bits, whatever the host
   * type), valid during the call only. */
  virtual int SetPalette(int, int, ImExpPaletteEntry* entries, int count) = 0;
  /* Dots per inch. */
  virtual int SetResolution(int, int, int horizontal, int vertical) = 0;
  /* Copy the row; the buffer (32 bytes longer than the row) is reused. */
  virtual int PutRow(int, int, int hostRow, unsigned char* row) = 0;

  IMEXP_LAST_SLOTS(CAbstractReadWA)
};

/*
 * Supplies the image being written. Slot order after the destructor slot:
 * Reserved1, Reserved2, GetImageSize, GetImageType, GetPalette,
 * GetResolution, GetRow. Every operation the manager calls takes two leading
 * ints, always 0; answers come back through the pointers and results are
 * ignored.
 *
 * Calling order within one save: GetImageType; GetPalette (HIT_PAL16 and
 * HIT_PAL256 only); GetImageSize; GetResolution; then GetRow once for every
 * host row. The image must not change during a save.
 */
class IMEXP_API CAbstractWriteWA {
 public:
  CAbstractWriteWA();
  CAbstractWriteWA(const CAbstractWriteWA& other);
  CAbstractWriteWA& operator=(const CAbstractWriteWA& other);
  IMEXP_FIRST_SLOT(CAbstractWriteWA)

  virtual int Reserved1(int, int) = 0;
  virtual int Reserved2(int, int) = 0;
  virtual int GetImageSize(int, int, int* width, int* height) = 0;
  /* Store one HIT_* value; any other makes the save fail silently. */
  virtual int GetImageType(int, int, int* imageType) = 0;
  /* Fill 256 entries (the manager reads the first 16 for HIT_PAL16). */
  virtual int GetPalette(int, int, ImExpPaletteEntry* entries) = 0;
  /* Dots per inch; 0 in either means unknown (72 x 72 is used). */
  virtual int GetResolution(int, int, int* horizontal, int* vertical) = 0;
  /* Copy host row `hostRow` (0 = bottom) into `row` in the host layout. */
  virtual int GetRow(int, int, int hostRow, unsigned char* row) = 0;

  IMEXP_LAST_SLOTS(CAbstractWriteWA)
};

/*
 * Progress of a read or a write. Slot order after the destructor slot:
 * Begin, End, Update. No leading ints.
 */
class IMEXP_API CProgress {
 public:
  CProgress();
  CProgress(const CProgress& other);
  CProgress& operator=(const CProgress& other);
  IMEXP_FIRST_SLOT(CProgress)

  /* Once, just before the first band. */
  virtual int Begin() = 0;
  /* Once after the row loop, whether it finished, failed or was cancelled. */
  virtual int End() = 0;
  /* After every row: rows done before this one, and the image height.
   * 0 cancels (CONV_ERR_CANCELLED, no message). */
  virtual int Update(int rowsDone, int totalRows) = 0;

  IMEXP_LAST_SLOTS(CProgress)
};

#undef IMEXP_FIRST_SLOT
#undef IMEXP_LAST_SLOTS

#define IMEXP_CLASS(name) name
#else
#define IMEXP_CLASS(name) struct name
typedef struct CAbstractReadWA CAbstractReadWA;
typedef struct CAbstractWriteWA CAbstractWriteWA;
typedef struct CProgress CProgress;
#endif

/* ------------------------------------------------------------------------ */
/* Exported functions                                                        */
/* ------------------------------------------------------------------------ */

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Reads the first image of `file` into `image`. `acceptedTypes` is an OR of
 * HIT_* values; `progress` may be null (no progress, no cancelling).
 * `hostParam` and `hostValue` reach the converter's RDReadHeader unchanged.
 * `file` must stay valid during the call.
 */
IMEXP_API int IMEXP_CALL ImExp_ReadFile(CAbstractReadWA* image, HWND owner, char* file, int acceptedTypes,
                                        CProgress* progress, char** hostParam, int hostValue);
/*
 * Reads image `imageNumber` (counted from 0) of `file`, with ImExp_ReadFile's
 * other arguments and result: page N of a TIFF or DCX file, frame N of a
 * GIF (at its own size, not composed over the frames before it). The
 * converter that reads the file counts its images first, and its
 * descriptor carries the number and the count (imageIndex, imageCount).
 * A number past the last image, or above 0 for a converter that reads
 * files of one image, fails with error 8 ("Wrong Image Number" and the
 * file's name). A negative number shows the Select Image dialog over
 * `owner` when the file holds several images that its converter offers
 * for choice, and reads the image chosen (image 0 otherwise); cancelling
 * that choice returns 0 without a message, before `image` is called.
 * ImExp_ReadFileImage(..., 0) reads what ImExp_ReadFile reads.
 */
IMEXP_API int IMEXP_CALL ImExp_ReadFileImage(CAbstractReadWA* image, HWND owner, char* file,
                                             int acceptedTypes, CProgress* progress, char** hostParam,
                                             int hostValue, int imageNumber);
/*
 * The one-call open: ImExp_SelectFileToRead with `owner` and `file`, then,
 * when a file was chosen, ImExp_ReadFile with all seven arguments and the
 * chosen path in `file` (at least 256 bytes, holding the proposed name on
 * entry). The reader is found again from the chosen file. 0 when the user
 * cancelled or a failure was reported (the image and progress objects then
 * receive no call); otherwise ImExp_ReadFile's result.
 */
IMEXP_API int IMEXP_CALL ImExp_SelectFileAndRead(CAbstractReadWA* image, HWND owner, char* file,
                                                 int acceptedTypes, CProgress* progress, char** hostParam,
                                                 int hostValue);
/*
 * Writes `image` to `file` through the first converter that can write it
 * under that name. The image goes into a temporary file "~cvNNNNN.tmp"
 * beside the target, created so that no other writer can share it, flushed
 * to stable storage and moved onto the target in one step only when
 * everything has succeeded: at any moment, a crash or a power loss included,
 * the target is the old file or the whole new one. Processes may save into
 * one folder at once. `*reserved` is set to 0. `hostParam`/`hostValue`
 * reach WRSetupWriting unchanged.
 *
 * A write refused for a full disk, a file-size limit or a disk quota is
 * reported as such. On POSIX a write past the process's file-size limit
 * raises SIGXFSZ, which ends the process unless the host ignores it (the
 * target is then still the old file); ignored, the write fails and is
 * reported.
 */
IMEXP_API int IMEXP_CALL ImExp_WriteFile(const CAbstractWriteWA* image, HWND owner, char* file, int* reserved,
                                         CProgress* progress, char** hostParam, int hostValue);
/*
 * The one-call save: the image's type from GetImageType, then
 * ImExp_SelectFileToWrite for that type with `owner` and `file`, then, when
 * a name was confirmed, ImExp_WriteFile with all seven arguments and the
 * chosen path in `file` (256 bytes, holding the proposed name on entry).
 * The writer is chosen again from the name and the image: the format picked
 * in the dialog counts only through the name's extension. 0 when the user
 * cancelled, the type has no format or a failure was reported (no file is
 * touched and `*reserved` keeps its value); otherwise ImExp_WriteFile's
 * result.
 */
IMEXP_API int IMEXP_CALL ImExp_SelectFileAndWrite(const CAbstractWriteWA* image, HWND owner, char* file,
                                                  int* reserved, CProgress* progress, char** hostParam,
                                                  int hostValue);
/*
 * The platform's Open dialog, modal over `owner`, listing every installed
 * converter that reads (description and patterns) and "All Files (*.*)".
 * The type preselected is the first reader whose patterns match the name in
 * `path`, else the reader named by OpenFormat of section Settings of
 * CONVERT.INI; the dialog starts in the folder OpenDir. Its Info button
 * shows the Image Info dialog for the file under the cursor. A chosen file
 * must open and some converter must read it (a failure is reported and the
 * call returns 0). Only then are OpenDir (the file's folder) and OpenFormat
 * (the name of the converter that reads it, which may differ from the type
 * chosen) written. Any thread with a message loop may call it, one dialog at
 * a time. `path` (at least 256 bytes, not null) holds the proposed name on
 * entry and the chosen full path on success. 1 when a readable file was
 * chosen; 0 when no converter is installed, the user cancelled or a failure
 * was reported.
 */
IMEXP_API int IMEXP_CALL ImExp_SelectFileToRead(HWND owner, char* path);
/*
 * The platform's Save dialog, modal over `owner`, for an image of
 * `imageType` (HIT_*): it lists the converters that can write an image of
 * that type, preselects the one whose patterns match the name in `path`,
 * else the one named by SaveFormat of section Settings (never written by
 * the manager), and starts in the folder SaveDir. Changing the type drops
 * the typed name's folder and extension; an existing file is asked about
 * before it is replaced. A name without an extension gets the chosen
 * format's (the last pattern's: *.TIF;*.TIFF gives .TIFF). After a
 * confirmed name SaveDir is written with its folder. `path` (256 bytes, not
 * null) holds the proposed name on entry and the chosen full path on
 * success; a path that would not fit is refused with a message. Non-zero
 * when a name was confirmed; 0 for a type other than the five HIT_* values
 * (no dialog, no message), when no converter can write the type (reported),
 * or when the user cancelled.
 */
IMEXP_API int IMEXP_CALL ImExp_SelectFileToWrite(HWND owner, int imageType, char* path);
/*
 * The modal Image Info dialog over `owner` for image `image` (0-based) of
 * the file `path`: title, format, position among the file's images, size,
 * colour type and number of colours, resolution and compression, as the
 * converter that reads the file describes it, and a Details button for the
 * converter's own window where it has one. A negative `image` lets the user
 * choose in a file of several images; a number past the last describes
 * image 0. Writes nothing to CONVERT.INI. One Image Info dialog at a time in
 * a process. 1 after the dialog was shown and closed; 0 when the user
 * cancelled the choice of image or a failure was reported.
 */
IMEXP_API int IMEXP_CALL ImExp_ShowFileInfo(HWND owner, char* path, int image);
/* Fills the caller's ConvImageInfo (always for image 0); never shows a
 * message. */
IMEXP_API int IMEXP_CALL ImExp_GetFileInfo(void* info, char* path, int image);
/*
 * Fills the caller's ConvImageInfo for image `image` (counted from 0) of
 * `path`, never showing a message: imageCount is the file's number of
 * images and imageIndex `image`. 1 when the converter described the image;
 * 0 when the file cannot be opened or read, or `image` is negative or not
 * below the count (imageCount is then filled all the same, so that a host
 * listing pages may ask for image 0 first and then for each of the rest).
 */
IMEXP_API int IMEXP_CALL ImExp_GetImageInfo(void* info, char* path, int image);
/*
 * The modal Converter Setup dialog, owned by `owner` (may be null), for the
 * host's thread while no other manager call is running. It lists the
 * installed converters in list order, then an empty line for "after the
 * last", with the selected converter's library path and type. The user may
 * install a library before the selected line (the same checks and
 * refusal messages as ImExp_InstallConverter), remove the selected
 * converter, and open its own setup or about window where it has one.
 * Every install and remove changes the list at once, for every later call
 * of the manager, and rewrites section Converters of CONVERT.INI at once:
 * the section is removed, then written as keys 0 to n-1 in list order, each
 * the full path under which the library was loaded. An empty list leaves
 * no section. A converter's own setup writes what it writes; the section
 * is not rewritten for it.
 * Returns 1 once the dialog was shown and closed, whatever was changed; 0
 * when it was not shown: one is already open in this process (reported
 * as "Converter in use by other program") or the dialog could not be
 * created.
 */
IMEXP_API int IMEXP_CALL ImExp_ConfigureConverters(HWND owner);
/*
 * The setup dialog's Install and Remove without the dialog, for hosts and
 * tools that manage converters themselves. ImExp_InstallConverter installs
 * the library at the full path `library` (a relative name is refused: the
 * manager never searches for a converter, nor for what a converter imports
 * outside the converter's own folder and the system's) before position
 * `position` of the converter list
 * (0 is the first; a position outside 0 to the number of converters
 * appends), with the dialog's checks and refusal messages (owned by
 * `owner`), and rewrites section Converters of CONVERT.INI; it returns the
 * new converter's index, or -1 when nothing was installed.
 * ImExp_RemoveConverter removes the converter named `name` (any case) or,
 * when `name` is null, converter `index`, and rewrites the section; it
 * returns 1 when a converter was removed, 0 when there was none to remove.
 */
IMEXP_API int IMEXP_CALL ImExp_InstallConverter(HWND owner, char* library, int position);
IMEXP_API int IMEXP_CALL ImExp_RemoveConverter(HWND owner, char* name, int index);
/*
 * The converter list as the manager holds it, for hosts and tools that show
 * it: the converters it loaded at start-up (a library that could not be
 * loaded or is of an older interface is not in it), changed since only by
 * the converter setup. Returns the number of converters; for 0 <= `index` <
 * that number, also copies converter `index`'s record into `record`: the
 * full path under which its library was loaded and what the converter said
 * of itself, every string terminated inside its field. Any other index, or
 * a null `record`, leaves the record untouched. Never shows a message.
 */
IMEXP_API int IMEXP_CALL ImExp_GetConverterRecord(int index, ConvRecord* record);

/* 1 when some installed converter reads `path`. `name` may be null; on input
 * it names a preferred converter, on success it receives the reader's name
 * (128 bytes). */
IMEXP_API int IMEXP_CALL FindReader(char* path, char* name);
/* 1 when some installed converter writes `image` (null: any image) under the
 * name `file`. */
IMEXP_API int IMEXP_CALL FindWriter(CAbstractWriteWA* image, char* file);
/* With a null buffer or size 0: the bytes the list of save formats needs.
 * Otherwise fills "description\0extensions\0...\0" and returns the number of
 * formats that fitted. */
IMEXP_API int IMEXP_CALL FillSaveFormatsInfo(char* buffer, unsigned int size);

#ifdef __cplusplus
}
#endif

/* Pointer types for hosts that look the functions up at run time. */
typedef int(IMEXP_CALL* ImExp_ReadFileFn)(IMEXP_CLASS(CAbstractReadWA) *, HWND, char*, int,
                                          IMEXP_CLASS(CProgress) *, char**, int);
typedef int(IMEXP_CALL* ImExp_ReadFileImageFn)(IMEXP_CLASS(CAbstractReadWA) *, HWND, char*, int,
                                               IMEXP_CLASS(CProgress) *, char**, int, int);
typedef int(IMEXP_CALL* ImExp_SelectFileAndReadFn)(IMEXP_CLASS(CAbstractReadWA) *, HWND, char*, int,
                                                   IMEXP_CLASS(CProgress) *, char**, int);
typedef int(IMEXP_CALL* ImExp_WriteFileFn)(const IMEXP_CLASS(CAbstractWriteWA) *, HWND, char*, int*,
                                           IMEXP_CLASS(CProgress) *, char**, int);
typedef int(IMEXP_CALL* ImExp_SelectFileAndWriteFn)(const IMEXP_CLASS(CAbstractWriteWA) *, HWND, char*, int*,
                                                    IMEXP_CLASS(CProgress) *, char**, int);
typedef int(IMEXP_CALL* ImExp_SelectFileToReadFn)(HWND, char*);
typedef int(IMEXP_CALL* ImExp_SelectFileToWriteFn)(HWND, int, char*);
typedef int(IMEXP_CALL* ImExp_ShowFileInfoFn)(HWND, char*, int);
typedef int(IMEXP_CALL* ImExp_GetFileInfoFn)(void*, char*, int);
typedef int(IMEXP_CALL* ImExp_GetImageInfoFn)(void*, char*, int);
typedef int(IMEXP_CALL* ImExp_ConfigureConvertersFn)(HWND);
typedef int(IMEXP_CALL* ImExp_InstallConverterFn)(HWND, char*, int);
typedef int(IMEXP_CALL* ImExp_RemoveConverterFn)(HWND, char*, int);
typedef int(IMEXP_CALL* ImExp_GetConverterRecordFn)(int, ConvRecord*);
typedef int(IMEXP_CALL* FindReaderFn)(char*, char*);
typedef int(IMEXP_CALL* FindWriterFn)(IMEXP_CLASS(CAbstractWriteWA) *, char*);
typedef int(IMEXP_CALL* FillSaveFormatsInfoFn)(char*, unsigned int);

#endif /* IMEXP_HOST_H */
