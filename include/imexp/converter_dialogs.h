/*
 * ImExp converter dialogs: a setup dialog over a converter's settings and
 * an about box, written once against the Win32 functions of
 * <imexp/converter_ui.h>.
 *
 * The setup dialog is the converter's own template (from its resource
 * script) with one control per setting: an edit for a number or a colour,
 * a drop-down list for a choice, a check box for a yes/no flag. It shows
 * the values the settings hold now; OK checks every typed value, refuses a
 * bad one with the converter's message (the dialog stays open, the control
 * selected) and otherwise writes all of them to the converter's section of
 * CONVERT.INI; Cancel writes nothing. The settings are those of
 * <imexp/converter_settings.h>, the same definitions the converter reads.
 *
 * The texts both dialogs share come from <imexp/converter_dialogs.rc>,
 * which the converter's resource script includes.
 *
 * Header-only, like converter_support.h.
 */
#pragma once

#include <imexp/converter_dialog_ids.h>
#include <imexp/converter_settings.h>
#include <imexp/converter_ui.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace imexp::conv {

// One setting in a setup dialog: the setting and the control that shows it.
struct SettingField {
  enum Kind { kNumber, kColor, kChoice, kFlag } kind;
  int control;
  const void* setting;  // the NumberSetting, ColorSetting or ChoiceSetting
  const char* section;  // and where the file keeps it
  const char* key;
  // Numbers: the converter's string that refuses a typed value, with two
  // %d for the lowest and highest value. Choices: the converter's strings
  // that name the choices in the list, one ID each from this one (0: the
  // names as written to the file). Colours: 0 for the shared wording.
  unsigned text;
};

inline SettingField NumberField(int control, const NumberSetting& setting, unsigned refusal) {
  return {SettingField::kNumber, control, &setting, setting.section, setting.key, refusal};
}
inline SettingField ColorField(int control, const ColorSetting& setting, unsigned refusal = 0) {
  return {SettingField::kColor, control, &setting, setting.section, setting.key, refusal};
}
inline SettingField ChoiceField(int control, const ChoiceSetting& setting, unsigned firstLabel = 0) {
  return {SettingField::kChoice, control, &setting, setting.section, setting.key, firstLabel};
}
inline SettingField FlagField(int control, const NumberSetting& setting) {
  return {SettingField::kFlag, control, &setting, setting.section, setting.key, 0};
}

