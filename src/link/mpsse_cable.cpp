#include "mpsse_cable.h"

#include <algorithm>

namespace q5::link {

namespace {

constexpr int kByteBits = 8;
constexpr int kMaxBits = 32;
constexpr std::size_t kMaxByteCount = 0x10000;  // a length field of 0xFFFF

std::uint32_t all_ones(int bits) { return bits >= kMaxBits ? ~0U : (1U << bits) - 1; }

std::uint8_t low_half(std::size_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
std::uint8_t high_half(std::size_t value) { return static_cast<std::uint8_t>(value >> kByteBits & 0xFF); }

}  // namespace

MpsseCable::MpsseCable(FtdiDevice& device, Clock& clock, const MpsseWiring& wiring)
    : device_(device),
      clock_(clock),
      wiring_(wiring),
      directions_(static_cast<std::uint8_t>(wiring.sk | wiring.di | wiring.cs | wiring.release)) {}

// ------------------------------------------------------------ the session's ends

bool MpsseCable::start() {
  healthy_ = true;
  fault_.clear();
  queue_.clear();
  pending_.clear();
  reply_size_ = 0;
  open_byte_read_.reset();
  di_ = false;
  // The engine's clock at 60 MHz, two phases, not waiting for a returned
  // clock, and data in from the pin rather than looped back from data out.
  queue_ = {mpsse::kDivideBy5Off,
            mpsse::kAdaptiveOff,
            mpsse::kThreePhaseOff,
            mpsse::kClockDivisor,
            low_half(mpsse::kDivisor5kHz),
            high_half(mpsse::kDivisor5kHz),
            mpsse::kLoopbackOff};
  set_lines(wiring_.release);
  exchange();
  return healthy_;
}

void MpsseCable::finish() {
  if (healthy_) {
    set_lines(static_cast<std::uint8_t>(lines_ & wiring_.release));
    exchange();
    return;
  }
  // Nothing more is read from a board that failed: a last try at the lines,
  // bounded by the write's own timeout.
  const std::uint8_t rest[] = {mpsse::kSetLowByte, wiring_.release, directions_};
  device_.write(rest);
}

// ------------------------------------------------------------ lines

void MpsseCable::set_lines(std::uint8_t lines) {
  if (!healthy_) return;
  lines_ = lines;
  di_ = (lines & wiring_.di) != 0;
  queue_.insert(queue_.end(), {mpsse::kSetLowByte, lines, directions_});
  open_byte_read_.reset();
}

void MpsseCable::select(bool di) { set_lines(static_cast<std::uint8_t>(wiring_.cs | (di ? wiring_.di : 0))); }

void MpsseCable::deselect() { set_lines(0); }

void MpsseCable::release_lines() { set_lines(wiring_.release); }

void MpsseCable::clock_idle() {
  // The low byte is set whole: DI keeps the level clocking left it at.
  const auto others = static_cast<std::uint8_t>(lines_ & ~(wiring_.sk | wiring_.di));
  set_lines(static_cast<std::uint8_t>(others | (di_ ? wiring_.di : 0)));
}

// ------------------------------------------------------------ clocking

void MpsseCable::queue_out(std::uint32_t bits, int n) {
  const int whole = n / kByteBits;
  const int rest = n % kByteBits;
  if (whole > 0) {
    queue_.insert(queue_.end(), {mpsse::kBytesOutFalling, low_half(whole - 1), high_half(whole - 1)});
    for (int i = 1; i <= whole; ++i) queue_.push_back(static_cast<std::uint8_t>(bits >> (n - kByteBits * i) & 0xFF));
  }
  if (rest > 0) {
    // Bits go out from the top of the data byte.
    const auto data = static_cast<std::uint8_t>((bits & all_ones(rest)) << (kByteBits - rest));
    queue_.insert(queue_.end(), {mpsse::kBitsOutFalling, static_cast<std::uint8_t>(rest - 1), data});
  }
  di_ = (bits & 1U) != 0;
  open_byte_read_.reset();
}

void MpsseCable::pulse(int n) {
  if (!healthy_) return;
  // Data out repeats the level DI has, so only SK moves.
  for (int left = n; left > 0; left -= kMaxBits) {
    const int now = std::min(left, kMaxBits);
    queue_out(di_ ? all_ones(now) : 0, now);
  }
}

void MpsseCable::shift_out(std::uint32_t bits, int n) {
  if (!healthy_ || n <= 0) return;
  n = std::min(n, kMaxBits);
  const bool first = (bits >> (n - 1) & 1U) != 0;
  const auto lines = static_cast<std::uint8_t>(wiring_.cs | (first ? wiring_.di : 0));
  // Chip select up and the first bit on DI before the first rising edge, as
  // selecting does; the engine's first low half period is the set-up time.
  if (lines_ != lines || di_ != first) set_lines(lines);
  queue_out(bits, n);
}

void MpsseCable::queue_in(int n, std::uint32_t* value, int* first_low) {
  n = std::clamp(n, 0, kMaxBits);
  if (!healthy_ || n == 0) {
    if (value) *value = all_ones(n);
    if (first_low) *first_low = 0;
    return;
  }
  const int whole = n / kByteBits;
  const int rest = n % kByteBits;
  const auto bytes = static_cast<std::size_t>(whole + (rest > 0 ? 1 : 0));
  if (reply_size_ + bytes >= kMaxReply) flush();

  pending_.push_back({reply_size_, n, value, first_low});
  reply_size_ += bytes;
  if (whole > 0 && !lengthen_byte_read(whole)) {
    queue_.insert(queue_.end(), {mpsse::kBytesInFalling, low_half(whole - 1), high_half(whole - 1)});
    open_byte_read_ = queue_.size() - 2;
  }
  if (rest > 0) {
    queue_.insert(queue_.end(), {mpsse::kBitsInFalling, static_cast<std::uint8_t>(rest - 1)});
    open_byte_read_.reset();
  }
}

bool MpsseCable::lengthen_byte_read(int bytes) {
  if (!open_byte_read_) return false;
  const std::size_t at = *open_byte_read_;
  const std::size_t count = (queue_[at] | static_cast<std::size_t>(queue_[at + 1]) << kByteBits) + 1 + bytes;
  if (count > kMaxByteCount) return false;
  queue_[at] = low_half(count - 1);
  queue_[at + 1] = high_half(count - 1);
  return true;
}

void MpsseCable::clock_in(int n, std::uint32_t* bits) { queue_in(n, bits, nullptr); }

void MpsseCable::clock_until_low(int max, int* pulse) { queue_in(max, nullptr, pulse); }

// ------------------------------------------------------------ exchanges

bool MpsseCable::sample_do() {
  exchange();
  return (pins_ & wiring_.data_out) != 0;
}

void MpsseCable::wait_at_least(std::int64_t ns) {
  flush();
  // The wait starts once the board has carried out everything before it.
  if (healthy_) clock_.wait_ns(ns);
}

void MpsseCable::flush() {
  if (!queue_.empty()) exchange();
}

void MpsseCable::exchange() {
  if (!healthy_) {
    deliver_all_high();
    return;
  }
  // Every exchange ends by reading the pins: the answer to it comes only
  // after everything queued before it has happened at the pins.
  queue_.insert(queue_.end(), {mpsse::kReadLowByte, mpsse::kSendImmediate});
  std::vector<std::uint8_t> reply(reply_size_ + 1);
  ++round_trips_;
  FtdiTransfer result = device_.write(queue_);
  if (result == FtdiTransfer::ok) result = device_.read(reply, kTransferTimeout);
  queue_.clear();
  reply_size_ = 0;
  open_byte_read_.reset();

  if (result == FtdiTransfer::timed_out) {
    fail(std::string(kUsbCableLog) + " stopped answering: nothing came back within " +
         std::to_string(kTransferTimeout.count()) + " ms");
  } else if (result == FtdiTransfer::failed) {
    fail(std::string(kUsbCableLog) + " lost (unplugged?): " + device_.error());
  } else {
    pins_ = reply.back();
    // Lines the board drives read back as set; anything else means the
    // answer is not the one asked for.
    const auto steady = static_cast<std::uint8_t>(wiring_.sk | wiring_.cs | wiring_.release);
    if ((pins_ & steady) != (lines_ & steady)) fail(std::string(kUsbCableLog) + " gave an answer that does not fit");
  }
  if (healthy_) {
    deliver(reply);
  } else {
    deliver_all_high();
  }
}

void MpsseCable::fail(std::string why) {
  if (!healthy_) return;  // the first cause is the one to show
  healthy_ = false;
  fault_ = std::move(why);
}

void MpsseCable::deliver(const std::vector<std::uint8_t>& reply) {
  for (const PendingRead& read : pending_) {
    const int whole = read.bits / kByteBits;
    const int rest = read.bits % kByteBits;
    std::uint32_t value = 0;
    for (int i = 0; i < whole; ++i) value = value << kByteBits | reply[read.offset + static_cast<std::size_t>(i)];
    // Bits read come in at the bottom of their byte.
    if (rest > 0) value = value << rest | (reply[read.offset + static_cast<std::size_t>(whole)] & all_ones(rest));
    if (read.value) *read.value = value;
    if (read.first_low) {
      *read.first_low = 0;
      for (int i = 1; i <= read.bits; ++i) {
        if ((value >> (read.bits - i) & 1U) == 0) {
          *read.first_low = i;
          break;
        }
      }
    }
  }
  pending_.clear();
}

void MpsseCable::deliver_all_high() {
  pins_ = 0xFF;
  for (const PendingRead& read : pending_) {
    if (read.value) *read.value = all_ones(read.bits);
    if (read.first_low) *read.first_low = 0;
  }
  pending_.clear();
  queue_.clear();
  reply_size_ = 0;
  open_byte_read_.reset();
}

}  // namespace q5::link
