/*
 * ImExp converter plug-in interface: the records a converter and the manager
 * exchange, their flag and layout constants, and the error codes.
 *
 * Binary layout
 * -------------
 * On 32-bit targets the records are laid out exactly as documented at each
 * record (ConvRecord 348 bytes, ConvImageDesc 104, ConvImageInfo 240, padding
 * included); static_asserts at the end pin every offset. On 64-bit targets the
 * records keep the same field sequence, including the explicit padding
 * fields, in natural alignment: pointers and window handles take 8 bytes,
 * HFILE stays a 32-bit int. The 64-bit offsets are asserted as well, so a
 * converter built against this header with any conforming compiler matches
 * the manager.
 *
 * Include <imexp/converter.h>, which gives this header and the rest of the
 * interface.
 */
#ifndef IMEXP_CONVERTER_RECORDS_H
#define IMEXP_CONVERTER_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#else
#ifndef IMEXP_POSIX_HANDLE_TYPES
#define IMEXP_POSIX_HANDLE_TYPES
/* The manager's own Win32 subset uses the same two definitions. */
typedef int HFILE;
typedef struct HWND__* HWND;
#endif
#endif

/* ------------------------------------------------------------------------ */
/* Interface version                                                         */
/* ------------------------------------------------------------------------ */

/* ConvGetVersion's result: the low 16 bits are the interface version and must
 * be at least CONV_INTERFACE_VERSION. The setup dialog installs a converter
 * only when at least one of the two capability bits is set as well; loading
 * the list at start-up checks the low word alone. */
#define CONV_INTERFACE_VERSION 0x0300u
#define CONV_VERSION_CAPABILITY_1 0x00010000u
#define CONV_VERSION_CAPABILITY_2 0x00020000u

/* ------------------------------------------------------------------------ */
/* Error codes                                                               */
/* ------------------------------------------------------------------------ */

/* 0 is success. 1 to 20 are shared by the manager and converters; a
 * converter may add codes of its own from CONV_ERR_CUSTOM (16) upward and put
 * them into words through ConvGetErrorString. The manager shows codes above
 * 20 that nobody words as CONV_ERR_GENERAL, and never shows CONV_ERR_CANCELLED. */
enum ConvErrorCode {
  CONV_OK = 0,
  CONV_ERR_END_OF_FILE = 1,           /* "Unexpected end of file %s" */
  CONV_ERR_NO_MEMORY = 2,             /* "No enough memory" */
  CONV_ERR_UNKNOWN_FORMAT = 3,        /* "Unknown image file format %s" */
  CONV_ERR_INVALID_FILE = 4,          /* "Invalid Image File %s" */
  CONV_ERR_UNSUPPORTED_SUBFORMAT = 5, /* "Unsupporter Subformat %s" */
  CONV_ERR_CANNOT_OPEN = 6,           /* "Cannot open file %s" */
  CONV_ERR_NO_IMAGES = 7,             /* "No images found in file %s" */
  CONV_ERR_WRONG_IMAGE_NUMBER = 8,    /* "Wrong Image Number %s" */
  CONV_ERR_FILE_TOO_BIG = 9,          /* "File too big %s" */
  CONV_ERR_CONVERTER_IN_USE = 10,     /* "Converter in use by other program" */
  CONV_ERR_ILLEGAL_CONVERSION = 11,   /* "Illegal conversion requested" */
  CONV_ERR_CANCELLED = 12,            /* "Operation cancelled by user", never shown */
  CONV_ERR_DISK_FULL = 13,            /* "Disk full writing %s" */
  CONV_ERR_DECOMPRESSOR = 14,         /* "Decompressor Error %s" */
  CONV_ERR_GENERAL = 15,              /* "General Conversion Error" */
  CONV_ERR_CUSTOM = 16,               /* "Custom Converter Error"; first own code */
  CONV_ERR_NOT_CONFIGURED = 17,       /* "Converters configured inproperly" */
  CONV_ERR_WRONG_DLL_VERSION = 18,    /* "Wrong custom DLL version %s" */
  CONV_ERR_WA_FAILURE = 19,           /* "WA Failure" */
  CONV_ERR_NO_SAVE_FORMAT = 20        /* "No Suitable Formats for Save" */
};

/* ------------------------------------------------------------------------ */
/* ConvRecord: one installed converter                                       */
/* ------------------------------------------------------------------------ */

