// The cable to the emulated pager, as a port the program claims: the LPT
// cable at one port's base on the emulated port, so that the protocol runs
// over the real wiring, and a claim that can be told to find the port held
// by another program. The simulated pager and the tests use it.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <utility>

#include "link/emulated/emulated_pager.h"
#include "link/lpt_cable.h"
#include "link/pager_session.h"

namespace q5::link {

class EmulatedLptAccess final : public CableAccess {
 public:
  static constexpr int kForGood = std::numeric_limits<int>::max();

  // The cable of LPT1 or LPT2 (`lpt_index` 0 or 1) on `port`. With the chip
  // on the other port's base, the link finds nothing, as on a real bench.
  EmulatedLptAccess(EmulatedPagerPort& port, Clock& clock, std::size_t lpt_index);

  std::string name() const override { return name_; }
  // Never waits: a port held elsewhere answers in_use at once.
  Claim claim() override;
  void release() override;
  Cable& cable() override { return cable_; }

  // Who else is on the port. Free: every claim succeeds. Held: the next
  // `claims` claims find it in use (kForGood: all of them, like a print
  // job that never ends). Without a device: every claim is unavailable.
  void set_free() {
    held_claims_ = 0;
    missing_cause_.clear();
  }
  void hold(int claims = kForGood) { held_claims_ = claims; }
  void remove_device(std::string cause) { missing_cause_ = std::move(cause); }

  int claims() const { return claims_; }
  int releases() const { return releases_; }
  bool claimed() const { return claimed_; }

 private:
  std::string name_;
  LptCable cable_;
  int held_claims_ = 0;
  std::string missing_cause_;
  int claims_ = 0;
  int releases_ = 0;
  bool claimed_ = false;
};

}  // namespace q5::link
