// The JPEG library's managers over the manager's file handles: errors that
// jump back to Protected and keep their text, a source that refills from the
// file at its own offset, a destination that writes behind the last write.
#include <cstring>

#include "jpeg_format.h"

namespace jpeg {
namespace {

char g_reason[JMSG_LENGTH_MAX] = "";

void KeepMessage(j_common_ptr cinfo) { (*cinfo->err->format_message)(cinfo, g_reason); }

int CodeFor(j_common_ptr cinfo) {
  switch (cinfo->err->msg_code) {
    case JERR_NO_SOI:
    case JERR_INPUT_EMPTY:
      return CONV_ERR_UNKNOWN_FORMAT;
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
      return CONV_ERR_NO_MEMORY;
    case JERR_FILE_WRITE:
      return CONV_ERR_DISK_FULL;
    default:
      break;
  }
  // Whatever the library makes of the bytes it was given in place of the
  // missing ones, the cause is a file that ends too soon.
  if (cinfo->is_decompressor) {
    auto* source = reinterpret_cast<Source*>(reinterpret_cast<j_decompress_ptr>(cinfo)->src);
    if (source != nullptr && source->hitEnd) return CONV_ERR_END_OF_FILE;
  }
  (*cinfo->err->output_message)(cinfo);
  return kErrLibrary;
}

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (err->code == CONV_OK) err->code = CodeFor(cinfo);
  std::longjmp(err->jump, 1);
}

// Warnings are counted, as the library's own handler counts them, and
// traces dropped; nothing is printed.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  cinfo->err->num_warnings++;
  if (cinfo->err->msg_code == JWRN_HIT_MARKER)
    reinterpret_cast<ErrorManager*>(cinfo->err)->dataMissing = true;
}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<Source*>(cinfo->src);
  long got = ReadAt(source->file, source->offset, source->buffer, sizeof source->buffer);
  if (got <= 0) {
    if (!source->started) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // As the library's own sources do: an end of image in place of the
    // missing data, so that the decoder stops cleanly. The reader turns
    // the flag into an error when the image lacks data (ImageIncomplete)
    // rather than deliver the grey the decoder fills in.
    source->hitEnd = true;
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    got = 2;
    WARNMS(cinfo, JWRN_JPEG_EOF);
  } else {
    source->offset += static_cast<uint64_t>(got);
  }
  source->started = true;
  source->pub.next_input_byte = source->buffer;
  source->pub.bytes_in_buffer = static_cast<std::size_t>(got);
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* source = reinterpret_cast<Source*>(cinfo->src);
  if (count <= 0) return;
  auto skip = static_cast<std::size_t>(count);
  if (skip <= source->pub.bytes_in_buffer) {
    source->pub.next_input_byte += skip;
    source->pub.bytes_in_buffer -= skip;
    return;
  }
  // Past the buffer: the next refill starts behind the skipped bytes.
  source->offset += skip - source->pub.bytes_in_buffer;
  source->pub.bytes_in_buffer = 0;
  source->pub.next_input_byte = source->buffer;
}

void TermSource(j_decompress_ptr) {}

void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  destination->pub.next_output_byte = destination->buffer;
  destination->pub.free_in_buffer = sizeof destination->buffer;
}

void WriteOut(j_compress_ptr cinfo, std::size_t count) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  if (count == 0) return;
  if (int error = WriteAt(destination->file, destination->offset, destination->buffer, count)) {
    reinterpret_cast<ErrorManager*>(cinfo->err)->code = error;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  destination->offset += count;
}

// The library calls this with the whole buffer full, whatever free_in_buffer says.
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  WriteOut(cinfo, sizeof destination->buffer);
  destination->pub.next_output_byte = destination->buffer;
  destination->pub.free_in_buffer = sizeof destination->buffer;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  WriteOut(cinfo, sizeof destination->buffer - destination->pub.free_in_buffer);
}

}  // namespace

const char* LastReason() { return g_reason; }

void InstallErrorManager(jpeg_common_struct* cinfo, ErrorManager* err) {
  cinfo->err = jpeg_std_error(&err->pub);
  err->pub.error_exit = ErrorExit;
  err->pub.emit_message = EmitMessage;
  err->pub.output_message = KeepMessage;
  err->code = CONV_OK;
  err->dataMissing = false;
}

void InstallSource(jpeg_decompress_struct* cinfo, Source* source, HFILE file) {
  source->file = file;
  source->offset = 0;
  source->started = false;
  source->hitEnd = false;
  source->pub.init_source = InitSource;
  source->pub.fill_input_buffer = FillInputBuffer;
  source->pub.skip_input_data = SkipInputData;
  source->pub.resync_to_restart = jpeg_resync_to_restart;
  source->pub.term_source = TermSource;
  source->pub.next_input_byte = source->buffer;
  source->pub.bytes_in_buffer = 0;
  cinfo->src = &source->pub;
}

void InstallDestination(jpeg_compress_struct* cinfo, Destination* destination, HFILE file) {
  destination->file = file;
  destination->offset = 0;
  destination->pub.init_destination = InitDestination;
  destination->pub.empty_output_buffer = EmptyOutputBuffer;
  destination->pub.term_destination = TermDestination;
  destination->pub.next_output_byte = destination->buffer;
  destination->pub.free_in_buffer = sizeof destination->buffer;
  cinfo->dest = &destination->pub;
}

}  // namespace jpeg

namespace jpeg {

#define JPEG_TEXT(x) #x
#define JPEG_STRING(x) JPEG_TEXT(x)

// libjpeg-turbo tells its own version only to the compiler; the loaded
// library's message table tells the libjpeg interface it implements.
std::string LibraryVersion() {
  jpeg_error_mgr err{};
  jpeg_std_error(&err);
  std::string api = err.jpeg_message_table[JMSG_VERSION];
  return std::string(JPEG_STRING(LIBJPEG_TURBO_VERSION)) + " (libjpeg " + api.substr(0, api.find(' ')) + ")";
}

}  // namespace jpeg
