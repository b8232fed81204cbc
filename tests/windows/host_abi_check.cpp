// A Windows host of the manager, written as a host developer writes one: it
// derives from the three classes of <imexp/host.h>, links the manager's
// import library and calls ImExp_WriteFile and ImExp_ReadFile. The same
// source is built by clang with Microsoft's C++ ABI (no C or C++ runtime:
// msvc_runtime.cpp gives it an entry point) and by mingw-w64 g++, so that
// both compiler families are shown to meet the one DLL.
//
// For every host image type it writes an image to a BMP file and reads it
// back, and checks every call the manager made on its objects: which slot
// was called (each override records its own name), in which order, with
// which arguments, and that the pixels and the palette arrive intact; then
// that cancelling in the first progress update stops a read and a write.
// Any call landing in another slot shows as a wrong name in the log. It
// prints one line a failed check and exits with the number of failures.
#include <windows.h>

#include <imexp/host.h>

namespace {

// ---------------------------------------------------------------------------
// Output and checks, without a C runtime.

void Print(const char* text) {
  DWORD length = 0;
  while (text[length] != '\0') ++length;
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, nullptr);
}

// Appends the decimal digits of `value` to `out` (room for 12 characters).
char* AppendNumber(char* out, int value) {
  char digits[12];
  int count = 0;
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *out++ = '-';
  while (count > 0) *out++ = digits[--count];
  *out = '\0';
  return out;
}

char* AppendText(char* out, const char* text) {
  while (*text != '\0') *out++ = *text++;
  *out = '\0';
  return out;
}

int g_checks = 0;
int g_failures = 0;
const char* g_case = "";

void Check(bool condition, const char* what, int detail = 0) {
  ++g_checks;
  if (condition) return;
  ++g_failures;
  char line[256];
  char* at = AppendText(line, "FAILED ");
  at = AppendText(at, g_case);
  at = AppendText(at, ": ");
  at = AppendText(at, what);
  at = AppendText(at, " (");
  at = AppendNumber(at, detail);
  AppendText(at, ")\n");
  Print(line);
}

bool SameBytes(const void* a, const void* b, int count) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (int i = 0; i < count; ++i) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// The call log that every object of this host writes to.

enum Op {
  kDestructor,
  kReserved1,
  kReserved2,
  kSetImageSize,
  kSetImageType,
  kSetPalette,
  kSetResolution,
  kPutRow,
  kGetImageSize,
  kGetImageType,
  kGetPalette,
  kGetResolution,
  kGetRow,
  kBegin,
  kEnd,
  kUpdate
};

struct Call {
  Op op;
  int lead1, lead2;  // the two leading ints of CAbstractReadWA/WriteWA calls
  int a, b;
};

constexpr int kMostCalls = 64;

struct CallLog {
  Call calls[kMostCalls];
  int count;
  void Add(Op op, int lead1 = 0, int lead2 = 0, int a = 0, int b = 0) {
    if (count < kMostCalls) calls[count] = Call{op, lead1, lead2, a, b};
    ++count;
  }
};

// ---------------------------------------------------------------------------
// The images: odd widths, so that 1- and 4-bit rows end inside a byte.

constexpr int kWidth = 37;
constexpr int kHeight = 9;
constexpr int kRowRoom = kWidth * 3 + 32;
constexpr int kResolutionX = 300;
constexpr int kResolutionY = 150;

// Images and logs are kept out of the stack: without a C runtime there is no
// stack probe for frames larger than a page.
struct Image {
  int type;
  int rowBytes;
  unsigned char rows[kHeight][kRowRoom];  // host row 0 is the bottom row
  ImExpPaletteEntry palette[256];
  int paletteCount;
};

Image g_original;
Image g_received;
CallLog g_log;

void Clear(Image& image) {
  unsigned char* bytes = reinterpret_cast<unsigned char*>(&image);
  for (unsigned i = 0; i < sizeof image; ++i) bytes[i] = 0;
}

int BitsOf(int type) {
  switch (type) {
    case HIT_BILEVEL:
      return 1;
    case HIT_PAL16:
      return 4;
    case HIT_RGB24:
      return 24;
    default:
      return 8;
  }
}

