// A USB board with the serial engine (MPSSE) behind the FtdiDevice seam,
// the USB pager cable on its pins, and the emulated 93C56 at the other end,
// for the tests (and a simulated USB cable). Written from FTDI's description
// of the engine's commands: the low byte set and read, the clock divisor,
// divide-by-5, adaptive and three-phase clocking, loopback, bits and bytes
// clocked out and in on either edge, most significant bit first, and "send
// immediate".
//
// Commands run as they are written, each clock edge at its own time on the
// clock given (waited for on it), so that the chip's timing checks hold the
// cable to the same minimums as on the parallel port, and the clock reads
// the time at the pins. Anything else the engine is sent is recorded as a
// problem, for a test to fail on.
#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "link/emulated/emulated_pager.h"
#include "link/ftdi_device.h"
#include "link/mpsse_cable.h"
#include "link/port_io.h"

namespace q5::link {

// One board on the emulated USB bus.
struct EmulatedBoard {
  std::uint16_t product = kFt232hProduct;
  FtdiChip chip = FtdiChip::ft232h;
  std::string serial = "Q5USB001";
  // What opening it gives: opened, or permission_denied or busy.
  FtdiOpen access = FtdiOpen::opened;
};

class EmulatedMpsse final : public FtdiDevice {
 public:
  static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

  // One FT232H with the pager on its cable.
  explicit EmulatedMpsse(Clock& clock, const MpsseWiring& wiring = kUsbPagerCable);

  // ---- the seam
  FtdiOpen open(std::uint16_t product, const std::string& serial, int index) override;
  FtdiChip chip() const override;
  bool set_mode(FtdiMode mode) override;
  FtdiTransfer write(std::span<const std::uint8_t> data) override;
  FtdiTransfer read(std::span<std::uint8_t> data, std::chrono::milliseconds timeout) override;
  void close() override;
  std::string error() const override { return error_; }

  // ---- the bench
  // The boards on the bus, in the order they are found. Whichever opens
  // has the pager on its cable.
  void set_boards(std::vector<EmulatedBoard> boards) { boards_ = std::move(boards); }
  Eeprom93C56& pager() { return chip_; }
  const Eeprom93C56& pager() const { return chip_; }
  // No chip: DO stays high (its pull-up). A pulled cable: from then on the
  // chip's inputs are low and DO reads high.
  void set_pager_present(bool present) { pager_present_ = present; }
  void pull_cable_after_pulses(std::uint64_t pulses) { pull_after_pulses_ = pulses; }
  void pull_cable_at_ns(std::int64_t at_ns) { pull_at_ns_ = at_ns; }

  // Board faults, counted in transfers (a write or a read each) from now:
  // that many more go through, then the board is gone (every call fails
  // and the bus no longer lists it) or silent (writes are taken and lost,
  // reads time out).
  void unplug_after_transfers(std::uint64_t transfers);
  void stop_answering_after_transfers(std::uint64_t transfers);
  // Back on the bus, answering.
  void plug_in();
  // Outside engine mode the low byte is the serial port again: ADBUS0 TXD
  // (idling high), ADBUS2 RTS# and ADBUS4 DTR# drive, the rest are inputs.
  // DTR# is high (not asserted) unless told otherwise.
  void set_dtr_asserted(bool asserted) { dtr_asserted_ = asserted; }

  // ---- records
  bool is_open() const { return opened_.has_value(); }
  FtdiMode mode() const { return mode_; }
  // The serial number of the board open now, or of the one opened last.
  const std::string& opened_serial() const { return opened_serial_; }
  std::uint64_t opens() const { return opens_; }
  std::uint64_t writes() const { return writes_; }
  std::uint64_t reads() const { return reads_; }
  std::uint64_t transfers() const { return writes_ + reads_; }
  std::uint64_t clock_pulses() const { return pulses_; }  // rising SK edges
  // The low byte as the board drives it, and as it was when the engine was
  // last left (a reset, or the board unplugged). Closing the board leaves
  // the engine running and the pins as they are.
  std::uint8_t pins() const;
  std::optional<std::uint8_t> pins_when_left() const { return pins_when_left_; }
  // SK's half period with the clock settings the engine has now.
  std::int64_t half_period_ns() const;
  // Commands the engine does not know or was not set up for, replies
  // without "send immediate", replies left unread: empty when the cable
  // spoke only what it should.
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  struct Shift;

  bool count_transfer();
  void problem(std::string what);
  void run(std::uint8_t opcode);
  std::size_t command_size(std::uint8_t opcode) const;
  void run_shift(const Shift& shift, std::span<const std::uint8_t> data);
  void set_low_byte(std::uint8_t value, std::uint8_t directions);
  void leave_engine();
  void feed_chip();
  bool data_out_line() const;  // the pager's DO
  bool tdo_line() const;       // what the engine reads
  bool high_speed() const { return chip() != FtdiChip::ft2232cd; }
  std::uint8_t driven() const;  // the pins the board drives now
  bool driven_level(std::uint8_t mask) const;

  Clock& clock_;
  MpsseWiring wiring_;
  std::vector<EmulatedBoard> boards_;
  Eeprom93C56 chip_;
  bool pager_present_ = true;
  bool dtr_asserted_ = false;
  bool pulled_ = false;
  std::uint64_t pull_after_pulses_ = kNever;
  std::int64_t pull_at_ns_ = std::numeric_limits<std::int64_t>::max();

  std::uint64_t unplug_at_ = kNever;
  std::uint64_t silent_at_ = kNever;
  bool unplugged_ = false;
  bool silent_ = false;

  std::optional<std::size_t> opened_;
  std::string opened_serial_;
  FtdiMode mode_ = FtdiMode::reset;
  std::string error_;

  // The engine.
  std::deque<std::uint8_t> input_;  // written, not yet run (a command may span writes)
  std::vector<std::uint8_t> produced_;  // replies not yet sent on
  std::deque<std::uint8_t> reply_;      // sent on, for the host to read
  std::uint8_t value_ = 0;
  std::uint8_t directions_ = 0;
  bool sk_ = false;
  bool tdi_ = false;
  std::uint16_t divisor_ = 0;
  bool divide_by_5_ = true;
  bool three_phase_ = false;
  bool adaptive_ = false;
  bool loopback_ = false;

  std::uint64_t opens_ = 0;
  std::uint64_t writes_ = 0;
  std::uint64_t reads_ = 0;
  std::uint64_t pulses_ = 0;
  bool chip_sk_ = false;  // SK as the chip saw it last
  std::optional<std::uint8_t> pins_when_left_;
  std::vector<std::string> problems_;
};

}  // namespace q5::link
