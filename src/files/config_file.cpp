#include "files/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
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
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Failures that mean the folder refuses new names for this user, not that
// the disk is in trouble: the file itself may still be writable in place.
bool folder_refuses_new_files(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// The fallback for a folder that cannot take a temporary. The file keeps its
// inode, owner and mode; the price is that a failure part way leaves it
// damaged, which is why this is never the first choice.
SaveResult overwrite_in_place(const std::string& target, const image::Image& image) {
  // O_NOFOLLOW and O_NONBLOCK keep a link or FIFO swapped in since the checks
  // from being followed or blocking; fstat refuses anything but a file.
  Fd file(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return SaveResult::open_error;
  struct stat st {};
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return SaveResult::open_error;

  const auto size = static_cast<off_t>(image.size());
  const bool written = pwrite_all(file.get(), image.data(), image.size()) &&
                       ::ftruncate(file.get(), size) == 0 && ::fsync(file.get()) == 0;
  const bool closed = file.close();
  return written && closed ? SaveResult::ok : SaveResult::write_error;
}

// After the rename the new directory entry should reach the disk as well;
// the file's content is already safe, so a failure here is not reported.
void sync_folder(const std::string& folder) {
  const Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) ::fsync(dir.get());
}

}  // namespace

SaveResult save_image(const std::string& path, const image::Image& image) {
  const std::optional<std::string> target = follow_links(path);
  if (!target) return SaveResult::open_error;
  const auto slash = target->rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target->substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? *target : target->substr(slash + 1);
  if (base.empty()) return SaveResult::open_error;

  struct stat old {};
  bool replacing = false;
  if (::stat(target->c_str(), &old) == 0) {
    // Renaming over a folder, FIFO or device would be wrong, and opening one
    // could block; a write-protected file is refused as opening it would be.
    if (!S_ISREG(old.st_mode)) return SaveResult::open_error;
    if (::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0) return SaveResult::open_error;
    replacing = true;
  } else if (errno != ENOENT) {
    return SaveResult::open_error;
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
      if (replacing && folder_refuses_new_files(errno)) return overwrite_in_place(*target, image);
      return SaveResult::open_error;
    }
  }
  if (raw_fd < 0) return SaveResult::open_error;
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
  const bool closed = file.close();
  if (!written || !closed || ::rename(temp.c_str(), target->c_str()) != 0) {
    ::unlink(temp.c_str());
    return SaveResult::write_error;
  }
  sync_folder(folder);
  return SaveResult::ok;
}

LoadResult load_image(const std::string& path, image::Image& image) {
  // Checked before opening so that no device is ever opened (opening some
  // has side effects); checked again on the descriptor in case the name was
  // swapped in between.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return LoadResult::open_error;
  const Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return LoadResult::open_error;
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return LoadResult::open_error;

  image::Image buffer{};
  std::size_t got = 0;
  while (got < buffer.size()) {
    const ssize_t n = ::read(file.get(), buffer.data() + got, buffer.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LoadResult::read_error;
    }
    if (n == 0) return LoadResult::read_error;
    got += static_cast<std::size_t>(n);
  }
  image = buffer;
  return LoadResult::ok;
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

std::optional<OpenRefusal> load_configuration(const std::string& path, image::Image& image) {
  switch (load_image(path, image)) {
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

}  // namespace q5::files
