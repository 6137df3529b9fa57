// The simulated pager: an emulated 93C56 on the cable of LPT1, timed on the
// real clock with the same waits as the hardware, holding a factory image.
#include "app/platform.h"
#include "image/codec.h"
#include "link/emulated_access.h"

namespace {

// What a pager holds when it leaves the factory: the form's defaults with a
// serial number of its own.
q5::image::Image factory_image() {
  q5::image::Settings factory;
  factory.serial = "00000001";
  return q5::image::encode(factory);
}

class DemoPlatform final : public Platform {
 public:
  DemoPlatform() : pager_(clock_, q5::link::kLpt1Base), lpt1_(pager_, clock_, 0), lpt2_(pager_, clock_, 1) {
    pager_.chip().load(factory_image());
  }

  PortsOpened open_ports() override { return {true, {}}; }
  void close_ports() override {}
  void timer_init() override {}
  q5::link::CableAccess& lpt(int index) override { return index == 0 ? lpt1_ : lpt2_; }
  bool simulated() const override { return true; }

 private:
  q5::link::SteadyClock clock_;
  q5::link::EmulatedPagerPort pager_;
  q5::link::EmulatedLptAccess lpt1_;
  q5::link::EmulatedLptAccess lpt2_;
};

}  // namespace

std::unique_ptr<Platform> make_demo_platform() { return std::make_unique<DemoPlatform>(); }
