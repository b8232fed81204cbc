// ImExp_WriteFile: saving the host's image through the converter that the
// file name and the image select, into a temporary file that replaces the
// target only when everything has succeeded.
#include <algorithm>
#include <cstring>

#include "registry/converter_list.h"
#include "registry/descriptor_rules.h"
#include "registry/entry_points.h"
#include "registry/error_report.h"
#include "resource_ids.h"
#include "writing/write_context.h"
#include "writing/writer_matching.h"

namespace imexp {

namespace {

// Fills the palette planes with a grey ramp of 2^bits entries; the entries
// after it are zero.
void GreyRamp(int bits, uint8_t* palette) {
  int top = (1 << bits) - 1;
  for (int i = 0; i < 256; ++i) {
    uint8_t level = i <= top ? static_cast<uint8_t>(MulDiv(i, 255, top)) : 0;
    palette[i] = palette[256 + i] = palette[512 + i] = level;
  }
}

// The resolution unit and values the writer takes, from the host's dots per
// inch: the first unit the writer names, in the order DPI, DPCM, screen,
// none. A writer that names none of them gets no resolution.
void ChooseResolution(uint32_t units, int x, int y, ConvImageDesc& d) {
  if (units & CONV_RES_DPI) {
    d.resUnit = CONV_UNIT_DPI;
    d.resX = static_cast<uint32_t>(x);
    d.resY = static_cast<uint32_t>(y);
  } else if (units & CONV_RES_DPCM) {
    d.resUnit = CONV_UNIT_DPCM;
    d.resX = static_cast<uint32_t>(MulDiv(x, 100, 254));
    d.resY = static_cast<uint32_t>(MulDiv(y, 100, 254));
  } else if (units & CONV_RES_SCREEN) {
    d.resUnit = CONV_UNIT_SCREEN;
    d.resX = 640;
    d.resY = 480;
  } else {
    d.resUnit = CONV_UNIT_UNKNOWN;
    d.resX = d.resY = 0;
  }
}

// Everything before the transfer of rows: steps 2 to 17. Returns the error
// code; `*silent` is set for an image type outside the five.
int PrepareWrite(WriteContext& c, bool* silent) {
  int colorType = 0;
  if (!ClassifyWriteImage(c.image, c.palette, &colorType, &c.sourceBits)) {
    *silent = true;
    return CONV_ERR_GENERAL;
  }
  c.colorType = colorType;
  uint32_t mask = WriteLayoutMask(colorType, c.sourceBits);
  int writer = ChooseWriter(mask, c.fileName);
  if (writer < 0) return CONV_ERR_NO_SAVE_FORMAT;
  const ConvRecord& record = ConverterAt(writer);
  mask &= record.writeFormats;
  ChooseOutputLayout(mask, c.sourceBits, &c.outputColorType, &c.outputBits);

  std::memcpy(c.greyLookup, c.palette, sizeof c.greyLookup);
  bool rampPalette =
      c.outputColorType == CONV_COLOR_GRAY ||
      (c.outputColorType == CONV_COLOR_PALETTE && colorType == CONV_COLOR_GRAY) ||
      (c.outputColorType == CONV_COLOR_PALETTE && colorType == CONV_COLOR_GRAY_PALETTE && c.outputBits == 8);
  if (rampPalette) GreyRamp(c.outputBits, c.palette);
  // Grey indices written at their own depth keep their values; under a ramp
  // they must become the grey levels their palette gave them.
  c.mapGreyIndices = rampPalette && colorType == CONV_COLOR_GRAY_PALETTE && c.outputBits == c.sourceBits;

  int width = 0;
  int height = 0;
  c.image->GetImageSize(0, 0, &width, &height);
  int x = 0;
  int y = 0;
  c.image->GetResolution(0, 0, &x, &y);
  if (x == 0 || y == 0) x = y = 72;

  ConvImageDesc& d = c.desc;
  ChooseResolution(record.writeResUnits, x, y, d);
  c.library = LoadConverter(writer);
  if (c.library == nullptr) return CONV_ERR_WRONG_DLL_VERSION;
  c.setupWriting = GetEntryPointAs<WRSetupWritingFn>(c.library, IDS_WR_SETUP_WRITING);
  c.writeHeader = GetEntryPointAs<WRWriteHeaderFn>(c.library, IDS_WR_WRITE_HEADER);
  c.writeBand = GetEntryPointAs<WRWriteBandFn>(c.library, IDS_WR_WRITE_BAND);
  c.endWriting = GetEntryPointAs<WREndWritingFn>(c.library, IDS_WR_END_WRITING);
  c.cleanUp = GetEntryPointAs<WRCleanUpFn>(c.library, IDS_WR_CLEAN_UP);
  if (!c.setupWriting || !c.writeHeader || !c.writeBand || !c.endWriting || !c.cleanUp) {
    return CONV_ERR_WRONG_DLL_VERSION;
  }
  if (!c.temporary.Create(c.fileName)) return CONV_ERR_CANNOT_OPEN;

  // A size outside what a descriptor can carry gives rows of no bytes, which
  // the band sizing refuses.
  d.width = width > 0 ? static_cast<uint32_t>(width) : 0;
  d.height = height > 0 ? static_cast<uint32_t>(height) : 0;
  d.fileName = c.fileName;
  d.iniPath = IniPath();
  d.hFile = c.temporary.handle();
  d.hwndOwner = c.owner;
  d.imageIndex = 0;
  d.imageCount = 1;
  d.colorType = static_cast<uint16_t>(c.outputColorType);
  d.bitsPerPixel = static_cast<uint16_t>(c.outputBits);
  d.planes = 1;
  d.bytesPerLine = static_cast<uint32_t>((uint64_t{d.width} * c.outputBits + 7) / 8);
  d.packedPixels = 1;
  d.invertedGray = 0;
  d.bgrOrder = 0;
  d.outputBits = static_cast<uint16_t>(c.outputBits);
  d.palette = c.palette;
  d.accessMode = CONV_ACCESS_TOP_DOWN;
  d.rowOrder = 1;
  d.fixedBand = 0;
  d.maxBandRows = 1;
  d.chosenAccess = 1;
  d.bandRows = 1;
  d.bandRow = 0;
  d.bandCount = 1;
  d.reserved = 0;

  c.cleanUpDue = true;
  if (int error = CallWriter(c, [&] { return c.setupWriting(&d, c.hostParam, c.hostValue); })) return error;
  // The image's size is the host's; a writer may change the row layout but
  // not make the manager ask the host for rows it does not have.
  d.width = width > 0 ? static_cast<uint32_t>(width) : 0;
  d.height = height > 0 ? static_cast<uint32_t>(height) : 0;

  // The step and its lookups follow the layout the writer asked for; the
  // output bits are ours, whatever the writer did to bitsPerPixel.
  bool planar = d.planes >= 2;
  int effectiveBits = (c.outputBits == 1 || c.outputBits == 4) && d.packedPixels == 0 ? 8 : c.outputBits;
  c.step = ChooseWriteStep(c.sourceBits, effectiveBits, planar, d.bgrOrder, d.width);
  if (c.mapGreyIndices) PrepareGreyIndexMap(c);  // while greyLookup still holds the host's greys
  PrepareWriteLookup(colorType, c.sourceBits, c.outputBits, effectiveBits, planar, d.bgrOrder, c.greyLookup,
                     c.greyLookup, c.palette);

  if (int error = SizeWriteBand(d)) return error;
  // Every row the step writes must fit the row the writer described.
  uint64_t rowBytes = uint64_t{d.planes} * d.bytesPerLine;
  uint64_t written = planar ? uint64_t{c.step.planesWritten - 1} * d.bytesPerLine + c.step.bytesPerPlane
                            : c.step.bytesPerPlane;
  if ((planar && c.step.bytesPerPlane > d.bytesPerLine) || written > rowBytes) return CONV_ERR_INVALID_FILE;
  c.rows.width = d.width;
  c.rows.stride = planar ? d.bytesPerLine : static_cast<uint32_t>(c.step.bytesPerPlane);
  c.rows.greyLookup = c.greyLookup;
  c.rows.palette = c.palette;

  if (c.progress != nullptr) c.progress->Begin();
  c.progressBegun = true;
  if (int error = CallWriter(c, [&] { return c.writeHeader(&d); })) return error;

  // The host fills a whole host row, however short the writer made its rows.
  uint64_t hostRowBytes = (uint64_t{d.width} * c.sourceBits + 7) / 8;
  // The host may fill a band's row directly; the band carries the same 32
  // bytes of slack behind its last row that a host row buffer has.
  if (!c.band.Allocate(static_cast<SIZE_T>(d.bandRows * rowBytes + 32)) ||
      !c.row.Allocate(static_cast<SIZE_T>(std::max(rowBytes, hostRowBytes)))) {
    return CONV_ERR_NO_MEMORY;
  }
  c.rows.source = c.row.as<uint8_t>();
  return CONV_OK;
}

void EndProgress(WriteContext& c) {
  if (c.progressBegun && c.progress != nullptr) c.progress->End();
  c.progressBegun = false;
}

// Gives back what the write took, in the documented order: the writer's
// clean-up, the buffers, the temporary file (deleted unless it is to be
// committed; a kept one was flushed and closed already), the library.
void Release(WriteContext& c, bool discardTemporary) {
  if (c.cleanUpDue) c.cleanUp(&c.desc);
  c.cleanUpDue = false;
  c.band.Free();
  c.row.Free();
  if (discardTemporary) c.temporary.Discard();
  if (c.library != nullptr) FreeLibrary(c.library);
  c.library = nullptr;
}

// The temporary file holds the whole image only once the system has it on
// stable storage; a failure to get it there is a failed write.
int FinishTemporary(WriteContext& c) {
  if (c.temporary.FlushAndClose()) return CONV_OK;
  c.fileError = platform::LastFileError();
  return CONV_ERR_DISK_FULL;
}

int WriteFile(WriteContext& c) {
  bool silent = false;
  int error = PrepareWrite(c, &silent);
  if (silent) return 0;
  if (error == CONV_OK) error = TransferRows(c);
  if (error == CONV_OK) error = CallWriter(c, [&] { return c.endWriting(&c.desc); });
  if (error == CONV_OK) error = FinishTemporary(c);
  if (error != CONV_OK) {
    EndProgress(c);
    // Reported while the writer is still loaded, so it can word its codes.
    ReportWriteError(c.owner, error, c.fileError, c.fileName, c.library);
    Release(c, true);
    return 0;
  }
  Release(c, false);
  EndProgress(c);
  // Only now is the target touched, and in one step: a failure leaves the
  // old target as it was.
  if (c.temporary.Commit(c.fileName)) return 1;
  ReportWriteError(c.owner, CONV_ERR_DISK_FULL, platform::LastFileError(), c.fileName, nullptr);
  c.temporary.Discard();
  return 0;
}

}  // namespace

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_WriteFile(const CAbstractWriteWA* image, HWND owner, char* file,
                                                    int* reserved, CProgress* progress, char** hostParam,
                                                    int hostValue) {
  if (reserved != nullptr) *reserved = 0;
  if (image == nullptr || file == nullptr) return 0;
  imexp::WriteContext context;
  // The host's object is only asked questions and for rows; its operations
  // are not declared const, so the constness the interface promises the host
  // is dropped here, in this one place.
  context.image = const_cast<CAbstractWriteWA*>(image);
  context.owner = owner;
  context.fileName = file;
  context.progress = progress;
  context.hostParam = hostParam;
  context.hostValue = hostValue;
  return imexp::WriteFile(context);
}
