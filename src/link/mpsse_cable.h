// The pager cable on a USB board's serial engine (MPSSE, on an FT232H or
// FT2232H): each cable operation becomes engine commands, queued and sent in
// one transfer per wait, so that a command costs a handful of USB round trips
// instead of one per line change.
//
// The engine clocks SK at 5 kHz, 100 us high and 100 us low. It puts DI out
// on the falling edge, 100 us before the rising edge at which the chip takes
// it, and reads DO on the falling edge, 100 us after the rising edge that
// made the chip drive it. The engine has no wait that leaves SK alone, so a
// wait starts on the host once the board has answered everything before it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cable.h"
#include "ftdi_device.h"
#include "port_io.h"

namespace q5::link {

// Bits of the board's low byte (ADBUS0-7). The engine fixes the first three:
// its clock out on ADBUS0, data out on ADBUS1, data in on ADBUS2.
struct MpsseWiring {
  std::uint8_t sk;        // TCK: the EEPROM clock
  std::uint8_t di;        // TDI: data into the EEPROM
  std::uint8_t data_out;  // TDO: DO, pulled up on the pager side (1 = high)
  std::uint8_t cs;        // GPIO: chip select, pulled down (1 = selected)
  std::uint8_t release;   // GPIO: both release lines
};

// ADBUS0 SK, ADBUS1 DI, ADBUS2 DO (10 kOhm pull-up), ADBUS3 CS (10 kOhm
// pull-down), ADBUS4 (GPIOL0) the release lines.
inline constexpr MpsseWiring kUsbPagerCable{0x01, 0x02, 0x04, 0x08, 0x10};

// The engine commands the cable sends.
namespace mpsse {
constexpr std::uint8_t kBytesOutFalling = 0x11;  // clock bytes out on the falling edge, MSB first
constexpr std::uint8_t kBitsOutFalling = 0x13;   // clock 1-8 bits out on the falling edge, MSB first
constexpr std::uint8_t kBytesInFalling = 0x24;   // clock bytes in on the falling edge, MSB first
constexpr std::uint8_t kBitsInFalling = 0x26;    // clock 1-8 bits in on the falling edge, MSB first
constexpr std::uint8_t kSetLowByte = 0x80;       // value, direction (1 = output)
constexpr std::uint8_t kReadLowByte = 0x81;
constexpr std::uint8_t kLoopbackOff = 0x85;
constexpr std::uint8_t kClockDivisor = 0x86;  // divisor low, high
constexpr std::uint8_t kSendImmediate = 0x87;
constexpr std::uint8_t kDivideBy5Off = 0x8A;
constexpr std::uint8_t kThreePhaseOff = 0x8D;
constexpr std::uint8_t kAdaptiveOff = 0x97;

// SK = 60 MHz / ((1 + divisor) * 2): 5 kHz, a 100 us half period.
constexpr std::uint16_t kDivisor5kHz = 5999;
constexpr std::int64_t kHalfPeriodNs = 100'000;
static_assert(kHalfPeriodNs >= kBitWaitNs, "SK high, SK low and DI set-up each last one half period");
}  // namespace mpsse

// How the technician knows the cable, and the start of every log line
// about it.
inline constexpr const char* kUsbCableName = "USB (FT232H/FT2232H)";
inline constexpr const char* kUsbCableLog = "USB cable (FT232H/FT2232H)";

class MpsseCable final : public Cable {
 public:
  // Every transfer gives up after this long, so a board that stops
  // answering never hangs the program.
  static constexpr std::chrono::milliseconds kTransferTimeout{1000};
  // Received bytes queued before a transfer goes out anyway: well inside
  // the smallest board's 1 KiB buffer towards the host.
  static constexpr std::size_t kMaxReply = 512;

  MpsseCable(FtdiDevice& device, Clock& clock, const MpsseWiring& wiring = kUsbPagerCable);

  // On a board just put in engine mode: the 5 kHz clock, the lines at rest
  // (chip deselected, the release lines high) and one exchange to be sure
  // the board answers. False, with fault() telling why, when it does not.
  bool start();
  // Before the board is let go, in engine mode: the clock low, the chip
  // deselected, the release lines as the command left them (high after a
  // read or a failure, low after a verified write), as the parallel cable
  // leaves its lines. On a cable that failed, a last try at the lines at
  // rest, release lines high: a board that is gone costs one transfer
  // timeout at most.
  void finish();

  void select(bool di) override;
  void deselect() override;
  void release_lines() override;
  void clock_idle() override;
  void pulse(int n) override;
  void shift_out(std::uint32_t bits, int n) override;
  void clock_in(int n, std::uint32_t* bits) override;
  // Clocks all `max` periods (at most 32) in one transfer and finds the
  // first low bit among them; the chip sees the periods after it too.
  void clock_until_low(int max, int* pulse) override;
  bool sample_do() override;
  void wait_at_least(std::int64_t ns) override;
  std::int64_t now_ns() override { return clock_.now_ns(); }
  bool queues() const override { return true; }
  void flush() override;
  bool healthy() const override { return healthy_; }
  std::string fault() const override { return fault_; }

  // Exchanges with the board since it was constructed: one write and one
  // read each.
  std::uint64_t round_trips() const { return round_trips_; }

 private:
  // A result the next exchange fills in: `bits` bits of the reply from
  // byte `offset` on, whole bytes first, then a byte with the rest.
  struct PendingRead {
    std::size_t offset;
    int bits;
    std::uint32_t* value;  // clock_in
    int* first_low;        // clock_until_low
  };

  void set_lines(std::uint8_t lines);
  void queue_out(std::uint32_t bits, int n);
  void queue_in(int n, std::uint32_t* value, int* first_low);
  bool lengthen_byte_read(int bytes);
  void exchange();
  void fail(std::string why);
  void deliver(const std::vector<std::uint8_t>& reply);
  void deliver_all_high();

  FtdiDevice& device_;
  Clock& clock_;
  MpsseWiring wiring_;
  std::uint8_t directions_;

  std::uint8_t lines_ = 0;  // the low byte as last set
  bool di_ = false;         // DI now: what was set, or the last bit shifted out
  std::vector<std::uint8_t> queue_;
  std::size_t reply_size_ = 0;
  std::vector<PendingRead> pending_;
  // Where the length of a byte read that ends the queue sits, so that the
  // next byte read lengthens it instead of adding a command.
  std::optional<std::size_t> open_byte_read_;
  std::uint8_t pins_ = 0xFF;  // the low byte the board read last

  bool healthy_ = true;
  std::string fault_;
  std::uint64_t round_trips_ = 0;
};

}  // namespace q5::link
