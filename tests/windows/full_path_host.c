/*
 * A host written in C, the way a host that keeps the manager in a folder of
 * its own does it: it loads imexp.dll by full path with LoadLibraryA, looks
 * the functions up with GetProcAddress through the pointer types of
 * <imexp/host.h>, and builds the three classes' virtual tables itself from
 * the documented layout (slot 0 the destructor entry, then the operations;
 * __thiscall on x86). It links no C++ runtime, so nothing but the manager
 * can have brought one into the process.
 *
 *   full_path_host MANAGER copy INPUT OUTPUT
 *       reads INPUT (any host type), writes it to OUTPUT, reads OUTPUT back
 *       and compares the pixels; exit 0 when they agree.
 *   full_path_host MANAGER info-loop FILE COUNT
 *       describes FILE COUNT times with ImExp_GetFileInfo, each time loading
 *       its converter, and prints the thread-local-storage index that a
 *       slot allocated before and after gets; exit 0 when every description
 *       succeeded and the two are equal.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <imexp/host.h>

#ifdef __i386__
#define THISCALL __attribute__((thiscall))
#else
#define THISCALL
#endif

enum { kMostWidth = 8192, kMostHeight = 8192 };

typedef struct Image {
  unsigned width, height;
  int type;
  size_t rowBytes;
  unsigned char* pixels; /* host row 0 first */
  ImExpPaletteEntry palette[256];
  int resolutionX, resolutionY;
} Image;

static int BitsOf(int type) {
  return type == HIT_BILEVEL ? 1 : type == HIT_PAL16 ? 4 : type == HIT_RGB24 ? 24 : 8;
}

/* ---------------------------------------------------------------- reading */

typedef struct Receiver Receiver;
typedef struct ReceiverTable {
  void*(THISCALL* destructor)(Receiver*, unsigned);
  int(THISCALL* reserved1)(Receiver*, int, int);
  int(THISCALL* reserved2)(Receiver*, int, int);
  int(THISCALL* setImageSize)(Receiver*, int, int, unsigned, unsigned);
  int(THISCALL* setImageType)(Receiver*, int, int, int);
  int(THISCALL* setPalette)(Receiver*, int, int, const ImExpPaletteEntry*, int);
  int(THISCALL* setResolution)(Receiver*, int, int, int, int);
  int(THISCALL* putRow)(Receiver*, int, int, int, const unsigned char*);
} ReceiverTable;
struct Receiver {
  const ReceiverTable* table;
  Image* image;
};

/* Slot 0: the manager never destroys a host object. */
static void* THISCALL DestroyReceiver(Receiver* self, unsigned flags) {
  (void)flags;
  return self;
}
static int THISCALL Reserved(Receiver* self, int a, int b) {
  (void)self, (void)a, (void)b;
  return 0;
}
static int THISCALL SetImageSize(Receiver* self, int a, int b, unsigned width, unsigned height) {
  (void)a, (void)b;
  if (width > kMostWidth || height > kMostHeight) return 1;
  self->image->width = width;
  self->image->height = height;
  return 0;
}
static int THISCALL SetImageType(Receiver* self, int a, int b, int type) {
  Image* image = self->image;
  (void)a, (void)b;
  image->type = type;
  image->rowBytes = ((size_t)image->width * (size_t)BitsOf(type) + 7) / 8;
  image->pixels = calloc(image->height, image->rowBytes);
  return 0;
}
static int THISCALL SetPalette(Receiver* self, int a, int b, const ImExpPaletteEntry* entries, int count) {
  (void)a, (void)b;
  memcpy(self->image->palette, entries, (size_t)(count > 256 ? 256 : count) * sizeof *entries);
  return 0;
}
static int THISCALL SetResolution(Receiver* self, int a, int b, int x, int y) {
  (void)a, (void)b;
  self->image->resolutionX = x;
  self->image->resolutionY = y;
  return 0;
}
static int THISCALL PutRow(Receiver* self, int a, int b, int row, const unsigned char* bytes) {
  Image* image = self->image;
  (void)a, (void)b;
  if (image->pixels != NULL && row >= 0 && (unsigned)row < image->height) {
    memcpy(image->pixels + (size_t)row * image->rowBytes, bytes, image->rowBytes);
  }
  return 0;
}
static const ReceiverTable kReceiverTable = {DestroyReceiver, Reserved,   Reserved,      SetImageSize,
                                             SetImageType,    SetPalette, SetResolution, PutRow};

/* ---------------------------------------------------------------- writing */

typedef struct Supplier Supplier;
typedef struct SupplierTable {
  void*(THISCALL* destructor)(Supplier*, unsigned);
  int(THISCALL* reserved1)(Supplier*, int, int);
  int(THISCALL* reserved2)(Supplier*, int, int);
  int(THISCALL* getImageSize)(Supplier*, int, int, int*, int*);
  int(THISCALL* getImageType)(Supplier*, int, int, int*);
  int(THISCALL* getPalette)(Supplier*, int, int, ImExpPaletteEntry*);
  int(THISCALL* getResolution)(Supplier*, int, int, int*, int*);
  int(THISCALL* getRow)(Supplier*, int, int, int, unsigned char*);
} SupplierTable;
struct Supplier {
  const SupplierTable* table;
  const Image* image;
};

