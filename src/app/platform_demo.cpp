// The simulated pager in place of the parallel ports.
#include "app/platform.h"
#include "link/emulated/emulated_mpsse.h"
#include "link/emulated/simulated_pager.h"
#include "link/usb_access.h"

namespace {

class DemoPlatform final : public Platform {
 public:
  DemoPlatform() { usb_board_.pager().load(q5::link::SimulatedPager::factory_image()); }

  PortsOpened open_ports() override { return {true, {}}; }
  void close_ports() override {}
  void timer_init() override {}
  q5::link::CableAccess& lpt(int index) override { return pager_.lpt(index == 0 ? 0 : 1); }
  // A simulated USB board, with a pager of its own on its cable.
  q5::link::CableAccess& usb() override { return usb_; }
  bool simulated() const override { return true; }

 private:
  q5::link::SimulatedPager pager_;
  q5::link::SteadyClock clock_;
  q5::link::EmulatedMpsse usb_board_{clock_};
  q5::link::UsbCableAccess usb_{usb_board_, clock_};
};

}  // namespace

std::unique_ptr<Platform> make_demo_platform() { return std::make_unique<DemoPlatform>(); }
