#include "usb_access.h"

#include <array>
#include <utility>

namespace q5::link {

namespace {

// FT232H boards first: a single-channel board is the one a technician buys
// for this cable.
constexpr std::array<std::uint16_t, 2> kProducts{kFt232hProduct, kFt2232Product};

bool supported(FtdiChip chip) { return chip == FtdiChip::ft232h || chip == FtdiChip::ft2232h; }

std::string refusal(FtdiChip chip) {
  const char* what = chip == FtdiChip::ft2232cd ? "FT2232C/D boards" : "Boards of this kind";
  return std::string("USB cable: ") + what + " are not supported; use an FT232H or FT2232H";
}

// What the boards that were found but not opened said, the most telling
// first when none could be used.
struct Refusals {
  bool busy = false;
  bool denied = false;
  std::string unsupported;
  std::string failed;

  Claim claim(const std::string& serial) const {
    const std::string cable = kUsbCableLog;
    if (busy) return {ClaimStatus::in_use, cable + ": held by another program"};
    if (denied) return {ClaimStatus::unavailable, cable + ": permission denied - see the README for the udev rule"};
    if (!unsupported.empty()) return {ClaimStatus::unavailable, unsupported};
    if (!failed.empty()) return {ClaimStatus::unavailable, cable + ": " + failed};
    if (!serial.empty()) return {ClaimStatus::unavailable, cable + " with serial number " + serial + " not found"};
    return {ClaimStatus::unavailable, cable + " not found"};
  }
};

}  // namespace

UsbCableAccess::UsbCableAccess(FtdiDevice& device, Clock& clock, std::string serial)
    : device_(device), serial_(std::move(serial)), cable_(device, clock) {}

UsbCableAccess::~UsbCableAccess() { release(); }

Claim UsbCableAccess::open_board() {
  Refusals refusals;
  for (const std::uint16_t product : kProducts) {
    for (int index = 0; index < kMaxBoards; ++index) {
      const FtdiOpen opened = device_.open(product, serial_, index);
      if (opened == FtdiOpen::not_found) break;
      switch (opened) {
        case FtdiOpen::busy: refusals.busy = true; continue;
        case FtdiOpen::permission_denied: refusals.denied = true; continue;
        case FtdiOpen::failed: refusals.failed = device_.error(); continue;
        default: break;
      }
      if (supported(device_.chip())) return {ClaimStatus::claimed, {}};
      // Same USB ID, but without the commands the cable needs.
      refusals.unsupported = refusal(device_.chip());
      device_.close();
    }
  }
  return refusals.claim(serial_);
}

Claim UsbCableAccess::claim() {
  if (claimed_) return {ClaimStatus::claimed, {}};
  Claim claim = open_board();
  if (claim.status != ClaimStatus::claimed) return claim;
  if (!device_.set_mode(FtdiMode::reset) || !device_.set_mode(FtdiMode::mpsse)) {
    claim = {ClaimStatus::unavailable, std::string(kUsbCableLog) + ": " + device_.error()};
  } else if (!cable_.start()) {
    claim = {ClaimStatus::unavailable, cable_.fault()};
  }
  if (claim.status != ClaimStatus::claimed) {
    device_.set_mode(FtdiMode::reset);
    device_.close();
    return claim;
  }
  claimed_ = true;
  return claim;
}

void UsbCableAccess::release() {
  if (!claimed_) return;
  claimed_ = false;
  cable_.finish();
  device_.close();
}

}  // namespace q5::link