namespace dialogs_detail {

constexpr int kTextSize = 512;

inline std::string Text(unsigned id) {
  char text[kTextSize] = "";
  LoadStringA(ImExpConverterModule(), id, text, sizeof text);
  return text;
}

// `format` with its %s and %d filled in order by `args` (a translation
// with a wrong or a missing placeholder loses a word, never the program).
inline std::string Formatted(const std::string& format, std::initializer_list<std::string> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == 'd')) {
      if (next != args.end()) out += *next++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

struct SetupContext {
  const char* iniPath;
  const std::vector<SettingField>* fields;
};

inline void ShowValue(HWND dialog, const char* iniPath, const SettingField& f) {
  switch (f.kind) {
    case SettingField::kNumber:
      SetDlgItemInt(dialog, f.control,
                    static_cast<UINT>(SettingValue(iniPath, *static_cast<const NumberSetting*>(f.setting))),
                    TRUE);
      break;
    case SettingField::kColor:
      SetDlgItemTextA(dialog, f.control,
                      ColorText(SettingValue(iniPath, *static_cast<const ColorSetting*>(f.setting))).c_str());
      break;
    case SettingField::kChoice: {
      const auto& choice = *static_cast<const ChoiceSetting*>(f.setting);
      SendDlgItemMessageA(dialog, f.control, CB_RESETCONTENT, 0, 0);
      for (int i = 0; i < choice.count; ++i) {
        std::string label = f.text != 0 ? Text(f.text + static_cast<unsigned>(i)) : choice.choices[i].name;
        SendDlgItemMessageA(dialog, f.control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
      }
      SendDlgItemMessageA(dialog, f.control, CB_SETCURSEL, static_cast<WPARAM>(SettingValue(iniPath, choice)),
                          0);
      break;
    }
    case SettingField::kFlag:
      CheckDlgButton(dialog, f.control,
                     SettingValue(iniPath, *static_cast<const NumberSetting*>(f.setting)) != 0
                         ? BST_CHECKED
                         : BST_UNCHECKED);
      break;
  }
}

// What the control holds, as the file keeps it; false with the refusal's
// text when the user typed a value the setting does not take.
inline bool TakeValue(HWND dialog, const SettingField& f, std::string* value, std::string* refusal) {
  char text[kTextSize] = "";
  switch (f.kind) {
    case SettingField::kNumber: {
      const auto& number = *static_cast<const NumberSetting*>(f.setting);
      GetDlgItemTextA(dialog, f.control, text, sizeof text);
      long parsed = 0;
      if (!ParseWholeNumber(text, &parsed) || parsed < number.low || parsed > number.high) {
        *refusal = Formatted(Text(f.text), {std::to_string(number.low), std::to_string(number.high)});
        return false;
      }
      *value = std::to_string(parsed);
      return true;
    }
    case SettingField::kColor: {
      GetDlgItemTextA(dialog, f.control, text, sizeof text);
      SettingColor color;
      if (!ParseColor(text, &color)) {
        *refusal = Text(f.text != 0 ? f.text : IMEXP_IDS_COLOR_REFUSED);
        return false;
      }
      *value = ColorText(color);
      return true;
    }
    case SettingField::kChoice: {
      const auto& choice = *static_cast<const ChoiceSetting*>(f.setting);
      auto index = static_cast<int>(SendDlgItemMessageA(dialog, f.control, CB_GETCURSEL, 0, 0));
      *value = choice.choices[index >= 0 && index < choice.count ? index : choice.fallback].name;
      return true;
    }
    case SettingField::kFlag:
      *value = IsDlgButtonChecked(dialog, f.control) == BST_CHECKED ? "1" : "0";
      return true;
  }
  return false;
}

// OK: every value checked first, then all written, so that a refusal
// leaves the file as it was.
inline void Accept(HWND dialog, const SetupContext& c) {
  std::vector<std::string> values;
  for (const SettingField& f : *c.fields) {
    std::string value, refusal;
    if (!TakeValue(dialog, f, &value, &refusal)) {
      char caption[kTextSize] = "";
      GetWindowTextA(dialog, caption, sizeof caption);
      MessageBoxA(dialog, refusal.c_str(), caption, MB_OK | MB_ICONEXCLAMATION);
      SetFocus(GetDlgItem(dialog, f.control));
      SendDlgItemMessageA(dialog, f.control, EM_SETSEL, 0, -1);
      return;
    }
    values.push_back(value);
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    const SettingField& f = (*c.fields)[i];
    WritePrivateProfileStringA(f.section, f.key, values[i].c_str(), c.iniPath);
  }
  EndDialog(dialog, IDOK);
}

inline INT_PTR CALLBACK SetupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    const auto& c = *reinterpret_cast<const SetupContext*>(lParam);
    for (const SettingField& f : *c.fields) ShowValue(dialog, c.iniPath, f);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  const auto* c = reinterpret_cast<const SetupContext*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (c == nullptr) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      Accept(dialog, *c);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace dialogs_detail

// Runs the converter's setup dialog `templateId` over `fields`; IDOK when
// the settings were written, IDCANCEL when not, -1 when the dialog could
// not be shown.
inline INT_PTR RunSetupDialog(HWND owner, const char* iniPath, int templateId,
                              std::vector<SettingField> fields) {
  dialogs_detail::SetupContext context{iniPath, &fields};
  return DialogBoxParamA(ImExpConverterModule(), MAKEINTRESOURCEA(templateId), owner,
                         dialogs_detail::SetupProc, reinterpret_cast<LPARAM>(&context));
}

// What an about box says of a converter.
struct AboutFacts {
  const char* name;            // the converter's name, as its record gives it
  unsigned formatsText;        // its string: what it reads and writes
  const char* version;         // its own version
  const char* library;         // the field library it is built on, or null
  std::string libraryVersion;  // that library's version, as loaded
};

inline void ShowAbout(HWND owner, const AboutFacts& facts) {
  using dialogs_detail::Formatted;
  using dialogs_detail::Text;
  std::string text =
      Formatted(Text(IMEXP_IDS_ABOUT_TEXT), {facts.name, facts.version, Text(facts.formatsText)});
  if (facts.library != nullptr) {
    text += "\n\n" + Formatted(Text(IMEXP_IDS_ABOUT_LIBRARY), {facts.library, facts.libraryVersion});
  }
  std::string caption = Formatted(Text(IMEXP_IDS_ABOUT_CAPTION), {facts.name});
  MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace imexp::conv
