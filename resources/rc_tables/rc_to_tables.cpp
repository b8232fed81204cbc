// Build tool: turns a resource script into the C++ string and dialog tables
// that the POSIX platform layer serves through LoadStringA and FindResourceA.
// Dialogs become the DLGTEMPLATE bytes that the Windows resource compiler
// puts into a module, so that both builds read templates the same way.
//
//   rc_to_tables <input.rc> <output.cpp> [-d <depfile>] [include directories...]
//
// It reads the subset of the resource-script language that imexp.rc uses:
// #include "..." or <...> (the #defines of a header, the whole of another
// resource script), LANGUAGE, STRINGTABLE and DIALOG /
// DIALOGEX templates with STYLE, EXSTYLE, CAPTION and FONT and the LTEXT,
// RTEXT, CTEXT, PUSHBUTTON, DEFPUSHBUTTON, CHECKBOX, AUTOCHECKBOX, EDITTEXT,
// LISTBOX and CONTROL statements. Anything else is an error, so the tables
// never silently miss a resource that the Windows build has.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "dialog_template_bytes.h"

namespace {

using rc::Control;
using rc::Dialog;

struct Token {
  enum Kind { kWord, kNumber, kString, kPunct, kEnd } kind;
  std::string text;
  long value = 0;
  int line = 0;
};

struct StringEntry {
  unsigned language;
  long id;
  std::string text;
};

const std::map<std::string, unsigned long> kBuiltins = {
    {"WS_OVERLAPPED", 0x00000000},
    {"WS_POPUP", 0x80000000},
    {"WS_CHILD", 0x40000000},
    {"WS_MINIMIZE", 0x20000000},
    {"WS_VISIBLE", 0x10000000},
    {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000},
    {"WS_CLIPCHILDREN", 0x02000000},
    {"WS_MAXIMIZE", 0x01000000},
    {"WS_CAPTION", 0x00C00000},
    {"WS_BORDER", 0x00800000},
    {"WS_DLGFRAME", 0x00400000},
    {"WS_VSCROLL", 0x00200000},
    {"WS_HSCROLL", 0x00100000},
    {"WS_SYSMENU", 0x00080000},
    {"WS_THICKFRAME", 0x00040000},
    {"WS_GROUP", 0x00020000},
    {"WS_TABSTOP", 0x00010000},
    {"DS_ABSALIGN", 0x01},
    {"DS_SYSMODAL", 0x02},
    {"DS_3DLOOK", 0x04},
    {"DS_FIXEDSYS", 0x08},
    {"DS_NOFAILCREATE", 0x10},
    {"DS_LOCALEDIT", 0x20},
    {"DS_SETFONT", 0x40},
    {"DS_MODALFRAME", 0x80},
    {"DS_NOIDLEMSG", 0x100},
    {"DS_SETFOREGROUND", 0x200},
    {"DS_CONTROL", 0x400},
    {"DS_CENTER", 0x800},
    {"DS_CENTERMOUSE", 0x1000},
    {"DS_CONTEXTHELP", 0x2000},
    {"SS_LEFT", 0x0},
    {"SS_CENTER", 0x1},
    {"SS_RIGHT", 0x2},
    {"SS_ICON", 0x3},
    {"SS_BLACKRECT", 0x4},
    {"SS_GRAYRECT", 0x5},
    {"SS_WHITERECT", 0x6},
    {"SS_BLACKFRAME", 0x7},
    {"SS_GRAYFRAME", 0x8},
    {"SS_WHITEFRAME", 0x9},
    {"SS_NOPREFIX", 0x80},
    {"BS_PUSHBUTTON", 0x0},
    {"BS_DEFPUSHBUTTON", 0x1},
    {"BS_CHECKBOX", 0x2},
    {"BS_AUTOCHECKBOX", 0x3},
    {"BS_LEFTTEXT", 0x20},
    {"ES_LEFT", 0x0},
    {"ES_CENTER", 0x1},
    {"ES_RIGHT", 0x2},
    {"ES_AUTOHSCROLL", 0x80},
    {"ES_NUMBER", 0x2000},
    {"LBS_NOTIFY", 0x1},
    {"LBS_SORT", 0x2},
    {"LBS_STANDARD", 0xA00003},
    {"CBS_SIMPLE", 0x1},
    {"CBS_DROPDOWN", 0x2},
    {"CBS_DROPDOWNLIST", 0x3},
    {"CBS_SORT", 0x100},
    {"IDOK", 1},
    {"IDCANCEL", 2},
};

constexpr unsigned long kChildVisible = 0x40000000 | 0x10000000;

[[noreturn]] void Fail(int line, const std::string& message) {
  throw std::runtime_error("line " + std::to_string(line) + ": " + message);
}

// Every file read, for the dependency file.
std::vector<std::string> g_filesRead;

std::string ReadFile(const std::string& path) {
  g_filesRead.push_back(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Strips comments, records #defines (also from #include "..." files) and
// blanks out the directive lines, keeping line numbers intact.
std::string Preprocess(const std::string& text, const std::vector<std::string>& includeDirs,
                       std::map<std::string, unsigned long>& defines) {
  std::string out;
  bool inBlockComment = false;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::string clean;
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (inBlockComment) {
        if (line.compare(i, 2, "*/") == 0) {
          inBlockComment = false;
          ++i;
        }
        continue;
      }
      if (line[i] == '"') inString = !inString;
      if (!inString && line.compare(i, 2, "//") == 0) break;
      if (!inString && line.compare(i, 2, "/*") == 0) {
        inBlockComment = true;
        ++i;
        continue;
      }
      clean += line[i];
    }
    std::size_t first = clean.find_first_not_of(" \t\r");
    if (first != std::string::npos && clean[first] == '#') {
      std::istringstream directive(clean.substr(first + 1));
      std::string word;
      directive >> word;
      if (word == "define") {
        std::string name, value;
        directive >> name >> value;
        if (!value.empty()) defines[name] = std::strtoul(value.c_str(), nullptr, 0);
      } else if (word == "include") {
        std::string target;
        directive >> target;
        bool quoted = target.size() > 2 && target.front() == '"' && target.back() == '"';
        bool angled = target.size() > 2 && target.front() == '<' && target.back() == '>';
        if (quoted || angled) {
          std::string file = target.substr(1, target.size() - 2);
          std::string path;
          for (const std::string& dir : includeDirs) {
            if (std::ifstream(dir + "/" + file)) {
              path = dir + "/" + file;
              break;
            }
          }
          // <windows.h> and the like: the builtins stand for them.
          if (path.empty() && angled) {
            out += "\n";
            continue;
          }
          if (path.empty()) throw std::runtime_error("cannot find include " + file);
          std::string included = Preprocess(ReadFile(path), includeDirs, defines);
          // A resource script's resources become part of this one (as
          // shared strings do); a header gives only its #defines.
          if (EndsWith(file, ".rc")) {
            out += included;
            continue;
          }
        }
      }
      // #pragma, #ifndef/#endif guards of included headers: nothing to do.
      out += "\n";
      continue;
    }
    out += clean + "\n";
  }
  return out;
}

std::vector<Token> Tokenize(const std::string& text) {
  std::vector<Token> tokens;
  int line = 1;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '"') {
      std::string value;
      ++i;
      for (;;) {
        if (i >= text.size()) Fail(line, "unterminated string");
        char d = text[i++];
        if (d == '"') {
          if (i < text.size() && text[i] == '"') {
            value += '"';
            ++i;
            continue;
          }
          break;
        }
        if (d == '\\' && i < text.size()) {
          char e = text[i++];
          value += e == 'n' ? '\n' : e == 't' ? '\t' : e;
          continue;
        }
        value += d;
      }
      tokens.push_back({Token::kString, value, 0, line});
    } else if ((c >= '0' && c <= '9') ||
               (c == '-' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9')) {
      std::size_t start = i;
      ++i;
      while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])))) ++i;
      std::string number = text.substr(start, i - start);
      tokens.push_back({Token::kNumber, number, std::strtol(number.c_str(), nullptr, 0), line});
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t start = i;
      while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) ++i;
      tokens.push_back({Token::kWord, text.substr(start, i - start), 0, line});
    } else {
      tokens.push_back({Token::kPunct, std::string(1, c), 0, line});
      ++i;
    }
  }
  tokens.push_back({Token::kEnd, "", 0, line});
  return tokens;
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, const std::map<std::string, unsigned long>& defines)
      : tokens_(std::move(tokens)), defines_(defines) {}

  void Run() {
    while (Peek().kind != Token::kEnd) {
      const Token& t = Peek();
      if (t.kind == Token::kWord && t.text == "LANGUAGE") {
        Next();
        long primary = Number();
        Expect(",");
        long sub = Number();
        language_ = static_cast<unsigned>((sub << 10) | primary);
      } else if (t.kind == Token::kWord && t.text == "STRINGTABLE") {
        Next();
        StringTable();
      } else {
        long id = Number();
        const Token& kind = Next();
        if (kind.text == "DIALOG" || kind.text == "DIALOGEX") {
          DialogTemplate(id);
        } else {
          Fail(kind.line, "unsupported resource type " + kind.text);
        }
      }
    }
  }

  std::vector<StringEntry> strings;
  std::vector<Dialog> dialogs;

 private:
  const Token& Peek() const { return tokens_[pos_]; }
  const Token& Next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
  bool Accept(const std::string& punct) {
    if (Peek().kind == Token::kPunct && Peek().text == punct) {
      Next();
      return true;
    }
    return false;
  }
  void Expect(const std::string& punct) {
    if (!Accept(punct)) Fail(Peek().line, "expected '" + punct + "' before '" + Peek().text + "'");
  }
  bool IsWord(const char* word) const { return Peek().kind == Token::kWord && Peek().text == word; }
  void Begin() {
    if (IsWord("BEGIN"))
      Next();
    else
      Expect("{");
  }
  bool AtEnd() {
    if (IsWord("END")) {
      Next();
      return true;
    }
    return Accept("}");
  }

  unsigned long Term() {
    const Token& t = Next();
    if (t.kind == Token::kNumber) return static_cast<unsigned long>(t.value);
    if (t.kind == Token::kWord) {
      auto d = defines_.find(t.text);
      if (d != defines_.end()) return d->second;
      auto b = kBuiltins.find(t.text);
      if (b != kBuiltins.end()) return b->second;
    }
    Fail(t.line, "unknown value '" + t.text + "'");
  }
  // Numbers and names joined with '|'; "NOT x" removes bits.
  unsigned long Expression() {
    unsigned long value = 0, removed = 0;
    do {
      if (IsWord("NOT")) {
        Next();
        removed |= Term();
      } else {
        value |= Term();
      }
    } while (Accept("|"));
    return value & ~removed;
  }
  // A control's style over its defaults, term by term as windres applies
  // it: "NOT x" takes bits from what stands so far, defaults included (NOT
  // WS_TABSTOP drops a check box's tab stop), and a later term may put
  // them back.
  unsigned long StyleOver(unsigned long style) {
    do {
      if (IsWord("NOT")) {
        Next();
        style &= ~Term();
      } else {
        style |= Term();
      }
    } while (Accept("|"));
    return style;
  }
  long Number() { return static_cast<long>(static_cast<int>(Expression())); }
  std::string String() {
    const Token& t = Next();
    if (t.kind != Token::kString) Fail(t.line, "expected a string");
    return t.text;
  }

  void StringTable() {
    while (!IsWord("BEGIN") && !(Peek().kind == Token::kPunct && Peek().text == "{")) Next();
    Begin();
    while (!AtEnd()) {
      long id = Number();
      Accept(",");
      strings.push_back({language_, id, String()});
    }
  }

  void DialogTemplate(long id) {
    Dialog dialog;
    dialog.language = language_;
    dialog.id = id;
    dialog.x = Number();
    Expect(",");
    dialog.y = Number();
    Expect(",");
    dialog.cx = Number();
    Expect(",");
    dialog.cy = Number();
    for (;;) {
      if (IsWord("STYLE")) {
        Next();
        dialog.style = Expression();
      } else if (IsWord("EXSTYLE")) {
        Next();
        Expression();
      } else if (IsWord("CAPTION")) {
        Next();
        dialog.caption = String();
      } else if (IsWord("FONT")) {
        Next();
        dialog.fontSize = Number();
        Expect(",");
        dialog.fontName = String();
        while (Accept(",")) Number();
      } else {
        break;
      }
    }
    if (!dialog.fontName.empty()) dialog.style |= 0x40;  // DS_SETFONT
    Begin();
    while (!AtEnd()) dialog.controls.push_back(ControlStatement());
    dialogs.push_back(dialog);
  }

  void Rectangle(Control& c) {
    c.x = Number();
    Expect(",");
    c.y = Number();
    Expect(",");
    c.cx = Number();
    Expect(",");
    c.cy = Number();
  }

  Control ControlStatement() {
    const Token& keyword = Next();
    Control c;
    const std::string& k = keyword.text;
    if (k == "CONTROL") {
      c.text = String();
      Expect(",");
      c.id = Number();
      Expect(",");
      c.className = String();
      c.classByName = true;
      Expect(",");
      c.style = Expression() | kChildVisible;
      Expect(",");
      Rectangle(c);
      return c;
    }
    unsigned long defaults;
    if (k == "LTEXT" || k == "RTEXT" || k == "CTEXT") {
      c.className = "Static";
      defaults = (k == "LTEXT" ? 0x0 : k == "RTEXT" ? 0x2 : 0x1) | 0x00020000;  // | WS_GROUP
    } else if (k == "PUSHBUTTON" || k == "DEFPUSHBUTTON") {
      c.className = "Button";
      defaults = (k == "DEFPUSHBUTTON" ? 0x1 : 0x0) | 0x00010000;  // | WS_TABSTOP
    } else if (k == "CHECKBOX" || k == "AUTOCHECKBOX") {
      c.className = "Button";
      defaults = (k == "AUTOCHECKBOX" ? 0x3 : 0x2) | 0x00010000;  // BS_[AUTO]CHECKBOX | WS_TABSTOP
    } else if (k == "EDITTEXT") {
      c.className = "Edit";
      defaults = 0x00800000 | 0x00010000;  // WS_BORDER | WS_TABSTOP
    } else if (k == "LISTBOX") {
      c.className = "ListBox";
      defaults = 0x1 | 0x00800000;  // LBS_NOTIFY | WS_BORDER
    } else {
      Fail(keyword.line, "unsupported control statement " + k);
    }
    if (c.className == "Static" || c.className == "Button") {
      c.text = String();
      Expect(",");
    }
    c.id = Number();
    Expect(",");
    Rectangle(c);
    c.style = defaults | kChildVisible;
    if (Accept(",")) c.style = StyleOver(c.style);
    if (Accept(",")) c.exStyle = Expression();
    return c;
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  const std::map<std::string, unsigned long>& defines_;
  unsigned language_ = 0x0409;
};

