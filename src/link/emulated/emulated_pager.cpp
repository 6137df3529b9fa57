#include "link/emulated/emulated_pager.h"

#include <cstdio>
#include <limits>

namespace q5::link {

namespace {

// "Long ago": far enough back that no timing rule can fail on it, near
// enough that subtracting it from a clock reading cannot overflow.
constexpr std::int64_t kLongAgo = std::numeric_limits<std::int64_t>::min() / 4;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
constexpr std::size_t kViolationsKept = 100;

double to_us(std::int64_t ns) { return static_cast<double>(ns) / 1000.0; }

}  // namespace

// ---------------------------------------------------------------- the chip

Eeprom93C56::Eeprom93C56()
    : last_input_change_ns_(kLongAgo),
      last_sk_rise_ns_(kLongAgo),
      last_sk_fall_ns_(kLongAgo),
      busy_until_ns_(kLongAgo) {
  words_.fill(0xFFFF);  // an erased chip
}

void Eeprom93C56::set_address_bits(int bits) {
  if (bits >= 2 && bits <= 16) address_bits_ = bits;
}

void Eeprom93C56::load(const image::Image& image) {
  for (std::size_t w = 0; w < words_.size(); ++w) {
    words_[w] = static_cast<std::uint16_t>(image[2 * w] << 8 | image[2 * w + 1]);
  }
}

image::Image Eeprom93C56::save() const {
  image::Image image{};
  for (std::size_t w = 0; w < words_.size(); ++w) {
    image[2 * w] = static_cast<std::uint8_t>(words_[w] >> 8);
    image[2 * w + 1] = static_cast<std::uint8_t>(words_[w] & 0xFF);
  }
  return image;
}

void Eeprom93C56::clear_records() {
  commands_.clear();
  violations_.clear();
  violation_count_ = 0;
}

void Eeprom93C56::violation(std::int64_t now_ns, const char* format, double got_us, double need_us) {
  ++violation_count_;
  if (violations_.size() >= kViolationsKept) return;
  char text[200];
  const int head = std::snprintf(text, sizeof text, "at %.3f ms: ", static_cast<double>(now_ns) / 1e6);
  std::snprintf(text + head, sizeof text - static_cast<std::size_t>(head), format, got_us, need_us);
  violations_.push_back({now_ns, text});
}

void Eeprom93C56::drive(bool cs, bool sk, bool di, std::int64_t now_ns) {
  if (cs_ && !cs) deselected(now_ns);
  if (cs && !cs_) phase_ = Phase::idle;  // a new selection starts afresh
  if (cs != cs_ || di != di_) {
    // DI may only change once the bit clocked in last has been held.
    if (cs_ && cs && now_ns - last_sk_rise_ns_ < timing_.hold_ns) {
      violation(now_ns, "DI changed %.1f us after SK rose (hold at least %.1f us)",
                to_us(now_ns - last_sk_rise_ns_), to_us(timing_.hold_ns));
    }
    last_input_change_ns_ = now_ns;
  }
  cs_ = cs;
  di_ = di;

  if (sk && !sk_) {
    if (cs_) {
      if (now_ns - last_input_change_ns_ < timing_.setup_ns) {
        violation(now_ns, "SK rose %.1f us after CS or DI changed (set up at least %.1f us)",
                  to_us(now_ns - last_input_change_ns_), to_us(timing_.setup_ns));
      }
      if (now_ns - last_sk_fall_ns_ < timing_.sk_low_ns) {
        violation(now_ns, "SK was low for %.1f us (at least %.1f us)",
                  to_us(now_ns - last_sk_fall_ns_), to_us(timing_.sk_low_ns));
      }
      rising_edge(di_, now_ns);
    }
    last_sk_rise_ns_ = now_ns;
  } else if (!sk && sk_) {
    if (cs_ && now_ns - last_sk_rise_ns_ < timing_.sk_high_ns) {
      violation(now_ns, "SK was high for %.1f us (at least %.1f us)",
                to_us(now_ns - last_sk_rise_ns_), to_us(timing_.sk_high_ns));
    }
    last_sk_fall_ns_ = now_ns;
  }
  sk_ = sk;
}

void Eeprom93C56::rising_edge(bool di, std::int64_t now_ns) {
  switch (phase_) {
    case Phase::idle:
      if (!di) return;  // leading zeros before the start bit mean nothing
      if (programming(now_ns)) {
        violation(now_ns, "start bit %.1f us before the programming cycle ended (%.1f us long)",
                  to_us(busy_until_ns_ - now_ns), to_us(program_ns_));
        phase_ = Phase::ignoring;
        return;
      }
      phase_ = Phase::command;
      shift_ = 0;
      bits_ = 0;
      return;
    case Phase::command:
      shift_ = shift_ << 1 | (di ? 1u : 0u);
      if (++bits_ == 2 + address_bits_) decode(now_ns);
      return;
    case Phase::read_out:
      // Sequential read: on past the last bit of a word into the next,
      // from word 127 back to word 0.
      if (++read_bit_ == 16) {
        read_bit_ = 0;
        read_word_ = (read_word_ + 1) % kWords;
      }
      return;
    case Phase::write_data:
      shift_ = shift_ << 1 | (di ? 1u : 0u);
      if (++bits_ == 16) phase_ = Phase::armed;
      return;
    case Phase::armed:
    case Phase::done:
    case Phase::ignoring:
      return;
  }
}

void Eeprom93C56::decode(std::int64_t) {
  const auto field = static_cast<std::uint16_t>(shift_);
  commands_.push_back(field);
  const unsigned opcode = field >> address_bits_ & 3u;
  const unsigned address = field & ((1u << address_bits_) - 1);
  const int word = static_cast<int>(address % kWords);  // upper address bits are ignored
  const unsigned mode = address >> (address_bits_ - 2) & 3u;

  shift_ = 0;
  bits_ = 0;
  switch (opcode) {
    case 2:  // READ: a dummy zero now, the data from the next clock on
      phase_ = Phase::read_out;
      read_word_ = word;
      read_bit_ = -1;
      return;
    case 1:  // WRITE
      phase_ = Phase::write_data;
      pending_ = Pending::write;
      target_word_ = word;
      return;
    case 3:  // ERASE
      phase_ = Phase::armed;
      pending_ = Pending::erase;
      target_word_ = word;
      return;
    default:
      break;
  }
  switch (mode) {
    case 3:  // EWEN
      write_enabled_ = true;
      phase_ = Phase::done;
      return;
    case 0:  // EWDS
      write_enabled_ = false;
      phase_ = Phase::done;
      return;
    case 2:  // WRAL
      phase_ = Phase::write_data;
      pending_ = Pending::write_all;
      return;
    default:  // ERAL
      phase_ = Phase::armed;
      pending_ = Pending::erase_all;
      return;
  }
}

void Eeprom93C56::deselected(std::int64_t now_ns) {
  // A complete WRITE (or erase) programs when chip select falls, and only
  // on a write-enabled chip; an unfinished one is dropped.
  if (phase_ == Phase::armed && write_enabled_) {
    const auto data = static_cast<std::uint16_t>(shift_);
    switch (pending_) {
      case Pending::write: words_[static_cast<std::size_t>(target_word_)] = data; break;
      case Pending::write_all: words_.fill(data); break;
      case Pending::erase: words_[static_cast<std::size_t>(target_word_)] = 0xFFFF; break;
      case Pending::erase_all: words_.fill(0xFFFF); break;
      case Pending::none: break;
    }
    // A chip that never finishes is emulated with a program time near the
    // clock's end; the sum must not wrap round into the past.
    if (pending_ != Pending::none) {
      busy_until_ns_ = program_ns_ > kNever - now_ns ? kNever : now_ns + program_ns_;
    }
  }
  pending_ = Pending::none;
  phase_ = Phase::idle;
}

bool Eeprom93C56::data_out(std::int64_t now_ns) const {
  if (!cs_) return true;
  switch (phase_) {
    case Phase::read_out:
      if (read_bit_ < 0) return false;  // the dummy zero
      return (words_[static_cast<std::size_t>(read_word_)] >> (15 - read_bit_) & 1) != 0;
    case Phase::idle:
    case Phase::ignoring:
      // Selected while programming: the chip shows busy on DO.
      return !programming(now_ns);
    default:
      return true;
  }
}

// ---------------------------------------------------------------- the port

EmulatedPagerPort::EmulatedPagerPort(Clock& clock, std::uint16_t base)
    : clock_(clock),
      base_(base),
      pull_at_ns_(kNever),
      pull_after_pulses_(std::numeric_limits<std::uint64_t>::max()) {}

void EmulatedPagerPort::clear_records() {
  pulses_ = 0;
  data_values_.reset();
  control_values_.reset();
  foreign_ports_.clear();
  chip_.clear_records();
}

void EmulatedPagerPort::pull(std::int64_t now_ns) {
  pulled_ = true;
  if (present_) chip_.drive(false, false, false, now_ns);
}

void EmulatedPagerPort::reconnect_cable() {
  pulled_ = false;
  pull_at_ns_ = kNever;
  pull_after_pulses_ = std::numeric_limits<std::uint64_t>::max();
  feed_chip(clock_.now_ns());
}

void EmulatedPagerPort::check_cable(std::int64_t now_ns) {
  if (!pulled_ && now_ns >= pull_at_ns_) pull(now_ns);
}

void EmulatedPagerPort::feed_chip(std::int64_t now_ns) {
  if (!present_ || pulled_) return;
  chip_.drive((data_ & 0x01) != 0, (control_ & 0x01) == 0, (data_ & 0x02) != 0, now_ns);
}

std::uint8_t EmulatedPagerPort::port_in(std::uint16_t port) {
  if (port == base_ + kStatusRegister) {
    const std::int64_t now = clock_.now_ns();
    check_cable(now);
    const bool high = !present_ || pulled_ || chip_.data_out(now);
    return static_cast<std::uint8_t>(kStatusIdle | (high ? 0x40 : 0x00));
  }
  if (port == base_ + kDataRegister) return data_;
  if (port == base_ + kControlRegister) return control_;
  foreign_ports_.insert(port);
  return 0xFF;
}

void EmulatedPagerPort::port_out(std::uint16_t port, std::uint8_t value) {
  const std::int64_t now = clock_.now_ns();
  if (port == base_ + kDataRegister) {
    data_ = value;
    data_values_.set(value);
  } else if (port == base_ + kControlRegister) {
    const bool sk_rises = (control_ & 0x01) != 0 && (value & 0x01) == 0;
    control_ = value;
    control_values_.set(value);
    if (sk_rises) {
      if (!pulled_ && pulses_ >= pull_after_pulses_) pull(now);
      ++pulses_;
    }
  } else {
    // The status register is read-only; anything else is not this port.
    if (port != base_ + kStatusRegister) foreign_ports_.insert(port);
    return;
  }
  check_cable(now);
  feed_chip(now);
}

}  // namespace q5::link
