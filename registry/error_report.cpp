#include "registry/error_report.h"

#include <imexp/converter.h>

#include "platform/files.h"
#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "resource_ids.h"

namespace imexp {

namespace {

constexpr int kTitleSize = 40;
constexpr int kMessageSize = 256;

// String ID of the message of codes 0 to 20.
constexpr UINT kMessageIds[] = {
    0,  // success: no message
    IDS_ERR_END_OF_FILE,
    IDS_ERR_NO_MEMORY,
    IDS_ERR_UNKNOWN_FORMAT,
    IDS_ERR_INVALID_FILE,
    IDS_ERR_UNSUPPORTED_SUBFORMAT,
    IDS_ERR_CANNOT_OPEN,
    IDS_ERR_NO_IMAGES,
    IDS_ERR_WRONG_IMAGE_NUMBER,
    IDS_ERR_FILE_TOO_BIG,
    IDS_ERR_CONVERTER_IN_USE,
    IDS_ERR_ILLEGAL_CONVERSION,
    IDS_ERR_CANCELLED,
    IDS_ERR_DISK_FULL,
    IDS_ERR_DECOMPRESSOR,
    IDS_ERR_GENERAL,
    IDS_ERR_CUSTOM,
    IDS_ERR_NOT_CONFIGURED,
    IDS_ERR_WRONG_DLL_VERSION,
    IDS_ERR_WA_FAILURE,
    IDS_ERR_NO_SAVE_FORMAT,
};
constexpr int kLastTableCode = CONV_ERR_NO_SAVE_FORMAT;

// Shows the message for `code`, worded by string `messageId` unless the
// converter words its own codes; `messageId` 0 takes the table's string.
int ShowError(HWND owner, int code, UINT messageId, const char* path, HMODULE library) {
  if (code == CONV_OK) return 0;
  char title[kTitleSize] = "";
  if (path == nullptr || GetFileTitleA(path, title, kTitleSize) != 0) title[0] = '\0';

  // The table's formats hold one "%s"; the buffer is large enough for any of
  // them with the longest title, and the result is cut to kMessageSize.
  char message[1024] = "";
  auto wording = code >= CONV_ERR_CUSTOM && platform::IsLoadedModule(library)
                     ? GetEntryPointAs<ConvGetErrorStringFn>(library, IDS_CONV_GET_ERROR_STRING)
                     : nullptr;
  if (wording != nullptr) {
    wording(code, title, IniPath(), message);
    message[kMessageSize - 1] = '\0';  // the converter's buffer is 256 bytes
  } else {
    if (code < 0 || code > kLastTableCode) code = CONV_ERR_GENERAL;
    if (messageId == 0) messageId = kMessageIds[code];
    char format[kMessageSize];
    // A format missing from the string table shows an empty message.
    static_cast<void>(LoadManagerString(messageId, format, sizeof format));
    wsprintfA(message, format, title);
    message[kMessageSize - 1] = '\0';
  }
  if (code == CONV_ERR_CANCELLED) return 0;

  char caption[40];
  static_cast<void>(LoadManagerString(IDS_ERROR_CAPTION, caption, sizeof caption));
  return MessageBoxA(owner, message, caption, MB_OK | MB_ICONERROR);
}

}  // namespace

int ReportError(HWND owner, int code, const char* path, HMODULE library) {
  return ShowError(owner, code, 0, path, library);
}

int ReportWriteError(HWND owner, int code, DWORD fileError, const char* path, HMODULE library) {
  UINT messageId = 0;
  if (code == CONV_ERR_DISK_FULL && fileError == ERROR_FILE_TOO_LARGE) messageId = IDS_ERR_FILE_SIZE_LIMIT;
  if (code == CONV_ERR_DISK_FULL && fileError == ERROR_DISK_QUOTA_EXCEEDED) messageId = IDS_ERR_DISK_QUOTA;
  return ShowError(owner, code, messageId, path, library);
}

int ReportPathTooLong(HWND owner, const char* path) {
  return ShowError(owner, CONV_ERR_CANNOT_OPEN, IDS_ERR_PATH_TOO_LONG, path, nullptr);
}

}  // namespace imexp
