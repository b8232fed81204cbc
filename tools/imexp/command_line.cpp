#include "tools/imexp/command_line.h"

#include <imexp/host.h>

#include <cstdio>
#include <fstream>

#include "resource_ids.h"
#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/info_text.h"
#include "tools/imexp/user_messages.h"

namespace imexp::cli {

namespace {

constexpr const char* kInfoHelp =
    "usage: imexp info [--image N] FILE...\n"
    "       imexp info --dialog FILE [--image N]\n"
    "\n"
    "Describes every image of each file the way the Image Info dialog does,\n"
    "one block per image: file name, format, colour type, dimensions, image\n"
    "position in a multi-image file, number of colours, resolution and\n"
    "compression. Exits with 1 if any file cannot be described.\n"
    "\n"
    "  --image N  only image N of each file (counted from 0: the block\n"
    "             shows it as N+1 of the count)\n"
    "  --dialog   shows the manager's Image Info dialog for FILE instead; in\n"
    "             a file of several images the user first picks the image\n"
    "             unless --image names one\n"
    "\n"
    "With --dialog, exits with 1 if the file cannot be described or the\n"
    "user cancelled the choice of image, and with 2 where no dialog can be\n"
    "shown.\n";

constexpr const char* kConvertHelp =
    "usage: imexp convert IN OUT [--image N | --all-images] [--accept TYPES] [--sequential]\n"
    "       imexp convert --to FORMAT [--out DIR] [-j N] [--image N | --all-images]\n"
    "                     [--accept TYPES] [--sequential] FILE...\n"
    "\n"
    "Reads the first image of IN and writes it to OUT. The converter that\n"
    "writes OUT is chosen by OUT's extension and by the image; OUT is only\n"
    "replaced once the whole image has been written. On two cores or more\n"
    "the image is written on a second thread while it is read, each row as\n"
    "soon as it has arrived.\n"
    "\n"
    "With --to, converts every FILE into FORMAT: a writer's name as\n"
    "'imexp formats' lists it (its first extension is used) or an extension\n"
    "(png, .tif). Each output takes its input's name with that extension,\n"
    "beside the input or in DIR (made if missing). A file whose output would\n"
    "replace an input or another file's output is not converted. A progress\n"
    "line covers the batch; the end names each file that failed, with its\n"
    "messages.\n"
    "\n"
    "  --image N       image N of a multi-image file (a TIFF or DCX page, a\n"
    "                  GIF frame), counted from 0; a number past the last\n"
    "                  image fails\n"
    "  --all-images    every image of the file, image 1 into OUT-1.EXT, image\n"
    "                  2 into OUT-2.EXT and so on (OUT's name with -NUMBER\n"
    "                  before its extension; a file of one image gives\n"
    "                  OUT-1.EXT)\n"
    "  --accept TYPES  the image layouts the image may be held in while it\n"
    "                  is converted, comma-separated from bilevel, pal16,\n"
    "                  pal256, gray256 and rgb24 (default: all five)\n"
    "  -j N            convert in N worker processes at once (1 to 64;\n"
    "                  default 1, in this process), each one file at a time\n"
    "  --sequential    read the whole image first, then write it (the same\n"
    "                  bytes; --overlapped writes while reading on any machine)\n"
    "\n"
    "Exits with 1 if some file or image failed. Ctrl-C cancels (exit status\n"
    "130) and leaves OUT, and every output not yet written, as it was.\n";

constexpr const char* kFormatsHelp =
    "usage: imexp formats\n"
    "\n"
    "Lists the manager's converters in list order (those of the CONVERT.INI\n"
    "beside it that it could load), each with the library it was loaded from,\n"
    "what it can do and the layouts it writes, then the save formats the\n"
    "manager offers.\n";

constexpr const char* kDetectHelp =
    "usage: imexp detect FILE...\n"
    "\n"
    "Names the converter that reads each file, or says \"no reader\".\n"
    "Exits with 1 if some file has no reader.\n";

constexpr const char* kInstallHelp =
    "usage: imexp install LIBRARY [--before N]\n"
    "\n"
    "Installs the converter library LIBRARY, as the Converter Setup dialog\n"
    "does: before converter N (counted from 0, as 'imexp formats' lists\n"
    "them), or after the last without --before or when N is past the end.\n"
    "A library already installed, one that is not a converter of this\n"
    "manager's interface, or one that cannot be loaded is refused with the\n"
    "manager's message. CONVERT.INI beside the manager is rewritten with\n"
    "the full path of every converter. Exits with 1 if nothing was\n"
    "installed.\n";

constexpr const char* kRemoveHelp =
    "usage: imexp remove NAME|INDEX\n"
    "\n"
    "Removes the installed converter named NAME (in any letter case) or, for\n"
    "a number, converter INDEX (counted from 0), and rewrites CONVERT.INI\n"
    "beside the manager. Exits with 1 if there is no such converter.\n";

constexpr const char* kVerifyHelp =
    "usage: imexp verify [--ini FILE] LIBRARY [FILE...]\n"
    "\n"
    "Loads the converter library LIBRARY as the manager would, without\n"
    "installing it, and checks it against the plug-in contract: the version\n"
    "word, the record ConvGetDllInfo fills, the entry points its flags\n"
    "promise, writes of every layout it offers read back, the content check\n"
    "and image information on files another converter has moved the position\n"
    "of, reads in every band mode and height it allows, reads of cut files\n"
    "and a cancelled read followed by clean-up, the library leaving the\n"
    "process after every operation, and the wording of its error codes.\n"
    "Prints one line per check (PASS, FAIL, SKIP or NOTE) and a summary.\n"
    "\n"
    "  FILE...     files of the format to read; without them the converter\n"
    "              reads its own writes\n"
    "  --ini FILE  the iniPath every entry point gets (default: CONVERT.INI\n"
    "              beside the manager)\n"
    "\n"
    "Exits with 1 when the converter breaches the contract, and with 2 when\n"
    "the arguments are wrong or the library cannot be loaded.\n";

// What the dialog commands say about their exit statuses.
#define IMEXP_DIALOG_EXITS                                                   \
  "Exits with 1 if the operation failed or the user cancelled (stderr\n"     \
  "says which), and with 2 where no dialog can be shown: on Linux without\n" \
  "a graphical display (DISPLAY or WAYLAND_DISPLAY) or without the GTK\n"    \
  "presenter libimexp_gtk.so beside the manager.\n"

constexpr const char* kSetupHelp =
    "usage: imexp setup\n"
    "\n"
    "Shows the manager's Converter Setup dialog: install, remove and set up\n"
    "converters. Every change rewrites CONVERT.INI beside the manager at once.\n"
    "\n" IMEXP_DIALOG_EXITS;

constexpr const char* kOpenHelp =
    "usage: imexp open\n"
    "\n"
    "Shows the manager's Open dialog, then, for a file of several images,\n"
    "its Select Image dialog, reads the image chosen into memory as an image\n"
    "editor would, and describes the image read: its size, layout, colours\n"
    "and resolution. The dialog remembers the folder and the format in\n"
    "CONVERT.INI.\n"
    "\n" IMEXP_DIALOG_EXITS;

constexpr const char* kSaveHelp =
    "usage: imexp save IN\n"
    "\n"
    "Reads the first image of IN, then shows the manager's Save dialog for\n"
    "it, proposing IN's name, and writes the image under the name chosen.\n"
    "The formats offered are those that can write the image.\n"
    "\n" IMEXP_DIALOG_EXITS;

#undef IMEXP_DIALOG_EXITS

struct TypeName {
  const char* name;
  int type;
};

constexpr TypeName kTypeNames[] = {{"bilevel", HIT_BILEVEL},
                                   {"pal16", HIT_PAL16},
                                   {"pal256", HIT_PAL256},
                                   {"gray256", HIT_GRAY256},
                                   {"rgb24", HIT_RGB24}};

}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"info", "describe image files", kInfoHelp, &RunInfo},
      {"convert", "convert an image file into another format", kConvertHelp, &RunConvert},
      {"formats", "list the installed converters and save formats", kFormatsHelp, &RunFormats},
      {"detect", "name the converter that reads each file", kDetectHelp, &RunDetect},
      {"install", "install a converter library", kInstallHelp, &RunInstall},
      {"remove", "remove an installed converter", kRemoveHelp, &RunRemove},
      {"verify", "check a converter library against the plug-in contract", kVerifyHelp, &RunVerify},
      {"setup", "show the Converter Setup dialog", kSetupHelp, &RunSetup},
      {"open", "choose a file in the Open dialog and read it", kOpenHelp, &RunOpen},
      {"save", "read a file and save it through the Save dialog", kSaveHelp, &RunSave},
  };
  return commands;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

