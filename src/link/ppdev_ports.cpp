#include "ppdev_ports.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace q5::link {

namespace {

constexpr std::array<std::uint16_t, 2> kBases{kLpt1Base, kLpt2Base};

// What the technician can do about a device that would not open.
const char* remedy(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
      return " Add your user to the group lp (sudo adduser $USER lp), then log in again.";
    case ENOENT:
      return " The parport_pc and ppdev kernel modules may need loading (sudo modprobe ppdev).";
    case ENXIO:
    case ENODEV:
      return " No parallel port answers behind it; check that the port is enabled in the "
             "machine's firmware setup.";
    default:
      return "";
  }
}

std::string describe(const std::string& path, int lpt_index, const char* what, int err) {
  char head[96];
  std::snprintf(head, sizeof head, " (LPT%d, 0x%03X) ", lpt_index + 1,
                static_cast<unsigned>(kBases[static_cast<std::size_t>(lpt_index)]));
  return path + head + what + ": " + std::strerror(err) + "." + remedy(err);
}

}  // namespace

PpdevPorts::PpdevPorts() : PpdevPorts("/dev/parport0", "/dev/parport1") {}

PpdevPorts::PpdevPorts(std::string lpt1_device, std::string lpt2_device)
    : paths_{std::move(lpt1_device), std::move(lpt2_device)} {}

PpdevPorts::~PpdevPorts() { close_all(); }

bool PpdevPorts::open_all() {
  close_all();
  failures_.clear();
  bool any = false;
  for (int i = 0; i < 2; ++i) {
    const std::string& path = paths_[static_cast<std::size_t>(i)];
    std::string failure;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      failure = describe(path, i, "could not be opened", errno);
    } else if (::ioctl(fd, PPCLAIM) < 0) {
      failure = describe(path, i, "could not be claimed", errno);
      ::close(fd);
    } else {
      // Drive the data lines (they carry chip select and DI).
      int forward = 0;
      ::ioctl(fd, PPDATADIR, &forward);
      fds_[static_cast<std::size_t>(i)] = fd;
      any = true;
    }
    if (!failure.empty()) {
      if (!failures_.empty()) failures_ += '\n';
      failures_ += failure;
    }
  }
  return any;
}

void PpdevPorts::close_all() {
  for (int& fd : fds_) {
    if (fd < 0) continue;
    ::ioctl(fd, PPRELEASE);
    ::close(fd);
    fd = -1;
  }
}

bool PpdevPorts::is_open(int lpt_index) const {
  return lpt_index >= 0 && lpt_index < 2 && fds_[static_cast<std::size_t>(lpt_index)] >= 0;
}

namespace {

// Splits an I/O address into the port's index and the register offset;
// false for an address that belongs to neither port.
bool locate(std::uint16_t port, std::size_t& index, std::uint16_t& reg) {
  for (std::size_t i = 0; i < kBases.size(); ++i) {
    if (port >= kBases[i] && port <= kBases[i] + kControlRegister) {
      index = i;
      reg = static_cast<std::uint16_t>(port - kBases[i]);
      return true;
    }
  }
  return false;
}

}  // namespace

std::uint8_t PpdevPorts::port_in(std::uint16_t port) {
  std::size_t i = 0;
  std::uint16_t reg = 0;
  if (!locate(port, i, reg) || fds_[i] < 0) return 0xFF;
  unsigned char value = 0xFF;
  unsigned long request = PPRSTATUS;
  if (reg == kDataRegister) request = PPRDATA;
  if (reg == kControlRegister) request = PPRCONTROL;
  if (::ioctl(fds_[i], request, &value) < 0) return 0xFF;
  return value;
}

void PpdevPorts::port_out(std::uint16_t port, std::uint8_t value) {
  std::size_t i = 0;
  std::uint16_t reg = 0;
  if (!locate(port, i, reg) || fds_[i] < 0) return;
  unsigned char v = value;
  // The status register is read-only.
  if (reg == kDataRegister) ::ioctl(fds_[i], PPWDATA, &v);
  if (reg == kControlRegister) ::ioctl(fds_[i], PPWCONTROL, &v);
}

}  // namespace q5::link
