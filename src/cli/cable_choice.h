// Which cable a pager command uses, chosen on the command line. Every kind
// of cable is added here: its options and how it is opened.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/pager_session.h"

namespace CLI {
class App;
}

namespace q5::cli {

struct CableChoice {
  std::size_t lpt_index = 0;  // LPT1 (0) or LPT2 (1)
  bool simulated = false;     // the simulated pager instead of the port
  bool usb = false;           // the USB cable instead of the port
  std::string usb_serial;     // that board's serial number; empty: the first found
};

// A cable opened for the run, with whatever it needs kept alive.
class OpenedCable {
 public:
  virtual ~OpenedCable() = default;
  virtual link::CableAccess& access() = 0;
  // Why the chosen cable cannot be used (its device did not open), one
  // line each; empty when it may be.
  virtual std::vector<std::string> problems() const { return {}; }
};

using CableOpener = std::function<std::unique_ptr<OpenedCable>(const CableChoice&)>;

// The cable options of a pager command, filling `choice`.
void add_cable_options(CLI::App& command, CableChoice& choice);

// The chosen cable on this machine, on the real clock: a parallel port
// through ppdev, the USB cable, or the simulated pager. Never fails: a port that cannot be
// opened says so in problems(), and its claims fail.
std::unique_ptr<OpenedCable> open_cable(const CableChoice& choice);

}  // namespace q5::cli
