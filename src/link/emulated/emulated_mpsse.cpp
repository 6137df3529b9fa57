#include "link/emulated/emulated_mpsse.h"

#include <algorithm>
#include <cstdio>

namespace q5::link {

namespace {

// The engine's own pins: clock out, data out, data in.
constexpr std::uint8_t kTck = 0x01;
constexpr std::uint8_t kTdi = 0x02;
constexpr std::uint8_t kTdo = 0x04;
// The serial port's outputs on the same pins, outside engine mode.
constexpr std::uint8_t kTxd = 0x01;
constexpr std::uint8_t kRtsN = 0x04;
constexpr std::uint8_t kDtrN = 0x10;

// Data shifting commands (opcodes below 0x80) are built from these bits.
constexpr std::uint8_t kOutOnFalling = 0x01;
constexpr std::uint8_t kBitMode = 0x02;
constexpr std::uint8_t kInOnFalling = 0x04;
constexpr std::uint8_t kWritesData = 0x10;
constexpr std::uint8_t kReadsData = 0x20;
// Those with the most significant bit first and no TMS: out on either edge,
// in on either edge, and both at once on opposite edges.
constexpr std::uint8_t kShiftCommands[] = {0x10, 0x11, 0x12, 0x13, 0x20, 0x22, 0x24, 0x26, 0x31, 0x33, 0x34, 0x36};

constexpr std::uint8_t kSetLowByte = 0x80;
constexpr std::uint8_t kReadLowByte = 0x81;
constexpr std::uint8_t kLoopbackOn = 0x84;
constexpr std::uint8_t kLoopbackOff = 0x85;
constexpr std::uint8_t kClockDivisor = 0x86;
constexpr std::uint8_t kSendImmediate = 0x87;
constexpr std::uint8_t kDivideBy5Off = 0x8A;
constexpr std::uint8_t kDivideBy5On = 0x8B;
constexpr std::uint8_t kThreePhaseOn = 0x8C;
constexpr std::uint8_t kThreePhaseOff = 0x8D;
constexpr std::uint8_t kAdaptiveOn = 0x96;
constexpr std::uint8_t kAdaptiveOff = 0x97;
// What the engine answers an opcode it does not know with, before echoing it.
constexpr std::uint8_t kBadCommand = 0xFA;

constexpr std::int64_t kHighSpeedBaseHz = 60'000'000;
constexpr std::int64_t kBaseHz = 12'000'000;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;
constexpr int kByteBits = 8;

bool is_shift(std::uint8_t opcode) { return std::ranges::find(kShiftCommands, opcode) != std::end(kShiftCommands); }

// The clock settings only the high-speed chips have.
bool high_speed_only(std::uint8_t opcode) {
  switch (opcode) {
    case kDivideBy5Off:
    case kDivideBy5On:
    case kThreePhaseOn:
    case kThreePhaseOff:
    case kAdaptiveOn:
    case kAdaptiveOff: return true;
    default: return false;
  }
}

std::string hex(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

}  // namespace

struct EmulatedMpsse::Shift {
  std::uint8_t opcode;
  int bits;  // clock periods
  bool writes() const { return (opcode & kWritesData) != 0; }
  bool reads() const { return (opcode & kReadsData) != 0; }
  bool bit_mode() const { return (opcode & kBitMode) != 0; }
};

EmulatedMpsse::EmulatedMpsse(Clock& clock, const MpsseWiring& wiring)
    : clock_(clock), wiring_(wiring), boards_{EmulatedBoard{}} {}

// ------------------------------------------------------------ faults

void EmulatedMpsse::unplug_after_transfers(std::uint64_t transfers) { unplug_at_ = this->transfers() + transfers; }

void EmulatedMpsse::stop_answering_after_transfers(std::uint64_t transfers) {
  silent_at_ = this->transfers() + transfers;
}

void EmulatedMpsse::plug_in() {
  unplugged_ = silent_ = false;
  unplug_at_ = silent_at_ = kNever;
}

bool EmulatedMpsse::count_transfer() {
  const std::uint64_t before = transfers();
  if (!unplugged_ && before >= unplug_at_) {
    // The board loses its power: nothing drives the pins any more, and chip
    // select's pull-down deselects the chip.
    pins_when_left_ = pins();
    unplugged_ = true;
    mode_ = FtdiMode::reset;
    feed_chip();
  }
  if (!silent_ && before >= silent_at_) silent_ = true;
  return !unplugged_;
}

void EmulatedMpsse::problem(std::string what) { problems_.push_back(std::move(what)); }

// ------------------------------------------------------------ the seam

FtdiOpen EmulatedMpsse::open(std::uint16_t product, const std::string& serial, int index) {
  close();
  if (unplugged_) return FtdiOpen::not_found;
  for (std::size_t i = 0; i < boards_.size(); ++i) {
    const EmulatedBoard& board = boards_[i];
    if (board.product != product || (!serial.empty() && board.serial != serial) || index-- > 0) continue;
    if (board.access != FtdiOpen::opened) {
      error_ = board.access == FtdiOpen::busy ? "unable to claim usb device" : "permission denied";
      return board.access;
    }
    // Opening does not change the mode: a board closed in engine mode is
    // still in it.
    opened_ = i;
    opened_serial_ = board.serial;
    ++opens_;
    return FtdiOpen::opened;
  }
  return FtdiOpen::not_found;
}

FtdiChip EmulatedMpsse::chip() const { return opened_ ? boards_[*opened_].chip : FtdiChip::other; }

bool EmulatedMpsse::set_mode(FtdiMode mode) {
  if (!opened_ || unplugged_) {
    error_ = "USB device unavailable";
    return false;
  }
  if (silent_) {
    error_ = "timed out";
    return false;
  }
  if (mode == FtdiMode::reset) {
    leave_engine();
    return true;
  }
  // The engine starts afresh, every pin an input.
  input_.clear();
  produced_.clear();
  reply_.clear();
  value_ = directions_ = 0;
  sk_ = tdi_ = false;
  divisor_ = 0;
  divide_by_5_ = true;
  three_phase_ = adaptive_ = loopback_ = false;
  mode_ = FtdiMode::mpsse;
  feed_chip();
  return true;
}

FtdiTransfer EmulatedMpsse::write(std::span<const std::uint8_t> data) {
  const bool present = count_transfer();
  ++writes_;
  if (!opened_ || !present) {
    error_ = "usb bulk write failed";
    return FtdiTransfer::failed;
  }
  if (silent_) return FtdiTransfer::ok;  // taken, and never acted on
  if (mode_ != FtdiMode::mpsse) {
    problem("data written outside engine mode");
    return FtdiTransfer::ok;
  }
  if (!reply_.empty()) problem(std::to_string(reply_.size()) + " reply bytes left unread");
  input_.insert(input_.end(), data.begin(), data.end());
  for (;;) {
    const std::size_t size = input_.empty() ? 0 : command_size(input_.front());
    if (size == 0 || size > input_.size()) break;
    run(input_.front());
  }
  if (!produced_.empty()) {
    problem(std::to_string(produced_.size()) + " reply bytes not followed by send immediate");
    reply_.insert(reply_.end(), produced_.begin(), produced_.end());
    produced_.clear();
  }
  return FtdiTransfer::ok;
}

FtdiTransfer EmulatedMpsse::read(std::span<std::uint8_t> data, std::chrono::milliseconds) {
  const bool present = count_transfer();
  ++reads_;
  if (!opened_ || !present) {
    error_ = "usb bulk read failed";
    return FtdiTransfer::failed;
  }
  if (silent_ || reply_.size() < data.size()) {
    error_ = "timed out";
    return FtdiTransfer::timed_out;
  }
  std::copy_n(reply_.begin(), data.size(), data.begin());
  reply_.erase(reply_.begin(), reply_.begin() + static_cast<std::ptrdiff_t>(data.size()));
  return FtdiTransfer::ok;
}

void EmulatedMpsse::close() {
  // The board stays powered and keeps its mode and pins.
  opened_.reset();
}

// ------------------------------------------------------------ the engine

std::size_t EmulatedMpsse::command_size(std::uint8_t opcode) const {
  if (is_shift(opcode)) {
    const Shift shift{opcode, 0};
    if (shift.bit_mode()) return shift.writes() ? 3 : 2;
    if (!shift.writes()) return 3;
    if (input_.size() < 3) return 3;
    return 3 + (static_cast<std::size_t>(input_[1]) | static_cast<std::size_t>(input_[2]) << kByteBits) + 1;
  }
  switch (opcode) {
    case kSetLowByte:
    case kClockDivisor: return 3;
    default: return 1;
  }
}

void EmulatedMpsse::run(std::uint8_t opcode) {
  const std::vector<std::uint8_t> command(input_.begin(),
                                          input_.begin() + static_cast<std::ptrdiff_t>(command_size(opcode)));
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(command.size()));