bool WantsHelp(const Arguments& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return true;
    if (arg == "--") break;
  }
  return false;
}

int PrintHelp(const Command& command) {
  std::fputs(command.help, stdout);
  return kExitOk;
}

int FileArguments(const Command& command, const Arguments& args, std::vector<std::string>* files) {
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-' && arg != "--") return UsageError(command, "unknown option " + arg);
    if (arg != "--") files->push_back(arg);
  }
  if (files->empty()) return UsageError(command, "no file given");
  return 0;
}

int UsageError(const Command& command, const std::string& message) {
  std::fprintf(stderr, "imexp %s: %s\n\n%s", command.name, message.c_str(), command.help);
  return kExitUsage;
}

std::optional<int> ParseAcceptedTypes(const std::string& list, std::string* bad) {
  int types = 0;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string word = list.substr(start, end - start);
    int type = 0;
    for (const TypeName& entry : kTypeNames) {
      if (word == entry.name) type = entry.type;
    }
    if (type == 0) {
      if (bad != nullptr) *bad = word;
      return std::nullopt;
    }
    types |= type;
    start = end + 1;
  }
  return types;
}

std::optional<std::string> OptionValue(const Arguments& args, std::size_t& i, const std::string& name,
                                       bool* missing) {
  const std::string& arg = args[i];
  if (arg == name) {
    if (i + 1 == args.size()) {
      *missing = true;
      return std::string();
    }
    return args[++i];
  }
  if (name.size() > 2 && arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
  if (name.size() == 2 && arg.size() > 2 && arg.rfind(name, 0) == 0) return arg.substr(2);
  return std::nullopt;
}

std::optional<int> ParseIndex(const std::string& text) {
  // Nine digits always fit an int.
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

int AllHostTypes() { return HIT_BILEVEL | HIT_PAL16 | HIT_PAL256 | HIT_GRAY256 | HIT_RGB24; }

std::string FileTitle(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<char> CString(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return buffer;
}

bool IsReadableFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return file.is_open();
}

void ReportInManagerWords(unsigned messageId, const std::string& name) {
  TellUser(ManagerString(IDS_ERROR_CAPTION) + ": " + FillText(ManagerString(messageId), name));
}

}  // namespace imexp::cli
