// What the program needs from the machine: the operating-system version,
// access to the parallel ports, and the clock the link is timed on.
#pragma once

#include <memory>

#include "link/port_io.h"

class Platform {
 public:
  virtual ~Platform() = default;
  // The operating system's major version (on Linux, the kernel's). Port
  // access is requested through the driver only from version 5 on.
  virtual int os_version() = 0;
  // Requests port access. True when it was granted.
  virtual bool driver_init() = 0;
  // Gives port access back.
  virtual void driver_shutdown() = 0;
  // Sets up the clock the link's waits are measured on.
  virtual void timer_init() = 0;
  virtual q5::link::PortIo& ports() = 0;
  virtual q5::link::Clock& clock() = 0;
  // True for the simulated pager: the caption and the log say so.
  virtual bool simulated() const { return false; }
};

// The parallel ports through ppdev, the real monotonic clock.
std::unique_ptr<Platform> make_linux_platform();
// An emulated 93C56 holding a factory image, on the real clock.
std::unique_ptr<Platform> make_demo_platform();
