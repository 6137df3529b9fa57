#include "jobs/cables.h"
#include "link/emulated/emulated_mpsse.h"
#include "link/emulated/simulated_pager.h"
#include "link/usb_access.h"

namespace q5::jobs {

namespace {

class SimulatedCables final : public Cables {
 public:
  SimulatedCables() { usb_board_.pager().load(link::SimulatedPager::factory_image()); }

  PortsOpened open_ports() override { return {true, {}}; }
  void close_ports() override {}
  link::CableAccess& access(const CableChoice& choice) override {
    if (choice.kind == CableChoice::Kind::usb) return usb_;
    return pager_.lpt(choice.lpt_index == 0 ? 0 : 1);
  }
  bool simulated() const override { return true; }

 private:
  link::SimulatedPager pager_;
  link::SteadyClock clock_;
  // A simulated USB board, with a pager of its own on its cable; any serial
  // number asked for finds it.
  link::EmulatedMpsse usb_board_{clock_};
  link::UsbCableAccess usb_{usb_board_, clock_};
};

}  // namespace

std::unique_ptr<Cables> make_simulated_cables() { return std::make_unique<SimulatedCables>(); }

}  // namespace q5::jobs
