// An owned file descriptor, for the file modules' own use.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace q5::files::detail {

// Owns one open descriptor and closes it unless it was closed on purpose.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and tells whether the kernel reported an error. Linux releases
  // the descriptor even when close() is interrupted, so EINTR is no failure.
  bool close() {
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

}  // namespace q5::files::detail
