#include "files/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <istream>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <utility>

#include "files/fd.h"

namespace q5::files {

namespace {

using detail::Fd;

// Symbolic links lead to the file they finally name, so that saving through
// a link replaces that file and leaves the link in place. The file itself
// need not exist yet. A loop of links gives nullopt.
std::optional<std::string> follow_links(std::string path) {
  constexpr int kMaxHops = 40;
  for (int hop = 0; hop < kMaxHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::error_code ec;
    std::string target = std::filesystem::read_symlink(path, ec).string();
    if (ec || target.empty()) return std::nullopt;
    if (target.front() != '/') {
      const auto slash = path.rfind('/');
      if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    }
    path = std::move(target);
  }
  return std::nullopt;
}

// A hidden name beside the target, so the file dialog does not show it while
// it exists; the base is shortened so that the name stays within NAME_MAX.
std::string temporary_name(const std::string& folder, const std::string& base) {
  constexpr std::size_t kMaxBase = 200;
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
  std::string name = folder + "." + base.substr(0, kMaxBase) + ".";
  for (int i = 0; i < 8; ++i) name += kChars[pick(generator)];
  return name + ".tmp";
}

// Writes from offset 0, whatever the descriptor's position: in place, the
// old content is overwritten from its start.
bool pwrite_all(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Something other than a file where one belongs: a folder is named as
// such, anything else as not a regular file.
void not_a_file(mode_t mode, FileReason& why) {
  if (S_ISDIR(mode)) {
    why.error = EISDIR;
  } else {
    why.not_a_file = true;
  }
}

// Records errno as the reason and passes `result` on.
template <typename Result>
Result failed(Result result, FileReason& why) {
  why.error = errno;
  return result;
}

// Failures that mean the folder refuses new names for this user, not that
// the disk is in trouble: the file itself may still be writable in place.
bool folder_refuses_new_files(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// The fallback for a folder that cannot take a temporary. The file keeps its
// inode, owner and mode; the price is that a failure part way leaves it
// damaged, which is why this is never the first choice.
SaveResult overwrite_in_place(const std::string& target, const image::Image& image, FileReason& why) {
  // O_NOFOLLOW and O_NONBLOCK keep a link or FIFO swapped in since the checks
  // from being followed or blocking; fstat refuses anything but a file.
  Fd file(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return failed(SaveResult::open_error, why);
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) return failed(SaveResult::open_error, why);
  if (!S_ISREG(st.st_mode)) {
    not_a_file(st.st_mode, why);
    return SaveResult::open_error;
  }

  const auto size = static_cast<off_t>(image.size());
  const bool written = pwrite_all(file.get(), image.data(), image.size()) &&
                       ::ftruncate(file.get(), size) == 0 && ::fsync(file.get()) == 0;
  if (!written) why.error = errno;
  const bool closed = file.close();
  if (written && !closed) why.error = errno;
  return written && closed ? SaveResult::ok : SaveResult::write_error;
}

// After the rename the new directory entry should reach the disk as well;
// the file's content is already safe, so a failure here is not reported.
void sync_folder(const std::string& folder) {
  const Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) ::fsync(dir.get());
}

}  // namespace

SaveResult save_image(const std::string& path, const image::Image& image, FileReason* reason) {
  FileReason unused;
  FileReason& why = reason ? *reason : unused;
  why = FileReason{};
  const std::optional<std::string> target = follow_links(path);
  if (!target) {
    why.error = ELOOP;
    return SaveResult::open_error;
  }
  const auto slash = target->rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target->substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? *target : target->substr(slash + 1);
  if (base.empty()) {
    why.error = target->empty() ? ENOENT : EISDIR;
    return SaveResult::open_error;
  }

  struct stat old {};
  bool replacing = false;
  if (::stat(target->c_str(), &old) == 0) {
    // Renaming over a folder, FIFO or device would be wrong, and opening one
    // could block; a write-protected file is refused as opening it would be.
    if (!S_ISREG(old.st_mode)) {
      not_a_file(old.st_mode, why);
      return SaveResult::open_error;
    }
    if (::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0) return failed(SaveResult::open_error, why);
    replacing = true;
  } else if (errno != ENOENT) {
    return failed(SaveResult::open_error, why);
  }

  // Mode 0666 lets the umask decide the permissions of a new file, as a
  // plain create would.
  std::string temp;
  int raw_fd = -1;
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts && raw_fd < 0; ++attempt) {
    temp = temporary_name(folder, base);
    raw_fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw_fd < 0 && errno != EEXIST) {
      // A file the user may write, in a folder they may not, is still
      // theirs to save; a new file there cannot be made at all.
      if (replacing && folder_refuses_new_files(errno)) return overwrite_in_place(*target, image, why);
      return failed(SaveResult::open_error, why);
    }
  }
  if (raw_fd < 0) {
    why.error = EEXIST;
    return SaveResult::open_error;
  }
  Fd file(raw_fd);

