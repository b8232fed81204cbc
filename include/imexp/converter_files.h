/*
 * ImExp converter plug-in interface: portable helpers to read, seek and write
 * the file handles the manager hands over.
 *
 * File handles
 * ------------
 * hFile arguments are files the manager opened (_lopen/OpenFile on Windows,
 * a file descriptor on POSIX). The converter reads, seeks and writes through
 * them, never closes them, and never assumes where the file is positioned:
 * content checks of several converters share one open file without the
 * manager rewinding it between them. Use ConvFileRead, ConvFileWrite and
 * ConvFileSeek below to stay portable.
 *
 * Include <imexp/converter.h>, which gives this header and the rest of the
 * interface.
 */
#ifndef IMEXP_CONVERTER_FILES_H
#define IMEXP_CONVERTER_FILES_H

#include <imexp/converter_records.h>

#ifndef _WIN32
#include <errno.h>
#include <sys/types.h>
#include <unistd.h>
#endif

/* ------------------------------------------------------------------------ */
/* File helpers                                                              */
/* ------------------------------------------------------------------------ */

#define CONV_SEEK_SET 0
#define CONV_SEEK_CUR 1
#define CONV_SEEK_END 2

/* Reads up to `count` bytes; returns the number read (less only at the end of
 * the file) or -1 on an error. */
static inline long ConvFileRead(HFILE file, void* buffer, unsigned long count) {
  unsigned char* out = (unsigned char*)buffer;
  unsigned long done = 0;
  while (done < count) {
    unsigned long chunk = count - done;
    if (chunk > 0x40000000ul) chunk = 0x40000000ul;
#ifdef _WIN32
    UINT got = _lread(file, out + done, (UINT)chunk);
    if (got == (UINT)HFILE_ERROR) return -1;
#else
    ssize_t got = read(file, out + done, (size_t)chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
#endif
    if (got == 0) break;
    done += (unsigned long)got;
  }
  return (long)done;
}

/* Writes all `count` bytes; returns 0 on success, -1 when not everything
 * could be written (a full disk among other causes). */
static inline int ConvFileWrite(HFILE file, const void* buffer, unsigned long count) {
  const unsigned char* in = (const unsigned char*)buffer;
  while (count > 0) {
    unsigned long chunk = count > 0x40000000ul ? 0x40000000ul : count;
#ifdef _WIN32
    /* _lwrite with 0 bytes would truncate the file; chunk is never 0 here. */
    UINT put = _lwrite(file, (LPCCH)in, (UINT)chunk);
    if (put == (UINT)HFILE_ERROR || put == 0) return -1;
#else
    ssize_t put = write(file, in, (size_t)chunk);
    if (put < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (put == 0) return -1;
#endif
    in += put;
    count -= (unsigned long)put;
  }
  return 0;
}

/* Moves the file position; returns the new position or -1. */
static inline long ConvFileSeek(HFILE file, long offset, int origin) {
#ifdef _WIN32
  LONG pos = _llseek(file, offset, origin);
  return pos == HFILE_ERROR ? -1 : (long)pos;
#else
  off_t pos = lseek(file, (off_t)offset, origin);
  return pos < 0 ? -1 : (long)pos;
#endif
}

/* Size of the file in bytes, or -1; leaves the position at the start. */
static inline long ConvFileSize(HFILE file) {
  long size = ConvFileSeek(file, 0, CONV_SEEK_END);
  if (ConvFileSeek(file, 0, CONV_SEEK_SET) < 0) return -1;
  return size;
}

#endif /* IMEXP_CONVERTER_FILES_H */
