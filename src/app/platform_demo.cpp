// The simulated pager: an emulated 93C56 on the cable of LPT1, timed on the
// real clock with the same waits as the hardware, holding a factory image.
#include "app/platform.h"

#include <sys/utsname.h>

#include <cstdlib>

#include "image/codec.h"
#include "link/emulated_pager.h"

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
  DemoPlatform() : pager_(clock_, q5::link::kLpt1Base) { pager_.chip().load(factory_image()); }

  int os_version() override {
    utsname name{};
    return uname(&name) == 0 ? std::atoi(name.release) : 0;
  }
  bool driver_init() override { return true; }
  void driver_shutdown() override {}
  void timer_init() override {}
  q5::link::PortIo& ports() override { return pager_; }
  q5::link::Clock& clock() override { return clock_; }
  bool simulated() const override { return true; }

 private:
  q5::link::SteadyClock clock_;
  q5::link::EmulatedPagerPort pager_;
};

}  // namespace

std::unique_ptr<Platform> make_demo_platform() { return std::make_unique<DemoPlatform>(); }
