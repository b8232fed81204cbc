// ImExp_WriteFile: saving the host's image through the converter that the
// file name and the image select, into a temporary file that replaces the
// target only when everything has succeeded.
#include <algorithm>
#include <cstring>

#include "pipeline/descriptor_rules.h"
#include "pipeline/grey_ramps.h"
#include "pipeline/row_sizes.h"
#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "registry/error_report.h"
#include "resource_ids.h"
#include "writing/write_context.h"
#include "writing/writer_matching.h"

namespace imexp {

namespace {

// What ends a write of an image type outside the five: 0 returned at once,
// with no message and nothing taken.
constexpr int kImageNotWritable = -1;

// The host's resolution when it gives none.
constexpr int kDefaultDpi = 72;
// What a writer of screen sizes is given.
constexpr uint32_t kScreenWidth = 640;
constexpr uint32_t kScreenHeight = 480;

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
    d.resX = kScreenWidth;
    d.resY = kScreenHeight;
  } else {
    d.resUnit = CONV_UNIT_UNKNOWN;
    d.resX = d.resY = 0;
  }
}

// The image's colour class, the first writer that takes it under the file
// name, and the output layout among that writer's layouts.
int ChooseWriterAndLayout(WriteContext& c) {
  if (!ClassifyWriteImage(c.image, c.palette, &c.colorType, &c.sourceBits)) return kImageNotWritable;
  uint32_t mask = WriteLayoutMask(c.colorType, c.sourceBits);
  c.writer = ChooseWriter(mask, c.fileName);
  if (c.writer < 0) return CONV_ERR_NO_SAVE_FORMAT;
  mask &= ConverterAt(c.writer).writeFormats;
  if (!ChooseOutputLayout(mask, c.sourceBits, &c.outputColorType, &c.outputBits))
    return CONV_ERR_NO_SAVE_FORMAT;
  return CONV_OK;
}

// The palette the writer is given. Grey output, and a colour palette made of
// greys where the indices keep no meaning of their own, get a grey ramp at
// the output depth; every other output keeps the host's palette.
void PreparePalette(WriteContext& c) {
  std::memcpy(c.greyLookup, c.palette, sizeof c.greyLookup);
  const bool toPalette = c.outputColorType == CONV_COLOR_PALETTE;
  const bool rampPalette = c.outputColorType == CONV_COLOR_GRAY ||
                           (toPalette && c.colorType == CONV_COLOR_GRAY) ||
                           (toPalette && c.colorType == CONV_COLOR_GRAY_PALETTE && c.outputBits == 8);
  if (rampPalette) BuildRoundedGreyRamp(static_cast<unsigned>(c.outputBits), c.palette);
  // Grey indices written at their own depth keep their values; under a ramp
  // they must become the grey levels their palette gave them.
  c.mapGreyIndices = rampPalette && c.colorType == CONV_COLOR_GRAY_PALETTE && c.outputBits == c.sourceBits;
}

// The writer's library and its five entry points.
int LoadWriter(WriteContext& c) {
  c.library = LoadConverter(c.writer);
  if (c.library == nullptr) return CONV_ERR_WRONG_DLL_VERSION;
  c.setupWriting = GetEntryPointAs<WRSetupWritingFn>(c.library, IDS_WR_SETUP_WRITING);
  c.writeHeader = GetEntryPointAs<WRWriteHeaderFn>(c.library, IDS_WR_WRITE_HEADER);
  c.writeBand = GetEntryPointAs<WRWriteBandFn>(c.library, IDS_WR_WRITE_BAND);
  c.endWriting = GetEntryPointAs<WREndWritingFn>(c.library, IDS_WR_END_WRITING);
  c.cleanUp = GetEntryPointAs<WRCleanUpFn>(c.library, IDS_WR_CLEAN_UP);
  const bool complete = c.setupWriting && c.writeHeader && c.writeBand && c.endWriting && c.cleanUp;
  return complete ? CONV_OK : CONV_ERR_WRONG_DLL_VERSION;
}

