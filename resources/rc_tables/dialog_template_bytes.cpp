#include "dialog_template_bytes.h"

#include <map>
#include <stdexcept>

namespace rc {

namespace {

// The predefined window classes a template names by atom.
const std::map<std::string, uint16_t> kClassAtoms = {
    {"BUTTON", 0x80},  {"EDIT", 0x81},      {"STATIC", 0x82},
    {"LISTBOX", 0x83}, {"SCROLLBAR", 0x84}, {"COMBOBOX", 0x85},
};

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    char32_t code;
    int extra;
    if (byte < 0x80) {
      code = byte, extra = 0;
    } else if ((byte & 0xE0) == 0xC0) {
      code = byte & 0x1F, extra = 1;
    } else if ((byte & 0xF0) == 0xE0) {
      code = byte & 0x0F, extra = 2;
    } else {
      code = byte & 0x07, extra = 3;
    }
    if (i + static_cast<std::size_t>(extra) >= utf8.size() && extra > 0) {
      throw std::runtime_error("truncated UTF-8 in \"" + utf8 + "\"");
    }
    for (int k = 1; k <= extra; ++k) code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += static_cast<std::size_t>(extra) + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

// A DLGTEMPLATE as the resource compiler lays it out: little-endian words,
// UTF-16 strings, each item on a DWORD boundary.
class TemplateBytes {
 public:
  void Word(unsigned long value) {
    bytes_.push_back(static_cast<uint8_t>(value & 0xFF));
    bytes_.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
  }
  void Dword(unsigned long value) {
    Word(value & 0xFFFF);
    Word((value >> 16) & 0xFFFF);
  }
  void Text(const std::string& utf8) {
    for (char16_t unit : Utf16(utf8)) Word(unit);
    Word(0);
  }
  void AlignToDword() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

std::vector<uint8_t> DialogTemplateBytes(const Dialog& d) {
  TemplateBytes t;
  t.Dword(d.style);
  t.Dword(0);  // extended style
  t.Word(d.controls.size());
  for (long value : {d.x, d.y, d.cx, d.cy}) t.Word(static_cast<unsigned long>(value) & 0xFFFF);
  t.Word(0);  // no menu
  t.Word(0);  // the dialog class
  t.Text(d.caption);
  if (d.style & 0x40) {  // DS_SETFONT
    t.Word(static_cast<unsigned long>(d.fontSize));
    t.Text(d.fontName);
  }
  for (const Control& c : d.controls) {
    t.AlignToDword();
    t.Dword(c.style);
    t.Dword(c.exStyle);
    for (long value : {c.x, c.y, c.cx, c.cy}) t.Word(static_cast<unsigned long>(value) & 0xFFFF);
    t.Word(static_cast<unsigned long>(c.id) & 0xFFFF);
    // The shorthand statements name their class by atom; a CONTROL
    // statement's class goes in by name, upper-cased, as windres writes it.
    std::string upper;
    for (char ch : c.className) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    auto atom = kClassAtoms.find(upper);
    if (!c.classByName && atom != kClassAtoms.end()) {
      t.Word(0xFFFF);
      t.Word(atom->second);
    } else {
      t.Text(upper);
    }
    t.Text(c.text);
    t.Word(0);  // no creation data
  }
  return t.bytes();
}

}  // namespace rc