/* Capability bits of ConvRecord.flags (only the low byte is defined). */
#define CONV_FLAG_READER 0x01u /* RDReadHeader family present */
#define CONV_FLAG_WRITER 0x02u /* WRSetupWriting family present */
#define CONV_FLAG_ABOUT 0x04u  /* ConvAbout present */
#define CONV_FLAG_SETUP 0x08u  /* ConvSetup present */
#define CONV_FLAG_CHECKS_CONTENT                     \
  0x10u /* RDCheckFile recognises its files; without \
          this bit the converter is taken to accept  \
          any file whose extension it claims */
#define CONV_FLAG_MULTI_IMAGE             \
  0x20u /* files may hold several images; \
           RDGetImageCount present */

/* Output layouts of ConvRecord.writeFormats: (colour type, bits per pixel).
 * The *_ANY layouts take the least of 1, 4 and 8 bits that is not below the
 * image's bits. The three RGB bits lead to the same output. */
#define WF_GRAY1 0x001u    /* grey, 1 bit */
#define WF_GRAY4 0x002u    /* grey, 4 bits */
#define WF_GRAY8 0x004u    /* grey, 8 bits */
#define WF_GRAY_ANY 0x008u /* grey, 1, 4 or 8 bits */
#define WF_PAL4 0x010u     /* colour palette, 4 bits */
#define WF_PAL8 0x020u     /* colour palette, 8 bits */
#define WF_PAL_ANY 0x040u  /* colour palette, 1, 4 or 8 bits */
#define WF_RGB24_1 0x080u  /* RGB, 24 bits */
#define WF_RGB24_2 0x100u  /* RGB, 24 bits */
#define WF_RGB24_3 0x200u  /* RGB, 24 bits */

/* Resolution units a writer takes (ConvRecord.writeResUnits). The manager
 * tests them in the order DPI, DPCM, SCREEN, NONE; the first present decides
 * the descriptor's resUnit. */
#define CONV_RES_NONE 0x01u   /* no resolution: unit 0, values 0 and 0 */
#define CONV_RES_DPI 0x04u    /* unit 2 */
#define CONV_RES_DPCM 0x08u   /* unit 3 */
#define CONV_RES_SCREEN 0x10u /* unit 4, 640 x 480 */

/*
 * 348 bytes, the same on every target.
 *
 *   off size field
 *     0  128 path          written by the MANAGER: full path of the library
 *   128    4 flags         CONV_FLAG_*
 *   132    4 writeFormats  WF_* (meaningful with CONV_FLAG_WRITER)
 *   136    2 writeResUnits CONV_RES_*
 *   138  128 name          display name; identity for remembered formats and
 *                          the preferred reader (compared without case)
 *   266   40 description   file type description for the dialogs' type lists
 *   306   42 extensions    masks such as "*.BMP;*.DIB", "?" matching one char
 *
 * ConvGetDllInfo fills everything from offset 128 on. Strings must be
 * zero-terminated within their fields; the manager bounds every read of them
 * by the field size anyway.
 */
typedef struct ConvRecord {
  char path[128];
  uint32_t flags;
  uint32_t writeFormats;
  uint16_t writeResUnits;
  char name[128];
  char description[40];
  char extensions[42];
} ConvRecord;

/* ------------------------------------------------------------------------ */
/* ConvImageDesc: the image descriptor of every reading and writing call     */
/* ------------------------------------------------------------------------ */

/* Colour types (ConvImageDesc.colorType and ConvImageInfo.colorType). Only 0
 * to 3 can be read or written; 4 to 8 exist for information display. */
#define CONV_COLOR_GRAY 0         /* grey levels, no palette */
#define CONV_COLOR_GRAY_PALETTE 1 /* grey through a palette */
#define CONV_COLOR_PALETTE 2      /* colour through a palette */
#define CONV_COLOR_RGB 3          /* red, green, blue, 24 bits */
#define CONV_COLOR_GRAY_ALPHA 4
#define CONV_COLOR_RGB_ALPHA 5
#define CONV_COLOR_YCBCR 6
#define CONV_COLOR_LAB 7
#define CONV_COLOR_CMYK 8

/* Resolution units (ConvImageDesc.resUnit, ConvImageInfo.resUnit). */
#define CONV_UNIT_UNKNOWN 0
#define CONV_UNIT_ASPECT 1 /* resX:resY is a proportion only */
#define CONV_UNIT_DPI 2
#define CONV_UNIT_DPCM 3
#define CONV_UNIT_SCREEN 4 /* screen size in pixels */

