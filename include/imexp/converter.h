/*
 * ImExp converter plug-in interface.
 *
 * A converter is a shared library (a DLL on Windows, a .so on POSIX) that
 * reads and/or writes one family of image file formats. The manager lists
 * installed converters in section [Converters] of CONVERT.INI, loads a
 * converter's library for the span of ONE operation, looks up the entry
 * points by their plain names, calls them in the order documented with them
 * and frees the library again before the operation returns. A converter keeps
 * no state between operations except what it stores in CONVERT.INI.
 *
 * Everything a converter author needs comes with this header, split by
 * concern into the headers it includes:
 *
 *   converter_records.h       the three records exchanged with the manager,
 *                             their flag and layout constants, the error
 *                             codes and the checks of the binary layout
 *   converter_entry_points.h  the calling convention, the order of calls and
 *                             one typedef per entry point
 *   converter_files.h         small helpers to read, seek and write the file
 *                             handle the manager hands over
 *
 * C++ converters may add <imexp/converter_support.h> for what every converter
 * needs beyond the interface itself (error wording, little-endian fields,
 * bounded copies into record fields, the exception guard, buffered file
 * streams).
 *
 * Runtime
 * -------
 * A converter is loaded and freed for every operation. On Windows, link the
 * C++ runtime dynamically (the DLLs beside the manager): a runtime linked
 * statically into a converter takes a thread-local-storage slot at every
 * load and never returns it.
 */
#ifndef IMEXP_CONVERTER_H
#define IMEXP_CONVERTER_H

#include <imexp/converter_entry_points.h>
#include <imexp/converter_files.h>
#include <imexp/converter_records.h>

#endif /* IMEXP_CONVERTER_H */
