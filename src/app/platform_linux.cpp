// The real machine: ppdev for the parallel ports, the kernel's version, the
// monotonic clock.
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>

#include "app/platform.h"
#include "link/ppdev_ports.h"

namespace {

// The kernel's major version ("6" of "6.1.0-13-amd64").
int kernel_major_version() {
  utsname name{};
  if (uname(&name) != 0) return 0;
  return std::atoi(name.release);
}

class LinuxPlatform final : public Platform {
 public:
  int os_version() override { return kernel_major_version(); }

  bool driver_init() override {
    const bool granted = ports_.open_all();
    if (!ports_.failures().empty()) std::fprintf(stderr, "%s", ports_.failures().c_str());
    return granted;
  }

  void driver_shutdown() override { ports_.close_all(); }

  // Nothing to program: the link's waits are measured on the monotonic
  // clock, which runs from boot.
  void timer_init() override {}

  q5::link::PortIo& ports() override { return ports_; }
  q5::link::Clock& clock() override { return clock_; }

 private:
  q5::link::PpdevPorts ports_;
  q5::link::SteadyClock clock_;
};

}  // namespace

std::unique_ptr<Platform> make_linux_platform() { return std::make_unique<LinuxPlatform>(); }
