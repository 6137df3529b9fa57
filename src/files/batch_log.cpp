#include "files/batch_log.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <string>
#include <system_error>
#include <vector>

#include "files/fd.h"

namespace q5::files {

namespace {

using detail::Fd;

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFolderName = "q5prog";
constexpr std::string_view kLogName = "writes.csv";
constexpr std::string_view kSimulatedLogName = "writes-simulated.csv";
constexpr mode_t kNewFileMode = 0666;  // less the umask, as any new file
constexpr mode_t kNewFolderMode = 0700;

std::string reason(const std::string& path, int error) { return path + ": " + std::generic_category().message(error); }

void append_cell(std::string& out, std::string_view cell) {
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += cell;
    return;
  }
  out += '"';
  for (const char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// Loops only on a short write or an interruption; a regular local file takes
// the whole buffer in one call, which is what keeps rows whole.
bool write_whole(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A log whose last line lost its line end (saved by some editor, say) would
// glue the next row onto it. The log is open for writing only, so its last
// byte is read through a second descriptor, once that is known to be the
// same file; when it cannot be read, the row goes out as it is.
bool ends_mid_line(const std::string& path, const struct stat& log) {
  if (log.st_size == 0) return false;
  const Fd reader(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!reader.valid() || ::fstat(reader.get(), &st) != 0 || st.st_dev != log.st_dev || st.st_ino != log.st_ino) {
    return false;
  }
  char last = '\n';
  return ::pread(reader.get(), &last, 1, log.st_size - 1) == 1 && last != '\n';
}

// Without a lock (a file system that has none) the row is still worth more
// than the guarantee of a single header, so the append goes on.
void lock_exclusively(int fd) {
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

std::optional<std::string> append_record(const std::string& path, const std::string& record) {
  // A FIFO would block the open and a device has no place in a log.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return path + ": not a regular file";
  Fd file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode));
  if (!file.valid()) return reason(path, errno);
  lock_exclusively(file.get());
  // The size is read under the lock: only then is "empty" still true when
  // the header goes out.
  if (::fstat(file.get(), &st) != 0) return reason(path, errno);
  if (!S_ISREG(st.st_mode)) return path + ": not a regular file";

  std::string header;
  if (st.st_size == 0) header = std::string(kBatchLogHeader) + std::string(kLineEnd);
  const std::string row = ends_mid_line(path, st) ? std::string(kLineEnd) + record : record;
  if (!write_whole(file.get(), header) || !write_whole(file.get(), row)) {
    // Every writer holds the lock, so nothing else was appended meanwhile.
    const int error = errno;
    if (::ftruncate(file.get(), st.st_size) != 0) { /* the part row stays; the error says why */
    }
    return reason(path, error);
  }
  if (::fsync(file.get()) != 0) return reason(path, errno);
  if (!file.close()) return reason(path, errno);
  return std::nullopt;
}

std::string without_trailing_slashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string home_folder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  constexpr std::size_t kFallbackBufferSize = 16384;
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : kFallbackBufferSize);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return found->pw_dir != nullptr ? found->pw_dir : "";
}

// Relative values are to be ignored, as the XDG base directory rules say.
std::string data_home() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return without_trailing_slashes(xdg);
  const std::string home = home_folder();
  return home.empty() ? "" : without_trailing_slashes(home) + "/.local/share";
}

std::optional<std::string> make_folders(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return std::nullopt;
  for (std::size_t end = folder.find('/', 1); ; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), kNewFolderMode) != 0 && errno != EEXIST) return reason(part, errno);
    if (end == std::string::npos) break;
  }
  if (::stat(folder.c_str(), &st) != 0) return reason(folder, errno);
  if (!S_ISDIR(st.st_mode)) return reason(folder, ENOTDIR);
  return std::nullopt;
}

// Offsets from UTC stay below a day, so two digits always suffice.
std::string two_digits(long value) {
  constexpr long kBase = 10;
  return {static_cast<char>('0' + value / kBase % kBase), static_cast<char>('0' + value % kBase)};
}

// Even building the text of a failure can fail for want of memory.
std::string failure_text(const std::string& path, const char* what) noexcept {
  try {
    return path + ": " + what;
  } catch (...) {
    return "out of memory";  // short enough to need no allocation
  }
}

}  // namespace

std::string local_iso8601(std::time_t time) {
  ::tzset();  // so that a changed TZ counts, as it does for localtime()
  std::tm local{};
  if (::localtime_r(&time, &local) == nullptr) return {};
  char stamp[32];
  if (std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local) == 0) return {};
  constexpr long kSecondsPerMinute = 60;
  constexpr long kMinutesPerHour = 60;
  const long minutes = local.tm_gmtoff / kSecondsPerMinute;
  const long magnitude = minutes < 0 ? -minutes : minutes;
  const std::string offset =
      (minutes < 0 ? "-" : "+") + two_digits(magnitude / kMinutesPerHour) + ":" + two_digits(magnitude % kMinutesPerHour);
  return std::string(stamp) + offset;
}

std::string csv_record(const BatchLogRow& row) {
  std::vector<std::string_view> cells{row.time, row.result, row.serial};
  for (const BatchLogAddress& address : row.addresses) {
    cells.insert(cells.end(), {address.enabled, address.address, address.frame});
  }
  cells.insert(cells.end(), {row.frequency, row.step, row.baud_rate, row.synthesiser, row.firmware});
  std::string record;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) record += ',';
    append_cell(record, cells[i]);
  }
  return record += kLineEnd;
}

std::optional<std::string> append(const std::string& path, const BatchLogRow& row) {
  try {
    return append_record(path, csv_record(row));
  } catch (const std::exception& e) {
    return failure_text(path, e.what());
  } catch (...) {
    return failure_text(path, "unknown error");
  }
}

std::string default_batch_log_path(bool simulated) {
  const std::string base = data_home();
  if (base.empty()) return {};
  return base + "/" + std::string(kFolderName) + "/" + std::string(simulated ? kSimulatedLogName : kLogName);
}

std::optional<std::string> create_batch_log_folder(const std::string& log_path) {
  const auto slash = log_path.rfind('/');
  if (slash == std::string::npos || slash == 0) return std::nullopt;  // the current or the root folder
  try {
    return make_folders(log_path.substr(0, slash));
  } catch (const std::exception& e) {
    return failure_text(log_path, e.what());
  }
}

}  // namespace q5::files