/* Band protocols (ConvImageDesc.accessMode, chosenAccess, rowOrder). */
#define CONV_ACCESS_CONVERTER 0 /* the converter says which rows each band holds */
#define CONV_ACCESS_TOP_DOWN 1  /* manager-driven, top to bottom */
#define CONV_ACCESS_BOTTOM_UP 2 /* manager-driven, bottom to top */
#define CONV_ACCESS_EITHER 3    /* manager-driven, the manager takes rowOrder */

/*
 * 104 bytes on 32-bit targets (offsets on the left), 128 on 64-bit targets
 * (offsets in brackets).
 *
 *   off  [64] size field         reading: filled by     writing: filled by
 *     0   [0]  p  fileName       manager (host's path)  manager (TARGET path, not
 *                                                         the temporary file)
 *     4   [8]  p  iniPath        manager                manager
 *     8  [16]  4  hFile          manager (read-only)    manager (temporary file)
 *    12  [24]  p  hwndOwner      manager                manager
 *    16  [32]  2  imageIndex     manager, always 0      manager, always 0
 *    18  [34]  2  imageCount     manager, always 1      manager, always 1
 *    20  [36]  4  width          converter              manager
 *    24  [40]  4  height         converter              manager
 *    28  [44]  2  colorType      converter              manager
 *    30  [46]  2  bitsPerPixel   converter              manager
 *    32  [48]  2  planes         converter              manager 1; writer may change
 *    34  [50]  2  (padding)
 *    36  [52]  4  bytesPerLine   converter              manager; writer may change
 *    40  [56]  4  packedPixels   converter              manager 1; writer may change
 *    44  [60]  4  invertedGray   converter              manager 0
 *    48  [64]  4  bgrOrder       converter              manager 0; writer may change
 *    52  [68]  2  outputBits     -                      manager = bitsPerPixel
 *    54  [70]  2  (padding)
 *    56  [72]  p  palette        manager                manager
 *    60  [80]  2  resUnit        converter              manager
 *    62  [82]  2  (padding)
 *    64  [84]  4  resX           converter              manager
 *    68  [88]  4  resY           converter              manager
 *    72  [92]  2  accessMode     converter              manager 1; writer may change
 *    74  [94]  2  rowOrder       converter              manager 1; writer may change
 *    76  [96]  2  fixedBand      converter              manager 0; writer may change
 *    78  [98]  2  (padding)
 *    80 [100]  4  maxBandRows    converter              manager 1; writer may change
 *    84 [104]  2  chosenAccess   manager, before RDSetupReading / after WRSetupWriting
 *    86 [106]  2  (padding)
 *    88 [108]  4  bandRows       manager, rows the band buffer holds
 *    92 [112]  4  bandRow        first row of the band, 0 = TOP row of the image
 *    96 [116]  4  bandCount      rows in the band
 *   100 [120]  4  reserved       writing: manager 0
 *       [124]  4  (tail padding on 64-bit targets)
 *
 * Row layout in the band buffer: a row is `planes` x `bytesPerLine` bytes, the
 * planes of one row follow each other at `bytesPerLine` bytes, first plane
 * first. Rows of a band lie in travel order: bandRow, then bandRow + 1 going
 * down (rowOrder != 2) or bandRow - 1 going up (rowOrder == 2).
 *
 * planes is 1 (samples of a pixel together), 3 (red, green and blue byte
 * planes, 24 bits only) or 4 (four 1-bit planes, 4 bits only; plane p carries
 * bit p of the pixel value). packedPixels != 0 packs pixels of fewer than 8
 * bits several to a byte, first pixel in the most significant bits.
 * invertedGray != 0 makes a palette-less grey image run from white (0) to
 * black. bgrOrder != 0 orders 24-bit single-plane pixels blue, green, red.
 *
 * The palette is 768 bytes: red[256], then green[256], then blue[256]. Always
 * reach it through `palette`; never assume where it lies.
 *
 * Band protocol
 *   chosenAccess != 0 (manager-driven): the manager sets bandRow before each
 *     band and, unless fixedBand != 0, bandCount; every band call returns 0.
 *   chosenAccess == 0 (converter-driven): reading, RDReadBand sets bandRow
 *     (and bandCount when bandRows > 1) for the band it delivers and returns
 *     1, delivering nothing, when there are no more bands. Writing, the
 *     converter names the first band in WRSetupWriting or WRWriteHeader and
 *     the next band during each WRWriteBand, which returns 1 after the last.
 *   A band never holds more than bandRows rows, and every row it names lies
 *   inside the image; the manager ends the operation with CONV_ERR_INVALID_FILE
 *   otherwise.
 */