// A pattern every row and column of which differs, in the layout of `type`.
void MakeImage(Image& image, int type) {
  Clear(image);
  image.type = type;
  int bits = BitsOf(type);
  image.rowBytes = (kWidth * bits + 7) / 8;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      unsigned char* row = image.rows[y];
      if (bits == 24) {
        row[x * 3] = static_cast<unsigned char>(x * 5 + y);
        row[x * 3 + 1] = static_cast<unsigned char>(x * 11 + y * 7);
        row[x * 3 + 2] = static_cast<unsigned char>(x + y * 13);
        continue;
      }
      int value = (x * 7 + y * 3) & ((1 << bits) - 1);
      if (bits == 8) {
        row[x] = static_cast<unsigned char>(value);
      } else if (bits == 4) {
        row[x / 2] |= static_cast<unsigned char>(x % 2 == 0 ? value << 4 : value);
      } else {
        row[x / 8] |= static_cast<unsigned char>(value << (7 - x % 8));
      }
    }
  }
  if (type == HIT_PAL16 || type == HIT_PAL256) {
    image.paletteCount = type == HIT_PAL16 ? 16 : 256;
    for (int i = 0; i < image.paletteCount; ++i) {
      image.palette[i] =
          ImExpPaletteEntry{static_cast<unsigned char>(i * 3 + 1), static_cast<unsigned char>(255 - i),
                            static_cast<unsigned char>(i * 17 + 5), 0};
    }
  }
}

// ---------------------------------------------------------------------------
// The host's three classes.

class Progress : public CProgress {
 public:
  Progress(CallLog& log, int cancelAt) : log_(log), cancelAt_(cancelAt) {}
  ~Progress() override { log_.Add(kDestructor); }
  int Begin() override {
    log_.Add(kBegin);
    return 1;
  }
  int End() override {
    log_.Add(kEnd);
    return 1;
  }
  int Update(int rowsDone, int totalRows) override {
    log_.Add(kUpdate, 0, 0, rowsDone, totalRows);
    return ++updates_ == cancelAt_ ? 0 : 1;
  }

 private:
  CallLog& log_;
  int cancelAt_;  // the Update that cancels (1-based), 0 for none
  int updates_ = 0;
};

// What the receiver and the supplier share: a logged destructor and the two
// reserved operations. Overriding them here leaves the slots where the base
// class puts them.
template <typename Base>
class LoggedTransfer : public Base {
 public:
  explicit LoggedTransfer(CallLog& log) : log_(log) {}
  ~LoggedTransfer() override { log_.Add(kDestructor); }
  int Reserved1(int lead1, int lead2) override {
    log_.Add(kReserved1, lead1, lead2);
    return 0;
  }
  int Reserved2(int lead1, int lead2) override {
    log_.Add(kReserved2, lead1, lead2);
    return 0;
  }

 protected:
  CallLog& log_;
};

class Receiver : public LoggedTransfer<CAbstractReadWA> {
 public:
  Receiver(CallLog& log, Image& image) : LoggedTransfer(log), image(image) { Clear(image); }
  int SetImageSize(int lead1, int lead2, unsigned int width, unsigned int height) override {
    log_.Add(kSetImageSize, lead1, lead2, static_cast<int>(width), static_cast<int>(height));
    return 0;
  }
  int SetImageType(int lead1, int lead2, int imageType) override {
    log_.Add(kSetImageType, lead1, lead2, imageType);
    image.type = imageType;
    image.rowBytes = (kWidth * BitsOf(imageType) + 7) / 8;
    return 0;
  }
  int SetPalette(int lead1, int lead2, ImExpPaletteEntry* entries, int count) override {
    log_.Add(kSetPalette, lead1, lead2, count);
    image.paletteCount = count;
    for (int i = 0; i < count && i < 256; ++i) image.palette[i] = entries[i];
    return 0;
  }
  int SetResolution(int lead1, int lead2, int horizontal, int vertical) override {
    log_.Add(kSetResolution, lead1, lead2, horizontal, vertical);
    return 0;
  }
  int PutRow(int lead1, int lead2, int hostRow, unsigned char* row) override {
    log_.Add(kPutRow, lead1, lead2, hostRow);
    if (hostRow >= 0 && hostRow < kHeight) {
      for (int i = 0; i < image.rowBytes; ++i) image.rows[hostRow][i] = row[i];
    }
    return 0;
  }

  Image& image;
};

