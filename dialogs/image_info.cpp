// ImExp_ShowFileInfo and the Image Info dialog: one image of a file as its
// converter describes it, with the converter's own details window.
#include "dialogs/image_info.h"

#include <imexp/host.h>

#include "dialogs/file_info.h"
#include "dialogs/select_image.h"
#include "platform/paths.h"
#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "registry/error_report.h"
#include "resource_ids.h"

namespace imexp {

namespace {

// What the dialog shows and what Details needs, owned by the call.
struct ImageInfoContext {
  ConvImageInfo* info;
  HFILE file;
  HMODULE library;
};

// Colour type names by colorType (note the order of 3, 4 and 5).
constexpr UINT kColorTypeNames[] = {IDS_COLOR_GRAY,  IDS_COLOR_GRAY_PALETTE, IDS_COLOR_PALETTE,
                                    IDS_COLOR_RGB,   IDS_COLOR_GRAY_ALPHA,   IDS_COLOR_RGB_ALPHA,
                                    IDS_COLOR_YCBCR, IDS_COLOR_LAB,          IDS_COLOR_CMYK};
// Resolution formats by resUnit, each taking resX and resY.
constexpr UINT kResolutionFormats[] = {IDS_RES_UNKNOWN, IDS_RES_ASPECT, IDS_RES_DPI, IDS_RES_DPCM,
                                       IDS_RES_SCREEN};
// The number of colours shown stops growing at 24 bits.
constexpr int kMostColorBits = 24;
constexpr int kTextSize = platform::TextBytes(128);

template <std::size_t N>
UINT StringFor(const UINT (&table)[N], unsigned value) {
  return value < N ? table[value] : 0;
}

// String `id` of our table; an empty text for none.
void LoadText(UINT id, char* text, int size) {
  if (id == 0) {
    text[0] = '\0';
  } else {
    static_cast<void>(LoadManagerString(id, text, size));
  }
}

// 2 to the power of `bits` (at most 2^24) in decimal, with a comma between
// groups of three digits: 1,024; 16,777,216.
void FormatColorCount(unsigned bits, char* text) {
  unsigned colors = 1u << (bits < kMostColorBits ? bits : kMostColorBits);
  if (colors >= 1000000u) {
    wsprintfA(text, "%u,%03u,%03u", colors / 1000000u, colors / 1000u % 1000u, colors % 1000u);
  } else if (colors >= 1000u) {
    wsprintfA(text, "%u,%03u", colors / 1000u, colors % 1000u);
  } else {
    wsprintfA(text, "%u", colors);
  }
}

void FillFields(HWND dialog, const ConvImageInfo& info) {
  char text[kTextSize];
  SetDlgItemTextA(dialog, IDC_INFO_TITLE, info.title);
  SetDlgItemTextA(dialog, IDC_INFO_FORMAT, info.formatName);
  if (info.imageCount > 1) {
    wsprintfA(text, "%u / %u", static_cast<unsigned>(info.imageIndex) + 1,
              static_cast<unsigned>(info.imageCount));
    SetDlgItemTextA(dialog, IDC_INFO_POSITION, text);
  } else {
    ShowWindow(GetDlgItem(dialog, IDC_INFO_IMAGE_LABEL), SW_HIDE);
  }
  wsprintfA(text, "%u X %u", static_cast<unsigned>(info.width), static_cast<unsigned>(info.height));
  SetDlgItemTextA(dialog, IDC_INFO_DIMENSIONS, text);
  LoadText(StringFor(kColorTypeNames, info.colorType), text, sizeof text);
  SetDlgItemTextA(dialog, IDC_INFO_TYPE, text);
  FormatColorCount(info.bitsPerPixel, text);
  SetDlgItemTextA(dialog, IDC_INFO_COLORS, text);
  char format[kTextSize];
  LoadText(StringFor(kResolutionFormats, info.resUnit), format, sizeof format);
  wsprintfA(text, format, static_cast<unsigned>(info.resX), static_cast<unsigned>(info.resY));
  SetDlgItemTextA(dialog, IDC_INFO_RESOLUTION, text);
  if (info.compression[0] != '\0') {
    SetDlgItemTextA(dialog, IDC_INFO_COMPRESSION, info.compression);
  } else {
    LoadText(IDS_UNCOMPRESSED, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_INFO_COMPRESSION, text);
  }
  EnableWindow(GetDlgItem(dialog, IDC_INFO_DETAILS), info.hasDetails != 0);
}

// The converter's own window about the file; the Info dialog stays open.
void ShowDetails(HWND dialog, const ImageInfoContext& c) {
  auto details = GetEntryPointAs<RDShowDetailsFn>(c.library, IDS_RD_SHOW_DETAILS);
  if (details == nullptr) return;
  int error = details(dialog, c.file, IniPath(), c.info);
  ReportError(dialog, error, c.info->title, c.library);
}

INT_PTR CALLBACK ImageInfoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      FillFields(dialog, *reinterpret_cast<const ImageInfoContext*>(lParam)->info);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, -1);
          return TRUE;
        case IDC_INFO_DETAILS:
          ShowDetails(dialog,
                      *reinterpret_cast<const ImageInfoContext*>(GetWindowLongPtrA(dialog, DWLP_USER)));
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

// The image to describe: the one asked for where the file has several and
// the converter shows them apart, the user's choice for a negative number;
// -1 when the user cancelled that choice.
int ChooseImage(HWND owner, const DescribedFile& f, const char* title, int image) {
  if (f.count < 2 || f.singleView != 0) return 0;
  if (image < 0) return SelectImage(owner, title, f.count);
  return image < f.count ? image : 0;
}

}  // namespace

int ShowImageInfo(HWND owner, const char* path, int image, bool titleInCapitals) {
  DescribedFile f;
  ConvImageInfo info{};
  DescribeFailure failure = OpenForDescribing(path, f);
  if (!failure.failed()) {
    FillManagerSide(path, f.count, &info);
    if (titleInCapitals) CharUpperA(info.title);
    int chosen = ChooseImage(owner, f, info.title, image);
    if (chosen < 0) return 0;  // the user cancelled: no message
    info.imageIndex = static_cast<uint16_t>(chosen);
    failure = AskForImageInfo(f, path, chosen, &info);
  }
  if (failure.failed()) {
    // Reported while the converter is loaded, so that it words its own codes.
    ReportError(owner, failure.code, failure.path, failure.fromConverter ? f.library : nullptr);
    return 0;
  }
  ImageInfoContext context{&info, f.file, f.library};
  DialogBoxParamA(ManagerModule(), MAKEINTRESOURCEA(IDD_IMAGE_INFO), owner, &ImageInfoProc,
                  reinterpret_cast<LPARAM>(&context));
  return 1;
}

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_ShowFileInfo(HWND owner, char* path, int image) {
  if (path == nullptr) return 0;
  return imexp::ShowImageInfo(owner, path, image, false);
}