typedef struct ConvImageDesc {
  char* fileName;
  char* iniPath;
  HFILE hFile;
  HWND hwndOwner;
  uint16_t imageIndex;
  uint16_t imageCount;
  uint32_t width;
  uint32_t height;
  uint16_t colorType;
  uint16_t bitsPerPixel;
  uint16_t planes;
  uint16_t padding0;
  uint32_t bytesPerLine;
  int32_t packedPixels;
  int32_t invertedGray;
  int32_t bgrOrder;
  uint16_t outputBits;
  uint16_t padding1;
  unsigned char* palette;
  uint16_t resUnit;
  uint16_t padding2;
  uint32_t resX;
  uint32_t resY;
  uint16_t accessMode;
  uint16_t rowOrder;
  uint16_t fixedBand;
  uint16_t padding3;
  uint32_t maxBandRows;
  uint16_t chosenAccess;
  uint16_t padding4;
  uint32_t bandRows;
  uint32_t bandRow;
  uint32_t bandCount;
  uint32_t reserved;
} ConvImageDesc;

#define CONV_PALETTE_BYTES 768

/* ------------------------------------------------------------------------ */
/* ConvImageInfo: one image of a file, for display                          */
/* ------------------------------------------------------------------------ */

/*
 * 240 bytes, the same on every target.
 *
 *   off size field
 *     0  128 title         manager: file name without directory
 *   128   40 formatName    converter (manager empties it first)
 *   168   40 compression   converter; empty means uncompressed
 *   208    2 imageCount    manager
 *   210    2 imageIndex    manager: 0-based image described
 *   212    4 width         converter
 *   216    4 height        converter
 *   220    2 colorType     converter, CONV_COLOR_* 0 to 8
 *   222    2 bitsPerPixel  converter
 *   224    2 resUnit       converter (manager sets 0 first)
 *   226    2 (padding)
 *   228    4 resX          converter
 *   232    4 resY          converter
 *   236    4 hasDetails    converter: RDShowDetails can show more (manager 0 first)
 *
 * Fields the converter leaves alone keep what was there.
 */
typedef struct ConvImageInfo {
  char title[128];
  char formatName[40];
  char compression[40];
  uint16_t imageCount;
  uint16_t imageIndex;
  uint32_t width;
  uint32_t height;
  uint16_t colorType;
  uint16_t bitsPerPixel;
  uint16_t resUnit;
  uint16_t padding0;
  uint32_t resX;
  uint32_t resY;
  int32_t hasDetails;
} ConvImageInfo;

/* ------------------------------------------------------------------------ */
/* Layout checks                                                             */
/* ------------------------------------------------------------------------ */

