#include "link/emulated/simulated_pager.h"

#include "image/codec.h"

namespace q5::link {

namespace {

constexpr const char* kFactorySerial = "00000001";

}  // namespace

SimulatedPager::SimulatedPager() : port_(clock_, kLpt1Base), lpt1_(port_, clock_, 0), lpt2_(port_, clock_, 1) {
  port_.chip().load(factory_image());
}

image::Image SimulatedPager::factory_image() {
  image::Settings factory;
  factory.serial = kFactorySerial;
  return image::encode(factory);
}

}  // namespace q5::link