  if (replacing) {
    // The replacement keeps the old file's owner (possible when saving as
    // root) and its permissions. Neither is worth failing the save for.
    if (::fchown(file.get(), old.st_uid, old.st_gid) != 0) { /* saved as the current user */
    }
    if (::fchmod(file.get(), old.st_mode & 07777) != 0) { /* saved with the umask's mode */
    }
  }

  const bool written = pwrite_all(file.get(), image.data(), image.size()) && ::fsync(file.get()) == 0;
  if (!written) why.error = errno;
  const bool closed = file.close();
  if (written && !closed) why.error = errno;
  if (!written || !closed || ::rename(temp.c_str(), target->c_str()) != 0) {
    if (written && closed) why.error = errno;
    ::unlink(temp.c_str());
    return SaveResult::write_error;
  }
  sync_folder(folder);
  return SaveResult::ok;
}

LoadResult load_image(const std::string& path, image::Image& image, FileReason* reason) {
  FileReason unused;
  FileReason& why = reason ? *reason : unused;
  why = FileReason{};
  // Checked before opening so that no device is ever opened (opening some
  // has side effects); checked again on the descriptor in case the name was
  // swapped in between.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return failed(LoadResult::open_error, why);
  if (!S_ISREG(st.st_mode)) {
    not_a_file(st.st_mode, why);
    return LoadResult::open_error;
  }
  const Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return failed(LoadResult::open_error, why);
  if (::fstat(file.get(), &st) != 0) return failed(LoadResult::open_error, why);
  if (!S_ISREG(st.st_mode)) {
    not_a_file(st.st_mode, why);
    return LoadResult::open_error;
  }

  image::Image buffer{};
  std::size_t got = 0;
  while (got < buffer.size()) {
    const ssize_t n = ::read(file.get(), buffer.data() + got, buffer.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return failed(LoadResult::read_error, why);
    }
    if (n == 0) {
      why.short_file = true;
      why.bytes = got;
      return LoadResult::read_error;
    }
    got += static_cast<std::size_t>(n);
  }
  why.bytes = static_cast<std::uintmax_t>(st.st_size);
  image = buffer;
  return LoadResult::ok;
}

LoadResult load_image(std::istream& in, image::Image& image, FileReason* reason) {
  FileReason unused;
  FileReason& why = reason ? *reason : unused;
  why = FileReason{};
  image::Image buffer{};
  in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got < buffer.size()) {
    if (in.bad()) {
      why.error = EIO;
    } else {
      why.short_file = true;
      why.bytes = got;
    }
    return LoadResult::read_error;
  }
  // Whether more follows, without waiting for the rest of a long stream.
  why.bytes = got + (in.peek() == std::istream::traits_type::eof() ? 0 : 1);
  image = buffer;
  return LoadResult::ok;
}

std::string FileReason::text() const {
  if (error != 0) return std::strerror(error);
  if (not_a_file) return "not a regular file";
  if (short_file) {
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes") + ", a configuration file has " +
           std::to_string(image::kImageSize);
  }
  return {};
}

const char* refusal_text(OpenRefusal refusal) {
  switch (refusal) {
    case OpenRefusal::open_error:
      return "File open error";
    case OpenRefusal::read_error:
      return "File read error";
    case OpenRefusal::checksum:
      return "checksum is error!";
    case OpenRefusal::model:
      return image::kModelErrorText;
  }
  return "File open error";
}

namespace {

std::optional<OpenRefusal> judged(LoadResult loaded, const image::Image& image) {
  switch (loaded) {
    case LoadResult::open_error:
      return OpenRefusal::open_error;
    case LoadResult::read_error:
      return OpenRefusal::read_error;
    case LoadResult::ok:
      break;
  }
  if (image::verify(image) != image::ChecksumFault::none) return OpenRefusal::checksum;
  if (image::model_bit(image)) return OpenRefusal::model;
  return std::nullopt;
}

}  // namespace

std::optional<OpenRefusal> load_configuration(const std::string& path, image::Image& image, FileReason* reason) {
  return judged(load_image(path, image, reason), image);
}

std::optional<OpenRefusal> load_configuration(std::istream& in, image::Image& image, FileReason* reason) {
  return judged(load_image(in, image, reason), image);
}

}  // namespace q5::files
