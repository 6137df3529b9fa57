#include "lpt_cable.h"

#include <utility>

namespace q5::link {

std::string lpt_cable_name(const LptPort& port) { return std::string(port.name) + " (" + port.device + ")"; }

std::string lpt_cable_name(std::size_t lpt_index) { return lpt_cable_name(kLptPorts.at(lpt_index)); }

LptCable::LptCable(PortIo& io, Clock& clock, std::function<std::uint16_t()> port_base, const LptWiring& wiring)
    : io_(io), clock_(clock), port_base_(std::move(port_base)), wiring_(wiring) {}

void LptCable::data_register(std::uint8_t value) {
  io_.port_out(static_cast<std::uint16_t>(port_base_() + kDataRegister), value);
}

void LptCable::clock_line(bool high) {
  const bool bit = high != wiring_.sk_inverted;
  io_.port_out(static_cast<std::uint16_t>(port_base_() + kControlRegister), bit ? wiring_.sk : 0);
}

bool LptCable::sample_do() {
  return (io_.port_in(static_cast<std::uint16_t>(port_base_() + kStatusRegister)) & wiring_.data_out) != 0;
}

void LptCable::wait_at_least(std::int64_t ns) { clock_.wait_ns(ns); }

void LptCable::select(bool di) { data_register(static_cast<std::uint8_t>(wiring_.cs | (di ? wiring_.di : 0))); }

void LptCable::deselect() { data_register(0); }

void LptCable::release_lines() { data_register(wiring_.release); }

void LptCable::clock_idle() { clock_line(false); }

void LptCable::clock_period() {
  clock_line(true);
  clock_.wait_ns(kBitWaitNs);
  clock_line(false);
  clock_.wait_ns(kBitWaitNs);
}

void LptCable::pulse(int n) {
  for (int i = 0; i < n; ++i) clock_period();
}

void LptCable::shift_out(std::uint32_t bits, int n) {
  for (int i = n - 1; i >= 0; --i) {
    select(((bits >> i) & 1U) != 0);
    clock_.wait_ns(kBitWaitNs);
    clock_period();
  }
}

void LptCable::clock_in(int n, std::uint32_t* bits) {
  std::uint32_t value = 0;
  for (int i = 0; i < n; ++i) {
    clock_period();
    value = value << 1 | (sample_do() ? 1U : 0U);
  }
  *bits = value;
}

void LptCable::clock_until_low(int max, int* pulse) {
  *pulse = 0;
  for (int i = 1; i <= max; ++i) {
    clock_period();
    if (!sample_do()) {
      *pulse = i;
      return;
    }
  }
}

}  // namespace q5::link