class Supplier : public LoggedTransfer<CAbstractWriteWA> {
 public:
  Supplier(CallLog& log, const Image& image) : LoggedTransfer(log), image_(image) {}
  int GetImageSize(int lead1, int lead2, int* width, int* height) override {
    log_.Add(kGetImageSize, lead1, lead2);
    *width = kWidth;
    *height = kHeight;
    return 0;
  }
  int GetImageType(int lead1, int lead2, int* imageType) override {
    log_.Add(kGetImageType, lead1, lead2);
    *imageType = image_.type;
    return 0;
  }
  int GetPalette(int lead1, int lead2, ImExpPaletteEntry* entries) override {
    log_.Add(kGetPalette, lead1, lead2);
    for (int i = 0; i < 256; ++i) entries[i] = image_.palette[i];
    return 0;
  }
  int GetResolution(int lead1, int lead2, int* horizontal, int* vertical) override {
    log_.Add(kGetResolution, lead1, lead2);
    *horizontal = kResolutionX;
    *vertical = kResolutionY;
    return 0;
  }
  int GetRow(int lead1, int lead2, int hostRow, unsigned char* row) override {
    log_.Add(kGetRow, lead1, lead2, hostRow);
    if (hostRow >= 0 && hostRow < kHeight) {
      for (int i = 0; i < image_.rowBytes; ++i) row[i] = image_.rows[hostRow][i];
    }
    return 0;
  }

 private:
  const Image& image_;
};

// ---------------------------------------------------------------------------
// Reading the log: a cursor that expects the calls in order.

class Expect {
 public:
  explicit Expect(const CallLog& log) : log_(log) {}
  // The next call is `op` with two zero leading ints and the given a and b.
  void Next(Op op, const char* what, int a = 0, int b = 0) {
    Check(at_ < log_.count, what, at_);
    if (at_ >= log_.count) return;
    const Call& call = log_.calls[at_++];
    Check(call.op == op, what, call.op);
    Check(call.lead1 == 0 && call.lead2 == 0, "the two leading ints are 0", call.op);
    Check(call.a == a && call.b == b, what, call.a * 100000 + call.b);
  }
  // The rows part: `count` times a row call and an Update; each host row once.
  void Rows(Op rowOp, int count) {
    bool seen[kHeight] = {};
    for (int i = 0; i < count; ++i) {
      Check(at_ + 1 < log_.count, "a row call and its Update", i);
      if (at_ + 1 >= log_.count) return;
      const Call& row = log_.calls[at_++];
      Check(row.op == rowOp, "the row call", row.op);
      Check(row.lead1 == 0 && row.lead2 == 0, "the row call's leading ints are 0", i);
      bool inside = row.a >= 0 && row.a < kHeight;
      Check(inside && !seen[inside ? row.a : 0], "each host row once", row.a);
      if (inside) seen[row.a] = true;
      Next(kUpdate, "Update after the row", i, kHeight);
    }
  }
  // How every transfer ends: Begin, `rows` rows (fewer after a cancel), End,
  // then the progress and the image object destroyed by the host, and no
  // call after that.
  void Transfer(Op rowOp, int rows = kHeight) {
    Next(kBegin, "Begin before the rows");
    Rows(rowOp, rows);
    Next(kEnd, "End after the rows");
    Next(kDestructor, "the progress object destroyed by the host, not before");
    Next(kDestructor, "the image object destroyed by the host, not before");
    End();
  }
  void End() { Check(at_ == log_.count, "no call after End", log_.count - at_); }

 private:
  const CallLog& log_;
  int at_ = 0;
};

// ---------------------------------------------------------------------------
// The cases.

void FileName(char* out, const char* stem, int type) {
  char* at = AppendText(out, "host_abi_");
  at = AppendText(at, IMEXP_HOST_ABI_COMPILER);
  at = AppendText(at, "_");
  at = AppendText(at, stem);
  at = AppendNumber(at, type);
  AppendText(at, ".bmp");
}

