// The real machine: ppdev for the parallel ports, the monotonic clock.
#include <cstdio>
#include <memory>

#include "app/platform.h"
#include "link/ppdev_ports.h"
#include "link/usb_access.h"

namespace {

class LinuxPlatform final : public Platform {
 public:
  // Every Linux kernel reaches the parallel port through ppdev, so the
  // devices are opened whatever the kernel's version says.
  PortsOpened open_ports() override {
    ports_ = std::make_unique<q5::link::PpdevPorts>(clock_);
    PortsOpened opened;
    opened.any = q5::link::any_port_opened(ports_->openings());
    opened.problems = q5::link::port_opening_log(ports_->openings());
    // Also for whoever started the program from a terminal.
    for (const std::string& problem : opened.problems) std::fprintf(stderr, "%s\n", problem.c_str());
    return opened;
  }

  void close_ports() override { ports_.reset(); }

  // Nothing to program: the link's waits are measured on the monotonic
  // clock, which runs from boot.
  void timer_init() override {}

  q5::link::CableAccess& lpt(int index) override {
    if (!ports_) ports_ = std::make_unique<q5::link::PpdevPorts>(clock_);
    return ports_->access(static_cast<std::size_t>(index));
  }

  // A board is opened only while a command runs, so it may be plugged in
  // after the program started.
  q5::link::CableAccess& usb() override {
    if (!usb_) usb_ = q5::link::make_usb_cable_access(clock_);
    return *usb_;
  }

 private:
  q5::link::SteadyClock clock_;
  std::unique_ptr<q5::link::PpdevPorts> ports_;
  std::unique_ptr<q5::link::CableAccess> usb_;
};

}  // namespace

std::unique_ptr<Platform> make_linux_platform() { return std::make_unique<LinuxPlatform>(); }