static void* THISCALL DestroySupplier(Supplier* self, unsigned flags) {
  (void)flags;
  return self;
}
static int THISCALL SupplierReserved(Supplier* self, int a, int b) {
  (void)self, (void)a, (void)b;
  return 0;
}
static int THISCALL GetImageSize(Supplier* self, int a, int b, int* width, int* height) {
  (void)a, (void)b;
  *width = (int)self->image->width;
  *height = (int)self->image->height;
  return 0;
}
static int THISCALL GetImageType(Supplier* self, int a, int b, int* type) {
  (void)a, (void)b;
  *type = self->image->type;
  return 0;
}
static int THISCALL GetPalette(Supplier* self, int a, int b, ImExpPaletteEntry* entries) {
  (void)a, (void)b;
  memcpy(entries, self->image->palette, sizeof self->image->palette);
  return 0;
}
static int THISCALL GetResolution(Supplier* self, int a, int b, int* x, int* y) {
  (void)a, (void)b;
  *x = self->image->resolutionX;
  *y = self->image->resolutionY;
  return 0;
}
static int THISCALL GetRow(Supplier* self, int a, int b, int row, unsigned char* bytes) {
  const Image* image = self->image;
  (void)a, (void)b;
  memcpy(bytes, image->pixels + (size_t)row * image->rowBytes, image->rowBytes);
  return 0;
}
static const SupplierTable kSupplierTable = {
    DestroySupplier, SupplierReserved, SupplierReserved, GetImageSize,
    GetImageType,    GetPalette,       GetResolution,    GetRow};

/* ---------------------------------------------------------------- the host */

typedef struct Manager {
  ImExp_ReadFileFn readFile;
  ImExp_WriteFileFn writeFile;
  ImExp_GetFileInfoFn getFileInfo;
} Manager;

static int Read(const Manager* manager, char* file, Image* image) {
  Receiver receiver = {&kReceiverTable, image};
  int all = HIT_BILEVEL | HIT_PAL16 | HIT_PAL256 | HIT_GRAY256 | HIT_RGB24;
  memset(image, 0, sizeof *image);
  return manager->readFile((CAbstractReadWA*)&receiver, NULL, file, all, NULL, NULL, 0) &&
         image->pixels != NULL;
}

static int Copy(const Manager* manager, char* input, char* output) {
  static Image original, copy;
  Supplier supplier = {&kSupplierTable, &original};
  int reserved = -1;
  int status = 1;
  if (!Read(manager, input, &original)) {
    fprintf(stderr, "full_path_host: cannot read %s\n", input);
  } else if (!manager->writeFile((const CAbstractWriteWA*)&supplier, NULL, output, &reserved, NULL, NULL,
                                 0)) {
    fprintf(stderr, "full_path_host: cannot write %s\n", output);
  } else if (!Read(manager, output, &copy) || copy.width != original.width ||
             copy.height != original.height || copy.type != original.type ||
             memcmp(copy.pixels, original.pixels, original.rowBytes * original.height) != 0) {
    fprintf(stderr, "full_path_host: %s does not hold the pixels of %s\n", output, input);
  } else {
    printf("copied %ux%u, host type %d\n", original.width, original.height, original.type);
    status = 0;
  }
  free(original.pixels);
  free(copy.pixels);
  return status;
}

static DWORD NextTlsSlot(void) {
  DWORD slot = TlsAlloc();
  TlsFree(slot);
  return slot;
}

static int InfoLoop(const Manager* manager, char* file, int count) {
  ConvImageInfo info;
  int described = 0;
  DWORD before = NextTlsSlot();
  for (int i = 0; i < count; ++i) described += manager->getFileInfo(&info, file, 0) != 0;
  DWORD after = NextTlsSlot();
  printf("%d of %d descriptions; the next thread-local-storage slot %lu before, %lu after\n", described,
         count, (unsigned long)before, (unsigned long)after);
  return described == count && before == after ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: full_path_host MANAGER copy INPUT OUTPUT | MANAGER info-loop FILE COUNT\n");
    return 2;
  }
  HMODULE library = LoadLibraryA(argv[1]);
  if (library == NULL) {
    fprintf(stderr, "full_path_host: cannot load %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
    return 1;
  }
  Manager manager = {(ImExp_ReadFileFn)(void*)GetProcAddress(library, "ImExp_ReadFile"),
                     (ImExp_WriteFileFn)(void*)GetProcAddress(library, "ImExp_WriteFile"),
                     (ImExp_GetFileInfoFn)(void*)GetProcAddress(library, "ImExp_GetFileInfo")};
  if (manager.readFile == NULL || manager.writeFile == NULL || manager.getFileInfo == NULL) {
    fprintf(stderr, "full_path_host: %s lacks an export\n", argv[1]);
    return 1;
  }
  if (strcmp(argv[2], "copy") == 0) return Copy(&manager, argv[3], argv[4]);
  if (strcmp(argv[2], "info-loop") == 0) return InfoLoop(&manager, argv[3], atoi(argv[4]));
  return 2;
}
