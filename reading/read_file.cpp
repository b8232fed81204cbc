// ImExp_ReadFile: reading an image of a file into the host, through the
// converter that recognises the file, band by band.
#include <cstring>

#include "pipeline/descriptor_rules.h"
#include "pipeline/grey_ramps.h"
#include "pipeline/palette_analysis.h"
#include "reading/read_context.h"
#include "reading/read_file.h"
#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "registry/error_report.h"
#include "registry/image_count.h"
#include "registry/reader_detection.h"
#include "resource_ids.h"

namespace imexp {

namespace {

constexpr int kDescriptorBlockBytes = sizeof(ConvImageDesc) + CONV_PALETTE_BYTES;
// The resolution of an image whose converter gives none, and the unit an
// aspect ratio is scaled to.
constexpr int kDefaultDpi = 72;

// Dots per inch from the converter's resolution fields.
void DeriveResolution(const ConvImageDesc& d, int* horizontal, int* vertical) {
  int x = static_cast<int>(d.resX);
  int y = static_cast<int>(d.resY);
  switch (d.resUnit) {
    case CONV_UNIT_ASPECT:
      if (x == 0) {
        x = y = kDefaultDpi;
      } else if (y == 0) {
        y = x;
      }
      *vertical = MulDiv(y, kDefaultDpi, x);
      *horizontal = kDefaultDpi;
      break;
    case CONV_UNIT_DPI:
      *horizontal = x;
      *vertical = y;
      break;
    case CONV_UNIT_DPCM:
      *horizontal = MulDiv(x, 254, 100);
      *vertical = MulDiv(y, 254, 100);
      break;
    default:
      *horizontal = *vertical = kDefaultDpi;
      break;
  }
  if (*horizontal == 0) {
    *horizontal = *vertical = kDefaultDpi;
  } else if (*vertical == 0) {
    *vertical = *horizontal;
  }
}

// The image a request names, checked against the file's count: a number
// past the last image fails with code 8, and a negative one lets the user
// choose among the images of a file that offers several (the normal cursor
// shows while the dialog is up). Without a request: image 0 of 1.
int ResolveImage(ReadContext& c) {
  if (!c.request.requested) return CONV_OK;
  ImageCount images;
  bool fromConverter = false;
  if (int error = CountImages(c.converter, c.library, c.file, &images, &fromConverter)) return error;
  const int count = images.count;
  int image = c.request.image;
  if (image < 0) {
    if (count < 2 || images.singleView != 0 || c.request.choose == nullptr) {
      image = 0;
    } else {
      char title[MAX_PATH];
      if (GetFileTitleA(c.fileName, title, sizeof title) != 0) title[0] = '\0';
      SetCursor(c.restoreCursor);
      image = c.request.choose(c.owner, title, count);
      c.restoreCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      if (image < 0) return CONV_ERR_CANCELLED;
    }
  }
  if (image >= count) return CONV_ERR_WRONG_IMAGE_NUMBER;
  c.imageIndex = image;
  c.imageCount = count;
  return CONV_OK;
}

// Everything up to the band loop: the file, the reader, its library, the
// header and the descriptor checks, the host's image, the band and the row
// converters. Returns the error code.
int PrepareRead(ReadContext& c) {
  c.file = _lopen(c.fileName, OF_READ);
  if (c.file == HFILE_ERROR) return CONV_ERR_CANNOT_OPEN;
  c.converter = ChooseReader(c.fileName, c.file, -1);
  if (c.converter < 0) return CONV_ERR_UNKNOWN_FORMAT;
  if (!c.descriptorBlock.Allocate(kDescriptorBlockBytes, GMEM_FIXED)) return CONV_ERR_NO_MEMORY;
  c.desc = c.descriptorBlock.as<ConvImageDesc>();
  c.library = LoadConverter(c.converter);
  if (c.library == nullptr) return CONV_ERR_WRONG_DLL_VERSION;
  c.readHeader = GetEntryPointAs<RDReadHeaderFn>(c.library, IDS_RD_READ_HEADER);
  c.setupReading =
      c.readHeader ? GetEntryPointAs<RDSetupReadingFn>(c.library, IDS_RD_SETUP_READING) : nullptr;
  c.readBand = c.setupReading ? GetEntryPointAs<RDReadBandFn>(c.library, IDS_RD_READ_BAND) : nullptr;
  c.cleanUp = c.readBand ? GetEntryPointAs<RDCleanUpFn>(c.library, IDS_RD_CLEAN_UP) : nullptr;
  if (c.cleanUp == nullptr) return CONV_ERR_WRONG_DLL_VERSION;
  if (int error = ResolveImage(c)) return error;

  ConvImageDesc& d = *c.desc;
  d.fileName = c.fileName;
  d.iniPath = IniPath();
  d.hFile = c.file;
  d.hwndOwner = c.owner;
  d.imageCount = static_cast<uint16_t>(c.imageCount);
  d.imageIndex = static_cast<uint16_t>(c.imageIndex);
  d.palette = reinterpret_cast<unsigned char*>(c.desc + 1);
  c.cleanUpDue = true;
  if (int error = c.readHeader(&d, c.hostParam, c.hostValue)) return error;
  if (int error = CheckReadDescriptor(d)) return error;

  c.colorFlag = d.colorType == CONV_COLOR_PALETTE || d.colorType == CONV_COLOR_RGB;
  c.paletteFlag = d.colorType == CONV_COLOR_GRAY_PALETTE || d.colorType == CONV_COLOR_PALETTE;
  c.invertedFlag = d.invertedGray != 0;
  AnalysePalette(d.bitsPerPixel, d.palette, &c.colorFlag, &c.paletteFlag, &c.invertedFlag);
  if (d.bitsPerPixel <= 8) {
    if (c.paletteFlag == 0) {
      BuildGreyRamp(d.bitsPerPixel, c.invertedFlag, d.palette);
    } else if (c.colorFlag == 0) {
      SpreadRedPlane(d.palette);
    }
  }
  c.hostType = ChooseHostType(d.bitsPerPixel, c.acceptedTypes, c.colorFlag);
  if (c.hostType == 0) return CONV_ERR_ILLEGAL_CONVERSION;
  if (!SelectRowConverters(d.bitsPerPixel, d.planes != 1, d.packedPixels, c.paletteFlag, c.invertedFlag,
                           d.bgrOrder, c.hostType, &c.stage1Kind, &c.stage2Kind)) {
    return CONV_ERR_ILLEGAL_CONVERSION;
  }
  // The converters read a fixed extent of each row; a converter that
  // declares shorter rows would make them read past its band.
  if (RowConverterSourceBytes(c.stage1Kind, c.stage2Kind, d.width, c.hostType) > d.bytesPerLine) {
    return CONV_ERR_INVALID_FILE;
  }

  if (c.image->SetImageSize(0, 0, d.width, d.height) != 0) return CONV_ERR_WA_FAILURE;
  c.image->SetImageType(0, 0, c.hostType);
  if (d.bitsPerPixel <= 8) {
    int entries = 1 << d.bitsPerPixel;
    ImExpPaletteEntry hostPalette[256];
    for (int i = 0; i < entries; ++i) {
      hostPalette[i].red = d.palette[i];
      hostPalette[i].green = d.palette[256 + i];
      hostPalette[i].blue = d.palette[512 + i];
      hostPalette[i].reserved = 0;
    }
    c.image->SetPalette(0, 0, hostPalette, entries);
  }
  int horizontal = kDefaultDpi;
  int vertical = kDefaultDpi;
  DeriveResolution(d, &horizontal, &vertical);
  c.image->SetResolution(0, 0, horizontal, vertical);

  if (int error = SizeReadBand(d)) return error;
  PlanRowBuffers(d, c.hostType, c.stage1Kind, c.stage2Kind, c.buffers);
  if (int error = c.setupReading(&d)) return error;
  if (!AllocRowBuffers(c.buffers, c.rows)) return CONV_ERR_NO_MEMORY;
  InstallRowConverters(d, c.stage1Kind, c.stage2Kind, c.buffers, c.rows, &c.stage1, &c.stage2);
  return CONV_OK;
}

// The band loop, with the normal cursor and the host's progress around it.
int TransferBands(ReadContext& c) {
  SetCursor(c.restoreCursor);
  if (c.progress != nullptr) c.progress->Begin();
  int error = RunBandLoop(c);
  if (c.progress != nullptr) c.progress->End();
  c.restoreCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  return error;
}

// Gives back what the read took, whatever ended it. A failure puts the
// cursor back and is reported first, while the converter is still loaded,
// so that it can word its own codes. Then: the row buffers, the converter's
// clean-up, the file, the library, the descriptor. A read that succeeded
// puts the cursor back only once all of that is given back.
void Release(ReadContext& c, int error) {
  const bool failed = error != CONV_OK;
  if (failed) {
    SetCursor(c.restoreCursor);
    ReportError(c.owner, error, c.fileName, c.library);
  }
  FreeRowBuffers(c.buffers);
  if (c.cleanUpDue) c.cleanUp(c.desc);
  c.cleanUpDue = false;
  if (c.file != HFILE_ERROR) _lclose(c.file);
  c.file = HFILE_ERROR;
  if (c.library != nullptr) FreeLibrary(c.library);
  c.library = nullptr;
  c.descriptorBlock.Free();
  if (!failed) SetCursor(c.restoreCursor);
}

int ReadFile(ReadContext& c) {
  c.restoreCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  int error = PrepareRead(c);
  if (error == CONV_OK) error = TransferBands(c);
  Release(c, error);
  return error == CONV_OK ? 1 : 0;
}

}  // namespace

int ReadImage(const ReadArguments& arguments, const ImageRequest& request) {
  // Without a host image or a name there is nothing to read.
  if (arguments.image == nullptr || arguments.fileName == nullptr) return 0;
  ReadContext context;
  static_cast<ReadArguments&>(context) = arguments;
  context.request = request;
  return ReadFile(context);
}

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_ReadFile(CAbstractReadWA* image, HWND owner, char* file,
                                                   int acceptedTypes, CProgress* progress, char** hostParam,
                                                   int hostValue) {
  return imexp::ReadImage({image, owner, file, acceptedTypes, progress, hostParam, hostValue}, {});
}
