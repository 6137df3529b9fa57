// A platform for tests: the emulated pager on a virtual clock (transfers take
// milliseconds) behind both parallel ports, another behind a USB board,
// ports that open or not as the test says, claims it can script, and a
// count of every call.
#pragma once

#include "app/platform.h"
#include "link/emulated/emulated_access.h"
#include "link/emulated/emulated_mpsse.h"
#include "link/emulated/emulated_pager.h"
#include "link/usb_access.h"

class FakePlatform final : public Platform {
 public:
  FakePlatform() : pager(virtual_clock, q5::link::kLpt1Base), lpt1(pager, virtual_clock, 0), lpt2(pager, virtual_clock, 1) {}

  q5::jobs::PortsOpened open_ports() override {
    ++open_calls;
    return {ports_open, problems};
  }
  void close_ports() override { ++close_calls; }
  void timer_init() override { ++timer_init_calls; }
  q5::link::CableAccess& access(const q5::jobs::CableChoice& choice) override {
    if (choice.kind == q5::jobs::CableChoice::Kind::usb) return usb_cable;
    return choice.lpt_index == 0 ? lpt1 : lpt2;
  }

  bool ports_open = true;
  std::vector<std::string> problems;  // the log lines of ports that would not open
  int open_calls = 0;
  int close_calls = 0;
  int timer_init_calls = 0;

  q5::link::VirtualClock virtual_clock;
  q5::link::EmulatedPagerPort pager;
  q5::link::EmulatedLptAccess lpt1;
  q5::link::EmulatedLptAccess lpt2;
  // A USB board with a pager of its own on its cable.
  q5::link::EmulatedMpsse usb_board{virtual_clock};
  q5::link::UsbCableAccess usb_cable{usb_board, virtual_clock};
};
