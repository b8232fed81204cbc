#include "dialogs/select_image.h"

#include "registry/converter_list.h"
#include "resource_ids.h"

namespace imexp {

namespace {

// What the dialog shows, owned by the call that shows it.
struct SelectImageContext {
  const char* title;
  int count;
};

// The image number field takes at most this many characters.
constexpr int kNumberDigits = 5;
// The message is loaded with a limit of 40 characters.
constexpr int kMessageSize = platform::TextBytes(40);

// Accepts the number typed when it names an image (1 to count), else says
// so and keeps the dialog open with the focus back on the field.
void Accept(HWND dialog, const SelectImageContext& c) {
  BOOL valid = FALSE;
  UINT number = GetDlgItemInt(dialog, IDC_SELECT_NUMBER, &valid, FALSE);
  if (valid && number >= 1 && number <= static_cast<UINT>(c.count)) {
    EndDialog(dialog, static_cast<INT_PTR>(number) - 1);
    return;
  }
  char message[kMessageSize];
  static_cast<void>(LoadManagerString(IDS_ILLEGAL_NUMBER, message, sizeof message));
  MessageBoxA(dialog, message, nullptr, MB_OK | MB_ICONWARNING);
  SetFocus(GetDlgItem(dialog, IDC_SELECT_NUMBER));
}

INT_PTR CALLBACK SelectImageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      const auto& c = *reinterpret_cast<const SelectImageContext*>(lParam);
      SetDlgItemTextA(dialog, IDC_SELECT_TITLE, c.title);
      SetDlgItemInt(dialog, IDC_SELECT_COUNT, static_cast<UINT>(c.count), FALSE);
      SendDlgItemMessageA(dialog, IDC_SELECT_NUMBER, EM_LIMITTEXT, kNumberDigits, 0);
      SetDlgItemInt(dialog, IDC_SELECT_NUMBER, 1, FALSE);
      SendDlgItemMessageA(dialog, IDC_SELECT_NUMBER, EM_SETSEL, 0, -1);
      SetFocus(GetDlgItem(dialog, IDC_SELECT_NUMBER));
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        Accept(dialog, *reinterpret_cast<const SelectImageContext*>(GetWindowLongPtrA(dialog, DWLP_USER)));
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, -1);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int SelectImage(HWND owner, const char* title, int count) {
  SelectImageContext context{title != nullptr ? title : "", count};
  return static_cast<int>(DialogBoxParamA(ManagerModule(), MAKEINTRESOURCEA(IDD_SELECT_IMAGE), owner,
                                          &SelectImageProc, reinterpret_cast<LPARAM>(&context)));
}

}  // namespace imexp