// The descriptor a writer starts from: the output layout in one plane of
// packed rows, written top down one row at a time unless WRSetupWriting
// asks otherwise. A size outside what a descriptor can carry gives rows of
// no bytes, which the band sizing refuses.
void FillWriteDescriptor(WriteContext& c) {
  ConvImageDesc& d = c.desc;
  d.width = c.width;
  d.height = c.height;
  d.fileName = c.fileName;
  d.iniPath = IniPath();
  d.hFile = c.temporary.handle();
  d.hwndOwner = c.owner;
  d.imageIndex = 0;
  d.imageCount = 1;
  d.colorType = static_cast<uint16_t>(c.outputColorType);
  d.bitsPerPixel = static_cast<uint16_t>(c.outputBits);
  d.planes = 1;
  d.bytesPerLine = static_cast<uint32_t>(PackedRowBytes(d.width, static_cast<uint32_t>(c.outputBits)));
  d.packedPixels = 1;
  d.invertedGray = 0;
  d.bgrOrder = 0;
  d.outputBits = static_cast<uint16_t>(c.outputBits);
  d.palette = c.palette;
  d.accessMode = CONV_ACCESS_TOP_DOWN;
  d.rowOrder = CONV_ACCESS_TOP_DOWN;
  d.fixedBand = 0;
  d.maxBandRows = 1;
  d.chosenAccess = CONV_ACCESS_TOP_DOWN;
  d.bandRows = 1;
  d.bandRow = 0;
  d.bandCount = 1;
  d.reserved = 0;
}

// The host's size and resolution, asked before the writer is loaded.
void AskImageGeometry(WriteContext& c) {
  int width = 0;
  int height = 0;
  c.image->GetImageSize(0, 0, &width, &height);
  c.width = width > 0 ? static_cast<uint32_t>(width) : 0;
  c.height = height > 0 ? static_cast<uint32_t>(height) : 0;
  c.image->GetResolution(0, 0, &c.dpiX, &c.dpiY);
  if (c.dpiX == 0 || c.dpiY == 0) c.dpiX = c.dpiY = kDefaultDpi;
}

// The row step for the layout the writer asked for, its lookups, and the
// band: every row the step writes must fit the row the writer described.
int PrepareRowStep(WriteContext& c) {
  ConvImageDesc& d = c.desc;
  // The output bits are ours, whatever the writer did to bitsPerPixel.
  const bool planar = d.planes >= 2;
  const bool unpacked = (c.outputBits == 1 || c.outputBits == 4) && d.packedPixels == 0;
  const int effectiveBits = unpacked ? 8 : c.outputBits;
  c.rowStep = ChooseWriteStep(c.sourceBits, effectiveBits, planar, d.bgrOrder, d.width);
  if (c.mapGreyIndices) PrepareGreyIndexMap(c);  // while greyLookup still holds the host's greys
  PrepareWriteLookup(c.colorType, c.sourceBits, c.outputBits, effectiveBits, planar, d.bgrOrder, c.greyLookup,
                     c.greyLookup, c.palette);

  if (int error = SizeWriteBand(d)) return error;
  const uint64_t rowBytes = uint64_t{d.planes} * d.bytesPerLine;
  const uint64_t written =
      planar ? uint64_t{c.rowStep.planesWritten - 1} * d.bytesPerLine + c.rowStep.bytesPerPlane
             : c.rowStep.bytesPerPlane;
  if ((planar && c.rowStep.bytesPerPlane > d.bytesPerLine) || written > rowBytes)
    return CONV_ERR_INVALID_FILE;
  c.rows.width = d.width;
  c.rows.stride = planar ? d.bytesPerLine : static_cast<uint32_t>(c.rowStep.bytesPerPlane);
  c.rows.greyLookup = c.greyLookup;
  c.rows.palette = c.palette;
  return CONV_OK;
}

