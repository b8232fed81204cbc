#include "gtk/message_box.h"

#include <imexp/presenter.h>

#include <vector>

#include "gtk/texts.h"
#include "gtk/window_observer.h"

namespace imexp::gtk {

namespace {

// The Win32 MB_* flags a message box is asked with.
constexpr unsigned kButtonsMask = 0x0F;
constexpr unsigned kOkCancel = 0x01;
constexpr unsigned kYesNoCancel = 0x03;
constexpr unsigned kYesNo = 0x04;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kIconError = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconWarning = 0x30;
constexpr unsigned kIconInformation = 0x40;
constexpr unsigned kDefaultButtonMask = 0xF00;
constexpr unsigned kDefaultButtonStep = 0x100;

std::vector<int> Buttons(unsigned type) {
  switch (type & kButtonsMask) {
    case kOkCancel:
      return {kAnswerOk, kAnswerCancel};
    case kYesNoCancel:
      return {kAnswerYes, kAnswerNo, kAnswerCancel};
    case kYesNo:
      return {kAnswerYes, kAnswerNo};
    default:
      return {kAnswerOk};
  }
}

// The icon a Win32 box shows, as a themed icon.
const char* IconName(unsigned type) {
  switch (type & kIconMask) {
    case kIconError:
      return "dialog-error";
    case kIconQuestion:
      return "dialog-question";
    case kIconWarning:
      return "dialog-warning";
    case kIconInformation:
      return "dialog-information";
    default:
      return nullptr;
  }
}

GtkMessageType MessageType(unsigned type) {
  switch (type & kIconMask) {
    case kIconError:
      return GTK_MESSAGE_ERROR;
    case kIconQuestion:
      return GTK_MESSAGE_QUESTION;
    case kIconWarning:
      return GTK_MESSAGE_WARNING;
    case kIconInformation:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

}  // namespace

int RunMessageBox(GtkWindow* parent, const char* text, const char* caption, unsigned type) {
  GtkWidget* box =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, MessageType(type), GTK_BUTTONS_NONE, "%s", text);
  gtk_window_set_title(GTK_WINDOW(box), caption);
  if (const char* icon = IconName(type)) {
    // GTK 3 dropped the icon from its message dialogs; Win32's boxes have one.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
    gtk_widget_show(image);
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), image);
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
  if (parent == nullptr) gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  std::vector<int> buttons = Buttons(type);
  for (int answer : buttons) {
    GtkWidget* button = gtk_dialog_add_button(GTK_DIALOG(box), ButtonText(answer).c_str(), answer);
    gtk_button_set_use_underline(GTK_BUTTON(button), TRUE);
  }
  std::size_t first = (type & kDefaultButtonMask) / kDefaultButtonStep;
  gtk_dialog_set_default_response(GTK_DIALOG(box), buttons[first < buttons.size() ? first : 0]);
  // Closing the box answers Cancel where there is one, and OK where OK is
  // the only button; a Yes/No question must be answered.
  bool cancels = buttons.back() == kAnswerCancel || buttons.size() == 1;
  gtk_window_set_deletable(GTK_WINDOW(box), cancels);
  gtk_widget_show(box);
  AnnounceShown(GTK_WINDOW(box));
  int answer = gtk_dialog_run(GTK_DIALOG(box));
  while (answer == GTK_RESPONSE_DELETE_EVENT && !cancels) answer = gtk_dialog_run(GTK_DIALOG(box));
  if (answer <= 0) answer = buttons.back();  // closed, or taken away
  gtk_widget_destroy(box);
  return answer;
}

}  // namespace imexp::gtk
