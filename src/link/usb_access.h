// The USB cable as a cable the program claims for one command: the first
// FT232H or FT2232H found (or the one with a given serial number) opened and
// put in engine mode for the command, and let go after it, so that between
// commands it is free for other programs and may be unplugged.
#pragma once

#include <memory>
#include <string>

#include "ftdi_device.h"
#include "mpsse_cable.h"
#include "pager_session.h"
#include "port_io.h"

namespace q5::link {

class UsbCableAccess final : public CableAccess {
 public:
  // Boards of one USB ID tried at most, so that a library that keeps
  // failing cannot keep the claim going.
  static constexpr int kMaxBoards = 16;

  // `serial` empty: the first board found, FT232H boards before FT2232H.
  UsbCableAccess(FtdiDevice& device, Clock& clock, std::string serial = {});
  ~UsbCableAccess() override;
  UsbCableAccess(const UsbCableAccess&) = delete;
  UsbCableAccess& operator=(const UsbCableAccess&) = delete;

  // "USB (FT232H/FT2232H)".
  std::string name() const override { return kUsbCableName; }
  // Never blocks: a board another program holds is in_use at once; no
  // board, a board this user may not open, an FT2232C/D, or one that does
  // not answer is unavailable, the cause naming it.
  Claim claim() override;
  // The board closed, left in engine mode with its lines as the command
  // left them: clock low, chip deselected, the release lines high after a
  // read or a failure and low after a verified write. (Leaving the engine
  // would hand the pins back to the serial port: the clock line would
  // idle high as TXD and the release lines follow DTR#.)
  void release() override;
  Cable& cable() override { return cable_; }

  const MpsseCable& mpsse() const { return cable_; }
  bool claimed() const { return claimed_; }

 private:
  Claim open_board();

  FtdiDevice& device_;
  std::string serial_;
  MpsseCable cable_;
  bool claimed_ = false;
};

// The cable on a real board through libftdi1: what the window's USB item
// and the command line's --usb (with --usb-serial) use.
std::unique_ptr<CableAccess> make_usb_cable_access(Clock& clock, std::string serial = {});

}  // namespace q5::link
