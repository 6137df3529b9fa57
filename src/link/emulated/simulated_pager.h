// The simulated pager: an emulated 93C56 holding a factory image, on the
// cables of both parallel ports, timed on the real clock with the same waits
// as the hardware. The chip answers only on LPT1, as a pager plugged into
// the first port would. q5prog-demo and `q5prog-cli --demo` use it.
#pragma once

#include <cstddef>

#include "image/image.h"
#include "link/emulated/emulated_access.h"
#include "link/emulated/emulated_pager.h"
#include "link/port_io.h"

namespace q5::link {

class SimulatedPager {
 public:
  SimulatedPager();
  SimulatedPager(const SimulatedPager&) = delete;
  SimulatedPager& operator=(const SimulatedPager&) = delete;

  // What a pager holds when it leaves the factory: the form's defaults with
  // a serial number of its own.
  static image::Image factory_image();

  // The cable on LPT1 (0) or LPT2 (1).
  EmulatedLptAccess& lpt(std::size_t index) { return index == 0 ? lpt1_ : lpt2_; }
  EmulatedPagerPort& port() { return port_; }

 private:
  SteadyClock clock_;
  EmulatedPagerPort port_;
  EmulatedLptAccess lpt1_;
  EmulatedLptAccess lpt2_;
};

}  // namespace q5::link
