#include <map>

#include "jobs/cables.h"
#include "link/ppdev_ports.h"
#include "link/usb_access.h"

namespace q5::jobs {

namespace {

class MachineCables final : public Cables {
 public:
  PortsOpened open_ports() override {
    PortsOpened opened;
    opened.any = link::any_port_opened(ports().openings());
    opened.problems = link::port_opening_log(ports().openings());
    return opened;
  }

  void close_ports() override { ports_.reset(); }

  link::CableAccess& access(const CableChoice& choice) override {
    if (choice.kind == CableChoice::Kind::usb) {
      std::unique_ptr<link::CableAccess>& board = usb_[choice.usb_serial];
      if (!board) board = link::make_usb_cable_access(clock_, choice.usb_serial);
      return *board;
    }
    return ports().access(choice.lpt_index);
  }

  std::vector<std::string> problems(const CableChoice& choice) override {
    if (choice.kind == CableChoice::Kind::usb || ports().is_open(choice.lpt_index)) return {};
    // Judged alone, the chosen port's missing device is worth a line even
    // when the other port opened.
    return link::port_problem(ports().openings().at(choice.lpt_index));
  }

 private:
  link::PpdevPorts& ports() {
    if (!ports_) ports_ = std::make_unique<link::PpdevPorts>(clock_);
    return *ports_;
  }

  link::SteadyClock clock_;
  std::unique_ptr<link::PpdevPorts> ports_;
  std::map<std::string, std::unique_ptr<link::CableAccess>> usb_;
};

}  // namespace

std::unique_ptr<Cables> make_machine_cables() { return std::make_unique<MachineCables>(); }

}  // namespace q5::jobs
