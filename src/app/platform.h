// What the window needs from the machine: the cables of the bench (the
// parallel ports, USB boards, or the simulated pager), and the clock the
// link is timed on.
#pragma once

#include <memory>

#include "jobs/cables.h"

class Platform : public q5::jobs::Cables {
 public:
  // Sets up the clock the link's waits are measured on.
  virtual void timer_init() = 0;
};

// The window on a bench's cables. The link's waits are measured on the
// monotonic clock, which runs from boot: there is no timer to set up.
std::unique_ptr<Platform> make_platform(std::unique_ptr<q5::jobs::Cables> cables);
// The parallel ports through ppdev and USB boards through libftdi1.
std::unique_ptr<Platform> make_linux_platform();
// The simulated pager (in the q5_app_demo library).
std::unique_ptr<Platform> make_demo_platform();
