// What the program needs from the machine: the parallel ports, the cable on
// each, and the clock the link is timed on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/pager_session.h"

class Platform {
 public:
  virtual ~Platform() = default;

  struct PortsOpened {
    bool any = false;                   // at least one parallel port can be used
    std::vector<std::string> problems;  // one log line per port that cannot, and why
  };
  // Opens the parallel ports for the run, without taking them from other
  // programs: a port is claimed only while a pager command runs.
  virtual PortsOpened open_ports() = 0;
  // Gives the ports back (File > Exit).
  virtual void close_ports() = 0;
  // Sets up the clock the link's waits are measured on.
  virtual void timer_init() = 0;
  // The cable on LPT1 (0) or LPT2 (1).
  virtual q5::link::CableAccess& lpt(int index) = 0;
  // The cable on a USB board (FT232H or FT2232H), the first one found.
  virtual q5::link::CableAccess& usb() = 0;
  // True for the simulated pager: the caption and the log say so.
  virtual bool simulated() const { return false; }
};

// The parallel ports through ppdev, the real monotonic clock.
std::unique_ptr<Platform> make_linux_platform();
// An emulated 93C56 holding a factory image, on the real clock.
std::unique_ptr<Platform> make_demo_platform();