void WriteAndReadBack(int type) {
  char file[96];
  FileName(file, "type", type);
  const Image& original = g_original;
  MakeImage(g_original, type);

  g_log.count = 0;
  {
    Supplier supplier(g_log, original);
    Progress progress(g_log, 0);
    int reserved = -1;
    int result = ImExp_WriteFile(&supplier, nullptr, file, &reserved, &progress, nullptr, 0);
    Check(result == 1, "ImExp_WriteFile succeeds", result);
    Check(reserved == 0, "ImExp_WriteFile sets *reserved to 0", reserved);
  }
  Expect write(g_log);
  write.Next(kGetImageType, "GetImageType first");
  if (type == HIT_PAL16 || type == HIT_PAL256) write.Next(kGetPalette, "GetPalette for a paletted image");
  write.Next(kGetImageSize, "GetImageSize");
  write.Next(kGetResolution, "GetResolution");
  write.Transfer(kGetRow);

  g_log.count = 0;
  {
    Receiver receiver(g_log, g_received);
    Progress progress(g_log, 0);
    int result = ImExp_ReadFile(&receiver, nullptr, file, type, &progress, nullptr, 0);
    Check(result == 1, "ImExp_ReadFile succeeds", result);
  }
  Expect read(g_log);
  read.Next(kSetImageSize, "SetImageSize first", kWidth, kHeight);
  read.Next(kSetImageType, "SetImageType with the accepted type", type);
  int bits = BitsOf(type);
  if (bits <= 8) read.Next(kSetPalette, "SetPalette with 2^bits entries", 1 << bits);
  read.Next(kSetResolution, "SetResolution in dots per inch", kResolutionX, kResolutionY);
  read.Transfer(kPutRow);

  for (int y = 0; y < kHeight; ++y) {
    Check(SameBytes(g_received.rows[y], original.rows[y], original.rowBytes), "the row arrives intact", y);
  }
  if (original.paletteCount > 0) {
    // The fourth byte of an entry is undefined.
    for (int i = 0; i < original.paletteCount; ++i) {
      Check(SameBytes(&g_received.palette[i], &original.palette[i], 3), "the palette arrives intact", i);
    }
  }
  DeleteFileA(file);
}

void CancelInFirstUpdate() {
  char file[96];
  FileName(file, "cancel", HIT_RGB24);
  MakeImage(g_original, HIT_RGB24);
  {
    g_log.count = 0;
    Supplier supplier(g_log, g_original);
    int reserved = 0;
    Progress complete(g_log, 0);
    Check(ImExp_WriteFile(&supplier, nullptr, file, &reserved, &complete, nullptr, 0) == 1,
          "the file to cancel on");
  }

  g_case = "cancelled read";
  g_log.count = 0;
  {
    Receiver receiver(g_log, g_received);
    Progress cancelling(g_log, 1);
    Check(ImExp_ReadFile(&receiver, nullptr, file, HIT_RGB24, &cancelling, nullptr, 0) == 0, "returns 0");
  }
  Expect read(g_log);
  read.Next(kSetImageSize, "SetImageSize", kWidth, kHeight);
  read.Next(kSetImageType, "SetImageType", HIT_RGB24);
  read.Next(kSetResolution, "SetResolution", kResolutionX, kResolutionY);
  read.Transfer(kPutRow, 1);

  g_case = "cancelled write";
  DeleteFileA(file);
  g_log.count = 0;
  {
    Supplier supplier(g_log, g_original);
    Progress cancelling(g_log, 1);
    int reserved = 0;
    Check(ImExp_WriteFile(&supplier, nullptr, file, &reserved, &cancelling, nullptr, 0) == 0, "returns 0");
  }
  Expect write(g_log);
  write.Next(kGetImageType, "GetImageType");
  write.Next(kGetImageSize, "GetImageSize");
  write.Next(kGetResolution, "GetResolution");
  write.Transfer(kGetRow, 1);
  Check(GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES, "no file is left behind");
}

}  // namespace

extern "C" int RunHostAbiChecks() {
  static const struct {
    int type;
    const char* name;
  } kTypes[] = {{HIT_BILEVEL, "HIT_BILEVEL"},
                {HIT_PAL16, "HIT_PAL16"},
                {HIT_PAL256, "HIT_PAL256"},
                {HIT_GRAY256, "HIT_GRAY256"},
                {HIT_RGB24, "HIT_RGB24"}};
  for (const auto& entry : kTypes) {
    g_case = entry.name;
    WriteAndReadBack(entry.type);
  }
  CancelInFirstUpdate();
  char line[96];
  char* at = AppendText(line, "host_abi_check (" IMEXP_HOST_ABI_COMPILER "): ");
  at = AppendNumber(at, g_checks);
  at = AppendText(at, " checks, ");
  at = AppendNumber(at, g_failures);
  AppendText(at, " failed\n");
  Print(line);
  return g_failures;
}

#ifndef IMEXP_HOST_ABI_FREESTANDING
int main() { return RunHostAbiChecks(); }
#endif
