// The bench's queue of events the register could not take.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "files/batch_log.h"
#include "register/event_json.h"
#include "register/register.h"

namespace q5::reg {

namespace {

// A lock file beside the queue, held while the queue is read or changed;
// the queue itself is replaced by rename, so that a crash leaves either the
// old or the new queue, never half of one.
class QueueLock {
 public:
  explicit QueueLock(const std::string& queue) {
    if (const auto problem = files::create_batch_log_folder(queue)) throw RegisterError(*problem);
    const std::string path = queue + ".lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) throw RegisterError(path + ": " + std::strerror(errno));
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        const int error = errno;
        ::close(fd_);
        throw RegisterError(path + ": " + std::strerror(error));
      }
    }
  }
  ~QueueLock() { ::close(fd_); }
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;

 private:
  int fd_ = -1;
};

std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

void write_all(int fd, const std::string& text, const std::string& path) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw RegisterError(path + ": " + std::strerror(errno));
    done += static_cast<std::size_t>(n);
  }
}

void replace_queue(const std::string& path, const std::vector<std::string>& lines) {
  if (lines.empty()) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw RegisterError(path + ": " + std::strerror(errno));
    return;
  }
  const std::string temporary = path + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw RegisterError(temporary + ": " + std::strerror(errno));
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  try {
    write_all(fd, text, temporary);
    if (::fsync(fd) != 0) throw RegisterError(temporary + ": " + std::strerror(errno));
  } catch (...) {
    ::close(fd);
    ::unlink(temporary.c_str());
    throw;
  }
  ::close(fd);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw RegisterError(path + ": " + std::strerror(error));
  }
}

}  // namespace

void PendingEvents::keep(const PagerEvent& event) {
  if (path_.empty()) throw RegisterError("no place to keep the event (no home folder)");
  const QueueLock lock(path_);
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) throw RegisterError(path_ + ": " + std::strerror(errno));
  try {
    write_all(fd, event_to_json(event).dump() + '\n', path_);
    if (::fsync(fd) != 0) throw RegisterError(path_ + ": " + std::strerror(errno));
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
}

std::size_t PendingEvents::deliver(Register& reg) {
  if (path_.empty() || ::access(path_.c_str(), F_OK) != 0) return 0;
  const QueueLock lock(path_);
  const std::vector<std::string> lines = read_lines(path_);
  std::vector<std::string> left;
  std::size_t delivered = 0;
  bool stopped = false;
  for (const std::string& line : lines) {
    if (stopped) {
      left.push_back(line);
      continue;
    }
    PagerEvent event;
    try {
      event = event_from_json(nlohmann::json::parse(line));
    } catch (const std::exception&) {
      left.push_back(line);  // kept for a person to look at, never dropped
      continue;
    }
    try {
      reg.record(event);
      ++delivered;
    } catch (const RegisterError&) {
      left.push_back(line);
      stopped = true;
    }
  }
  if (delivered > 0) replace_queue(path_, left);
  return delivered;
}

std::size_t PendingEvents::size() const { return read_lines(path_).size(); }

}  // namespace q5::reg