// The band and the host row buffer. The host fills a whole host row,
// however short the writer made its rows, and may fill a band's row
// directly, so the band carries a host row's slack behind its last row.
int AllocateWriteBuffers(WriteContext& c) {
  const ConvImageDesc& d = c.desc;
  const uint64_t rowBytes = uint64_t{d.planes} * d.bytesPerLine;
  const uint64_t hostRowBytes = PackedRowBytes(d.width, static_cast<uint32_t>(c.sourceBits));
  if (!c.band.Allocate(static_cast<SIZE_T>(d.bandRows * rowBytes + kHostRowSlack)) ||
      !c.row.Allocate(static_cast<SIZE_T>(std::max(rowBytes, hostRowBytes)))) {
    return CONV_ERR_NO_MEMORY;
  }
  c.rows.source = c.row.as<uint8_t>();
  return CONV_OK;
}

// Everything before the transfer of rows, in the order a writer sees it.
int PrepareWrite(WriteContext& c) {
  if (int error = ChooseWriterAndLayout(c)) return error;
  PreparePalette(c);
  AskImageGeometry(c);
  ChooseResolution(ConverterAt(c.writer).writeResUnits, c.dpiX, c.dpiY, c.desc);
  if (int error = LoadWriter(c)) return error;
  if (!c.temporary.Create(c.fileName)) return CONV_ERR_CANNOT_OPEN;
  FillWriteDescriptor(c);

  c.cleanUpDue = true;
  ConvImageDesc& d = c.desc;
  if (int error = CallWriter(c, [&] { return c.setupWriting(&d, c.hostParam, c.hostValue); })) return error;
  // The image's size is the host's; a writer may change the row layout but
  // not make the manager ask the host for rows it does not have.
  d.width = c.width;
  d.height = c.height;
  if (int error = PrepareRowStep(c)) return error;

  if (c.progress != nullptr) c.progress->Begin();
  c.progressBegun = true;
  if (int error = CallWriter(c, [&] { return c.writeHeader(&d); })) return error;
  return AllocateWriteBuffers(c);
}

// The temporary file holds the whole image only once the system has it on
// stable storage; a failure to get it there is a failed write.
int FinishTemporary(WriteContext& c) {
  if (c.temporary.FlushAndClose()) return CONV_OK;
  c.fileError = platform::LastFileError();
  return CONV_ERR_DISK_FULL;
}

void EndProgress(WriteContext& c) {
  if (c.progressBegun && c.progress != nullptr) c.progress->End();
  c.progressBegun = false;
}

// Gives back what the write took, whatever ended it. A failure ends the
// progress first and is reported while the writer is still loaded, so that
// it can word its own codes. Then: the writer's clean-up, the band and row
// buffers, the temporary file (deleted after a failure; after success it is
// flushed and closed, and waits for the commit), the library. A write that
// succeeded ends its progress only once all of that is given back.
void Release(WriteContext& c, int error) {
  const bool failed = error != CONV_OK;
  if (failed) {
    EndProgress(c);
    if (error != kImageNotWritable) ReportWriteError(c.owner, error, c.fileError, c.fileName, c.library);
  }
  if (c.cleanUpDue) c.cleanUp(&c.desc);
  c.cleanUpDue = false;
  c.band.Free();
  c.row.Free();
  if (failed) c.temporary.Discard();
  if (c.library != nullptr) FreeLibrary(c.library);
  c.library = nullptr;
  EndProgress(c);
}

// Only now is the target touched, and in one step: a failure leaves the old
// target as it was and the temporary file is deleted.
int CommitTarget(WriteContext& c) {
  if (c.temporary.Commit(c.fileName)) return 1;
  ReportWriteError(c.owner, CONV_ERR_DISK_FULL, platform::LastFileError(), c.fileName, nullptr);
  c.temporary.Discard();
  return 0;
}

int WriteFile(WriteContext& c) {
  int error = PrepareWrite(c);
  if (error == CONV_OK) error = TransferRows(c);
  if (error == CONV_OK) error = CallWriter(c, [&] { return c.endWriting(&c.desc); });
  if (error == CONV_OK) error = FinishTemporary(c);
  Release(c, error);
  return error == CONV_OK ? CommitTarget(c) : 0;
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
