// Whole files as bytes, with plain system calls: QFile's buffers would make
// writing the costliest step of a long randomised run under the address
// sanitizer.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

namespace q5::test {

using Bytes = std::vector<std::uint8_t>;

inline bool write_bytes(const QString& path, const Bytes& bytes) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const ssize_t written = ::write(fd, bytes.data(), bytes.size());
  return ::close(fd) == 0 && written == static_cast<ssize_t>(bytes.size());
}

// Empty when the file cannot be read.
inline Bytes read_bytes(const QString& path) {
  Bytes bytes;
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  std::uint8_t buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
  ::close(fd);
  return bytes;
}

}  // namespace q5::test
