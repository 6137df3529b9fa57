// Byte access to the parallel port's three registers, and the clock the
// link's waits are measured on. Both are interfaces so that the protocol runs
// unchanged against the real port, an emulated chip, or a virtual clock.
#pragma once

#include <cstdint>

namespace q5::link {

// Port bases of the two parallel ports the program offers.
constexpr std::uint16_t kLpt1Base = 0x378;
constexpr std::uint16_t kLpt2Base = 0x278;

// Register offsets from the port base.
constexpr std::uint16_t kDataRegister = 0;
constexpr std::uint16_t kStatusRegister = 1;
constexpr std::uint16_t kControlRegister = 2;

class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual std::uint8_t port_in(std::uint16_t port) = 0;
  virtual void port_out(std::uint16_t port, std::uint8_t value) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time in nanoseconds.
  virtual std::int64_t now_ns() = 0;
  // Holds the thread for at least `ns`, never less: the chip's set-up and
  // clock times depend on it.
  virtual void wait_ns(std::int64_t ns) = 0;
};

// The real monotonic clock. A wait of a millisecond or more sleeps until
// shortly before its deadline and spins only the rest, so that the settling
// and programming pauses leave the processor to others without ending late;
// shorter waits (the bit timing) spin all the way, as a sleep could oversleep
// by more than a bit lasts.
class SteadyClock final : public Clock {
 public:
  // Waits from this long on sleep first.
  static constexpr std::int64_t kSleepFromNs = 1'000'000;
  // What a sleep leaves to spinning: more than the kernel's usual timer
  // slack and wake-up latency, so the sleep does not overshoot the deadline.
  static constexpr std::int64_t kSpinTailNs = 200'000;

  std::int64_t now_ns() override;
  void wait_ns(std::int64_t ns) override;
};

// A clock that only moves when waited on: whole transfers run in
// milliseconds of real time, and every wait is accounted exactly.
class VirtualClock final : public Clock {
 public:
  std::int64_t now_ns() override { return now_; }
  void wait_ns(std::int64_t ns) override { advance_ns(ns); }
  void advance_ns(std::int64_t ns) {
    if (ns > 0) now_ += ns;
  }

 private:
  std::int64_t now_ = 0;
};

}  // namespace q5::link