#ifdef __cplusplus
#define CONV_STATIC_ASSERT static_assert
#else
#define CONV_STATIC_ASSERT _Static_assert
#endif
#define CONV_ASSERT_OFFSET(type, field, off32, off64)                                   \
  CONV_STATIC_ASSERT(offsetof(type, field) == (sizeof(void*) == 4 ? (off32) : (off64)), \
                     #type "." #field " is at the documented offset")

CONV_STATIC_ASSERT(sizeof(ConvRecord) == 348, "ConvRecord is 348 bytes");
CONV_ASSERT_OFFSET(ConvRecord, path, 0, 0);
CONV_ASSERT_OFFSET(ConvRecord, flags, 128, 128);
CONV_ASSERT_OFFSET(ConvRecord, writeFormats, 132, 132);
CONV_ASSERT_OFFSET(ConvRecord, writeResUnits, 136, 136);
CONV_ASSERT_OFFSET(ConvRecord, name, 138, 138);
CONV_ASSERT_OFFSET(ConvRecord, description, 266, 266);
CONV_ASSERT_OFFSET(ConvRecord, extensions, 306, 306);

CONV_STATIC_ASSERT(sizeof(ConvImageDesc) == (sizeof(void*) == 4 ? 104 : 128),
                   "ConvImageDesc is 104 bytes (128 on 64-bit targets)");
CONV_ASSERT_OFFSET(ConvImageDesc, fileName, 0, 0);
CONV_ASSERT_OFFSET(ConvImageDesc, iniPath, 4, 8);
CONV_ASSERT_OFFSET(ConvImageDesc, hFile, 8, 16);
CONV_ASSERT_OFFSET(ConvImageDesc, hwndOwner, 12, 24);
CONV_ASSERT_OFFSET(ConvImageDesc, imageIndex, 16, 32);
CONV_ASSERT_OFFSET(ConvImageDesc, imageCount, 18, 34);
CONV_ASSERT_OFFSET(ConvImageDesc, width, 20, 36);
CONV_ASSERT_OFFSET(ConvImageDesc, height, 24, 40);
CONV_ASSERT_OFFSET(ConvImageDesc, colorType, 28, 44);
CONV_ASSERT_OFFSET(ConvImageDesc, bitsPerPixel, 30, 46);
CONV_ASSERT_OFFSET(ConvImageDesc, planes, 32, 48);
CONV_ASSERT_OFFSET(ConvImageDesc, padding0, 34, 50);
CONV_ASSERT_OFFSET(ConvImageDesc, bytesPerLine, 36, 52);
CONV_ASSERT_OFFSET(ConvImageDesc, packedPixels, 40, 56);
CONV_ASSERT_OFFSET(ConvImageDesc, invertedGray, 44, 60);
CONV_ASSERT_OFFSET(ConvImageDesc, bgrOrder, 48, 64);
CONV_ASSERT_OFFSET(ConvImageDesc, outputBits, 52, 68);
CONV_ASSERT_OFFSET(ConvImageDesc, padding1, 54, 70);
CONV_ASSERT_OFFSET(ConvImageDesc, palette, 56, 72);
CONV_ASSERT_OFFSET(ConvImageDesc, resUnit, 60, 80);
CONV_ASSERT_OFFSET(ConvImageDesc, padding2, 62, 82);
CONV_ASSERT_OFFSET(ConvImageDesc, resX, 64, 84);
CONV_ASSERT_OFFSET(ConvImageDesc, resY, 68, 88);
CONV_ASSERT_OFFSET(ConvImageDesc, accessMode, 72, 92);
CONV_ASSERT_OFFSET(ConvImageDesc, rowOrder, 74, 94);
CONV_ASSERT_OFFSET(ConvImageDesc, fixedBand, 76, 96);
CONV_ASSERT_OFFSET(ConvImageDesc, padding3, 78, 98);
CONV_ASSERT_OFFSET(ConvImageDesc, maxBandRows, 80, 100);
CONV_ASSERT_OFFSET(ConvImageDesc, chosenAccess, 84, 104);
CONV_ASSERT_OFFSET(ConvImageDesc, padding4, 86, 106);
CONV_ASSERT_OFFSET(ConvImageDesc, bandRows, 88, 108);
CONV_ASSERT_OFFSET(ConvImageDesc, bandRow, 92, 112);
CONV_ASSERT_OFFSET(ConvImageDesc, bandCount, 96, 116);
CONV_ASSERT_OFFSET(ConvImageDesc, reserved, 100, 120);

CONV_STATIC_ASSERT(sizeof(ConvImageInfo) == 240, "ConvImageInfo is 240 bytes");
CONV_ASSERT_OFFSET(ConvImageInfo, title, 0, 0);
CONV_ASSERT_OFFSET(ConvImageInfo, formatName, 128, 128);
CONV_ASSERT_OFFSET(ConvImageInfo, compression, 168, 168);
CONV_ASSERT_OFFSET(ConvImageInfo, imageCount, 208, 208);
CONV_ASSERT_OFFSET(ConvImageInfo, imageIndex, 210, 210);
CONV_ASSERT_OFFSET(ConvImageInfo, width, 212, 212);
CONV_ASSERT_OFFSET(ConvImageInfo, height, 216, 216);
CONV_ASSERT_OFFSET(ConvImageInfo, colorType, 220, 220);
CONV_ASSERT_OFFSET(ConvImageInfo, bitsPerPixel, 222, 222);
CONV_ASSERT_OFFSET(ConvImageInfo, resUnit, 224, 224);
CONV_ASSERT_OFFSET(ConvImageInfo, padding0, 226, 226);
CONV_ASSERT_OFFSET(ConvImageInfo, resX, 228, 228);
CONV_ASSERT_OFFSET(ConvImageInfo, resY, 232, 232);
CONV_ASSERT_OFFSET(ConvImageInfo, hasDetails, 236, 236);

#endif /* IMEXP_CONVERTER_RECORDS_H */
