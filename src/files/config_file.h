// Configuration files: exactly the 256 bytes of the image, nothing around them.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "image/image.h"

namespace q5::files {

enum class SaveResult { ok, open_error, write_error };

// Why a file could not be loaded or saved, for a message that names it
// beside the window's words, and how long a loaded file was.
struct FileReason {
  int error = 0;             // errno of the call that failed; 0: none did
  bool not_a_file = false;   // a FIFO, device or socket where a file belongs
  bool short_file = false;   // a load: fewer bytes than an image
  // A load: the bytes read when short, else the file's size (from a stream,
  // 257 when more bytes followed the image).
  std::uintmax_t bytes = 0;

  // "No such file or directory", "Is a directory", "not a regular file",
  // "10 bytes, a configuration file has 256"; empty when nothing failed.
  std::string text() const;
};

// Writes the image to `path`. The bytes go to a temporary file in the same
// folder, which is flushed, closed and then renamed over the target, so a
// failed save never destroys the file it was replacing. Only when the folder
// refuses the temporary (EACCES, EPERM, EROFS) and the file exists and is
// writable is it overwritten in place instead: from offset 0, cut to 256
// bytes and flushed. open_error: the file (or its temporary) could not be
// created or opened for writing; write_error: writing, cutting, flushing,
// closing or the rename failed. On failure no temporary is left.
// `reason`, when given, gets why a failure happened.
SaveResult save_image(const std::string& path, const image::Image& image, FileReason* reason = nullptr);

enum class LoadResult { ok, open_error, read_error };

// Reads the first 256 bytes of `path` into `image`; later bytes are ignored.
// open_error: it cannot be opened or is not a regular file (a folder, FIFO or
// device is refused without blocking); read_error: fewer than 256 bytes.
// `image` is changed only when the result is ok. `reason`, when given, gets
// the file's size or why it failed.
LoadResult load_image(const std::string& path, image::Image& image, FileReason* reason = nullptr);

// The same from a stream already open (standard input): the first 256 bytes,
// read_error when fewer came.
LoadResult load_image(std::istream& in, image::Image& image, FileReason* reason = nullptr);

// Why File > Open refuses a file: it cannot be opened, it is shorter than an
// image, its checksum (high byte, then low byte) is wrong, or it belongs to
// the other model.
enum class OpenRefusal { open_error, read_error, checksum, model };

// "File open error", "File read error", "checksum is error!" or
// "Model Error, please check...".
const char* refusal_text(OpenRefusal refusal);

// Loads `path` as File > Open does before it shows the form: a file read
// whole replaces `image` (a refused one too, as the image then holds the
// rejected bytes until the next encode), then its checksum and model are
// checked. nullopt: the image may be shown.
std::optional<OpenRefusal> load_configuration(const std::string& path, image::Image& image,
                                              FileReason* reason = nullptr);
std::optional<OpenRefusal> load_configuration(std::istream& in, image::Image& image, FileReason* reason = nullptr);

}  // namespace q5::files
