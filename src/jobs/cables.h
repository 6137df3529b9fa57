// Which cable a pager command goes through, and the catalogue that turns
// that choice into a cable the program can claim. The window's LPT menu and
// the command line's --lpt, --usb, --usb-serial and --demo all choose here,
// so every kind of cable is built in one place.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "link/pager_session.h"

namespace q5::jobs {

struct CableChoice {
  enum class Kind { lpt, usb };
  Kind kind = Kind::lpt;
  std::size_t lpt_index = 0;  // LPT1 (0) or LPT2 (1)
  std::string usb_serial;     // the board's serial number; empty: the first board found

  static CableChoice lpt(std::size_t index) { return {Kind::lpt, index, {}}; }
  static CableChoice usb(std::string serial = {}) { return {Kind::usb, 0, std::move(serial)}; }
};

// How opening the parallel ports went at start-up.
struct PortsOpened {
  bool any = false;                   // at least one parallel port can be used
  std::vector<std::string> problems;  // one line per port that cannot, and why
};

// Every cable of one bench: the machine's own, or the simulated pager's.
class Cables {
 public:
  virtual ~Cables() = default;

  // Opens the parallel ports for the run, without taking them from other
  // programs: a port is claimed only while a pager command runs.
  virtual PortsOpened open_ports() = 0;
  // Gives the ports back.
  virtual void close_ports() = 0;
  // The cable chosen. A USB board is looked for only when a command claims
  // it, so it may be plugged in after the program started.
  virtual link::CableAccess& access(const CableChoice& choice) = 0;
  // Why the chosen cable cannot be used, one line each; empty when it may be.
  virtual std::vector<std::string> problems(const CableChoice& choice) { (void)choice; return {}; }
  // True for the simulated pager: the caption, the log and the register say so.
  virtual bool simulated() const { return false; }
};

// The machine's cables: the parallel ports through ppdev, USB boards through
// libftdi1, timed on the monotonic clock.
std::unique_ptr<Cables> make_machine_cables();

// The simulated pager of q5prog-demo and `q5prog-cli --demo`: an emulated
// 93C56 holding a factory image on LPT1, and another behind a simulated USB
// board, timed on the real clock. (In the q5_jobs_simulated library.)
std::unique_ptr<Cables> make_simulated_cables();

}  // namespace q5::jobs
