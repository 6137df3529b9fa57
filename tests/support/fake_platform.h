// A platform for tests: the emulated pager on a virtual clock (transfers take
// milliseconds), a scripted operating-system version and driver, and a count
// of every driver call.
#pragma once

#include "app/platform.h"
#include "link/emulated_pager.h"

class FakePlatform final : public Platform {
 public:
  FakePlatform() : pager(virtual_clock, q5::link::kLpt1Base) {}

  int os_version() override { return version; }
  bool driver_init() override {
    ++driver_init_calls;
    return driver_grants;
  }
  void driver_shutdown() override { ++driver_shutdown_calls; }
  void timer_init() override { ++timer_init_calls; }
  q5::link::PortIo& ports() override { return pager; }
  q5::link::Clock& clock() override { return virtual_clock; }

  int version = 6;
  bool driver_grants = true;
  int driver_init_calls = 0;
  int driver_shutdown_calls = 0;
  int timer_init_calls = 0;

  q5::link::VirtualClock virtual_clock;
  q5::link::EmulatedPagerPort pager;
};
