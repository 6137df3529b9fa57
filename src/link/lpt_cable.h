// The pager cable on a PC parallel port: each cable operation carried out
// line by line on the port's data, control and status registers, timed on a
// clock. Which register bit carries which line is a table, so another
// cable's wiring is a new table, not new code.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "cable.h"
#include "port_io.h"

namespace q5::link {

struct LptWiring {
  std::uint8_t cs;        // data register: chip select (1 = selected)
  std::uint8_t di;        // data register: data into the EEPROM
  std::uint8_t release;   // data register: the release lines
  std::uint8_t sk;        // control register: the EEPROM clock
  bool sk_inverted;       // the port drives the clock pin low for a 1
  std::uint8_t data_out;  // status register: DO (1 = high)
};

// The pager cable: CS on pin 2, DI on pin 3, the release lines on pins 4
// and 5, SK on STROBE (pin 1, inverted by the port), DO on ACK (pin 10).
inline constexpr LptWiring kPagerCable{0x01, 0x02, 0x0C, 0x01, true, 0x40};

// The only values the pager cable ever puts on the data register.
constexpr std::uint8_t kDeselect = 0x00;
constexpr std::uint8_t kSelectBit0 = kPagerCable.cs;
constexpr std::uint8_t kSelectBit1 = kPagerCable.cs | kPagerCable.di;
constexpr std::uint8_t kRelease = kPagerCable.release;

// The two parallel ports the program offers and their ppdev devices.
struct LptPort {
  const char* name;
  const char* device;
  std::uint16_t base;
};
inline constexpr std::array<LptPort, 2> kLptPorts{{
    {"LPT1", "/dev/parport0", kLpt1Base},
    {"LPT2", "/dev/parport1", kLpt2Base},
}};

// How the technician knows a port: "LPT1 (/dev/parport0)".
std::string lpt_cable_name(const LptPort& port);
std::string lpt_cable_name(std::size_t lpt_index);

class LptCable final : public Cable {
 public:
  // `port_base` is read at every register access.
  LptCable(PortIo& io, Clock& clock, std::function<std::uint16_t()> port_base, const LptWiring& wiring = kPagerCable);

  void select(bool di) override;
  void deselect() override;
  void release_lines() override;
  void clock_idle() override;
  void pulse(int n) override;
  void shift_out(std::uint32_t bits, int n) override;
  void clock_in(int n, std::uint32_t* bits) override;
  void clock_until_low(int max, int* pulse) override;
  bool sample_do() override;
  void wait_at_least(std::int64_t ns) override;
  std::int64_t now_ns() override { return clock_.now_ns(); }
  // Every operation has reached the pins when it returns.
  void flush() override {}

 private:
  void data_register(std::uint8_t value);
  void clock_line(bool high);
  void clock_period();

  PortIo& io_;
  Clock& clock_;
  std::function<std::uint16_t()> port_base_;
  LptWiring wiring_;
};

}  // namespace q5::link
