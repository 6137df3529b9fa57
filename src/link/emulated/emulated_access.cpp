#include "link/emulated/emulated_access.h"

namespace q5::link {

EmulatedLptAccess::EmulatedLptAccess(EmulatedPagerPort& port, Clock& clock, std::size_t lpt_index)
    : name_(lpt_cable_name(lpt_index)), cable_(port, clock, [base = kLptPorts.at(lpt_index).base] { return base; }) {}

Claim EmulatedLptAccess::claim() {
  ++claims_;
  if (!missing_cause_.empty()) return {ClaimStatus::unavailable, name_ + ": " + missing_cause_};
  if (held_claims_ > 0) {
    if (held_claims_ != kForGood) --held_claims_;
    return {ClaimStatus::in_use, name_ + ": held by another program"};
  }
  claimed_ = true;
  return {ClaimStatus::claimed, {}};
}

void EmulatedLptAccess::release() {
  if (!claimed_) return;
  claimed_ = false;
  ++releases_;
}

}  // namespace q5::link