std::string Literal(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", c);
      out += octal;
    }
  }
  return out + "\"";
}

std::string Generate(const Parser& parser, const std::string& source) {
  std::ostringstream out;
  out << "// Generated from " << source.substr(source.find_last_of('/') + 1)
      << " by rc_to_tables. Do not edit.\n"
      << "#include <imexp/posix_resources.h>\n\n"
      << "namespace {\n\nusing namespace imexp::posix;\n\n"
      << "const StringResource kStrings[] = {\n";
  for (const StringEntry& s : parser.strings) {
    out << "    {0x" << std::hex << s.language << std::dec << ", " << s.id << ", " << Literal(s.text)
        << "},\n";
  }
  out << "};\n\n";
  for (std::size_t i = 0; i < parser.dialogs.size(); ++i) {
    // DWORD-aligned, as a template in a module's resource section is.
    std::vector<uint8_t> bytes = rc::DialogTemplateBytes(parser.dialogs[i]);
    out << "alignas(4) const unsigned char kTemplate" << i << "[] = {";
    for (std::size_t b = 0; b < bytes.size(); ++b) {
      out << (b % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>(bytes[b]) << ",";
    }
    out << "\n};\n";
  }
  out << "\nconst DialogResource kDialogs[] = {\n";
  for (std::size_t i = 0; i < parser.dialogs.size(); ++i) {
    const Dialog& d = parser.dialogs[i];
    out << "    {0x" << std::hex << d.language << std::dec << ", " << d.id << ", kTemplate" << i
        << ", sizeof kTemplate" << i << "},\n";
  }
  out << "};\n\n"
      << "const ResourceTables kTables = {kStrings, " << parser.strings.size() << ", kDialogs, "
      << parser.dialogs.size() << "};\n\n}  // namespace\n\n"
      << "const ResourceTables& ImExpModuleResources() { return kTables; }\n";
  return out.str();
}

// A make-style dependency file: the output depends on every file read.
void WriteDepFile(const std::string& path, const std::string& output) {
  auto escaped = [](const std::string& name) {
    std::string out;
    for (char c : name) {
      if (c == ' ' || c == '#' || c == '$') out += c == '$' ? '$' : '\\';
      out += c;
    }
    return out;
  };
  std::ofstream out(path, std::ios::binary);
  out << escaped(output) << ":";
  for (const std::string& file : g_filesRead) out << " \\\n  " << escaped(file);
  out << "\n";
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s input.rc output.cpp [-d depfile] [include-dir...]\n", argv[0]);
    return 2;
  }
  try {
    std::vector<std::string> includeDirs{DirectoryOf(argv[1])};
    std::string depFile;
    for (int i = 3; i < argc; ++i) {
      if (std::string(argv[i]) == "-d" && i + 1 < argc) {
        depFile = argv[++i];
      } else {
        includeDirs.push_back(argv[i]);
      }
    }
    std::map<std::string, unsigned long> defines;
    std::string text = Preprocess(ReadFile(argv[1]), includeDirs, defines);
    Parser parser(Tokenize(text), defines);
    parser.Run();
    std::string generated = Generate(parser, argv[1]);
    // Rewrite only on change so that dependent objects are not rebuilt.
    std::ifstream old(argv[2], std::ios::binary);
    std::ostringstream oldText;
    if (old) oldText << old.rdbuf();
    if (!old || oldText.str() != generated) {
      std::ofstream out(argv[2], std::ios::binary);
      out << generated;
      if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
    }
    if (!depFile.empty()) WriteDepFile(depFile, argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
