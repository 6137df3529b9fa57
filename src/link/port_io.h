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
  // Holds the thread until at least `ns` have passed, without sleeping
  // (bit timing: a sleep may oversleep by far more than a bit lasts).
  virtual void busy_wait_ns(std::int64_t ns) = 0;
  // Gives the processor away for at least `ns` (settling times).
  virtual void sleep_ns(std::int64_t ns) = 0;
};

// The real monotonic clock.
class SteadyClock final : public Clock {
 public:
  std::int64_t now_ns() override;
  void busy_wait_ns(std::int64_t ns) override;
  void sleep_ns(std::int64_t ns) override;
};

// A clock that only moves when waited on: whole transfers run in
// milliseconds of real time, and every wait is accounted exactly.
class VirtualClock final : public Clock {
 public:
  std::int64_t now_ns() override { return now_; }
  void busy_wait_ns(std::int64_t ns) override { if (ns > 0) now_ += ns; }
  void sleep_ns(std::int64_t ns) override { if (ns > 0) now_ += ns; }
  void advance_ns(std::int64_t ns) { now_ += ns; }

 private:
  std::int64_t now_ = 0;
};

}  // namespace q5::link