  if (is_shift(opcode)) {
    Shift shift{opcode, 0};
    // Bit commands give 1 to 8 bits in a 3-bit length, byte commands 1 to
    // 65536 bytes in a 16-bit one, data (when sent) after it.
    const std::size_t data_at = shift.bit_mode() ? 2 : 3;
    shift.bits = shift.bit_mode() ? (command[1] & 0x07) + 1 : ((command[1] | command[2] << kByteBits) + 1) * kByteBits;
    run_shift(shift, std::span(command).subspan(data_at));
    return;
  }
  if (high_speed_only(opcode) && !high_speed()) {
    problem("command " + hex(opcode) + " sent to an FT2232C/D, which does not have it");
    produced_.insert(produced_.end(), {kBadCommand, opcode});
    return;
  }
  switch (opcode) {
    case kSetLowByte: set_low_byte(command[1], command[2]); return;
    case kReadLowByte: produced_.push_back(pins()); return;
    case kLoopbackOn: loopback_ = true; return;
    case kLoopbackOff: loopback_ = false; return;
    case kClockDivisor: divisor_ = static_cast<std::uint16_t>(command[1] | command[2] << kByteBits); return;
    case kSendImmediate:
      reply_.insert(reply_.end(), produced_.begin(), produced_.end());
      produced_.clear();
      return;
    case kDivideBy5Off: divide_by_5_ = false; return;
    case kDivideBy5On: divide_by_5_ = true; return;
    case kThreePhaseOn: three_phase_ = true; return;
    case kThreePhaseOff: three_phase_ = false; return;
    case kAdaptiveOn: adaptive_ = true; return;
    case kAdaptiveOff: adaptive_ = false; return;
    default:
      problem("unknown command " + hex(opcode));
      produced_.insert(produced_.end(), {kBadCommand, opcode});
      return;
  }
}

void EmulatedMpsse::run_shift(const Shift& shift, std::span<const std::uint8_t> data) {
  if (adaptive_) problem("clocked with adaptive clocking on, which waits for a returned clock the cable lacks");
  const auto out_bit = [&](int i) {
    const std::uint8_t byte = data[static_cast<std::size_t>(i / kByteBits)];
    return (byte >> (kByteBits - 1 - i % kByteBits) & 1) != 0;
  };
  const bool out_on_falling = (shift.opcode & kOutOnFalling) != 0;
  const bool in_on_falling = (shift.opcode & kInOnFalling) != 0;
  const std::int64_t half = half_period_ns();

  // The first bit goes out as the command starts, each next one at the
  // data-out edge of the period before it.
  if (shift.writes()) {
    tdi_ = out_bit(0);
    feed_chip();
  }
  std::uint32_t byte = 0;
  int in_byte = 0;
  for (int i = 0; i < shift.bits; ++i) {
    for (int edge = 0; edge < 2; ++edge) {
      clock_.wait_ns(half);
      const bool rising = !sk_;
      // Sampled as the edge comes, before the chip has answered it.
      if (shift.reads() && rising != in_on_falling) {
        byte = byte << 1 | (tdo_line() ? 1U : 0U);
        ++in_byte;
      }
      sk_ = !sk_;
      if (shift.writes() && rising != out_on_falling && i + 1 < shift.bits) tdi_ = out_bit(i + 1);
      feed_chip();
    }
    if (three_phase_) clock_.wait_ns(half);
    if (in_byte == kByteBits) {
      produced_.push_back(static_cast<std::uint8_t>(byte));
      byte = 0;
      in_byte = 0;
    }
  }
  // Bits read land at the bottom of their byte.
  if (in_byte > 0) produced_.push_back(static_cast<std::uint8_t>(byte));
}

void EmulatedMpsse::set_low_byte(std::uint8_t value, std::uint8_t directions) {
  value_ = value;
  directions_ = directions;
  sk_ = (value & kTck) != 0;
  tdi_ = (value & kTdi) != 0;
  feed_chip();
}

void EmulatedMpsse::leave_engine() {
  if (mode_ != FtdiMode::mpsse) return;
  pins_when_left_ = pins();
  mode_ = FtdiMode::reset;
  feed_chip();
}

std::int64_t EmulatedMpsse::half_period_ns() const {
  const std::int64_t base = high_speed() && !divide_by_5_ ? kHighSpeedBaseHz : kBaseHz;
  return ((1 + std::int64_t{divisor_}) * kNsPerSecond + base - 1) / base;
}

std::uint8_t EmulatedMpsse::driven() const {
  if (unplugged_) return 0;
  return mode_ == FtdiMode::mpsse ? directions_ : static_cast<std::uint8_t>(kTxd | kRtsN | kDtrN);
}

bool EmulatedMpsse::driven_level(std::uint8_t mask) const {
  if (mode_ == FtdiMode::mpsse) return mask == kTck ? sk_ : mask == kTdi ? tdi_ : (value_ & mask) != 0;
  // The serial port at rest: TXD idles high, RTS# not asserted.
  return mask == kDtrN ? !dtr_asserted_ : true;
}

std::uint8_t EmulatedMpsse::pins() const {
  std::uint8_t levels = 0;
  for (int bit = 0; bit < kByteBits; ++bit) {
    const auto mask = static_cast<std::uint8_t>(1U << bit);
    bool high = true;  // an input nothing drives floats up ...
    if ((driven() & mask) != 0) {
      high = driven_level(mask);
    } else if (mask == wiring_.cs) {
      high = false;  // ... but chip select has its pull-down
    } else if (mask == wiring_.data_out) {
      high = data_out_line();
    }
    if (high) levels = static_cast<std::uint8_t>(levels | mask);
  }
  return levels;
}

// ------------------------------------------------------------ the cable and the chip

void EmulatedMpsse::feed_chip() {
  const std::int64_t now = clock_.now_ns();
  const std::uint8_t levels = pins();
  // Lines the board does not drive are low at the chip: chip select has its
  // pull-down, and nothing else matters to a deselected chip.
  const auto driven_high = [&](std::uint8_t line) { return (driven() & line) != 0 && (levels & line) != 0; };
  const bool cs = driven_high(wiring_.cs);
  const bool sk = driven_high(wiring_.sk);
  const bool di = driven_high(wiring_.di);

  if (sk && !chip_sk_) {
    if (pulses_ >= pull_after_pulses_) pulled_ = true;
    ++pulses_;
  }
  chip_sk_ = sk;
  if (now >= pull_at_ns_) pulled_ = true;
  if (!pager_present_) return;
  if (pulled_) {
    chip_.drive(false, false, false, now);
    return;
  }
  chip_.drive(cs, sk, di, now);
}

bool EmulatedMpsse::data_out_line() const {
  const std::int64_t now = clock_.now_ns();
  return !pager_present_ || pulled_ || now >= pull_at_ns_ || chip_.data_out(now);
}

bool EmulatedMpsse::tdo_line() const {
  if (loopback_) return tdi_;
  return (directions_ & kTdo) != 0 ? (value_ & kTdo) != 0 : data_out_line();
}

}  // namespace q5::link
