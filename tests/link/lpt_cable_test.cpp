// The parallel-port cable, operation by operation: which register gets
// which value, where it waits, where it samples, all read off its wiring
// table.
#include "link/lpt_cable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace q5::link {
namespace {

// The port and the clock in one, writing down every access and wait:
// "D=03" data written, "C=00" control written, "S" status read, "100us".
class Recorder final : public PortIo, public Clock {
 public:
  std::uint8_t port_in(std::uint16_t port) override {
    log.push_back(port == kLpt2Base + kStatusRegister ? "S" : "read " + std::to_string(port));
    if (status.empty()) return 0xFF;
    const std::uint8_t value = status.front();
    status.pop_front();
    return value;
  }
  void port_out(std::uint16_t port, std::uint8_t value) override {
    char text[16];
    const char reg = port == kLpt2Base + kDataRegister ? 'D' : port == kLpt2Base + kControlRegister ? 'C' : '?';
    std::snprintf(text, sizeof text, "%c=%02X", reg, value);
    log.emplace_back(text);
  }
  std::int64_t now_ns() override { return 0; }
  void wait_ns(std::int64_t ns) override { log.push_back(std::to_string(ns / 1000) + "us"); }

  std::vector<std::string> log;
  std::deque<std::uint8_t> status;  // what the status register answers, in turn
};

using Log = std::vector<std::string>;

Log concat(std::initializer_list<Log> parts) {
  Log all;
  for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Log kPeriod{"C=00", "100us", "C=01", "100us"};  // clock high through the port's inverter, then low

TEST(LptCable, EachOperationIsTheRegisterAccessesAndWaitsOfThePagerCable) {
  std::uint32_t bits = 0;
  int fell_after = -1;
  struct Case {
    const char* name;
    std::function<void(Cable&)> operation;
    std::deque<std::uint8_t> status;
    Log expected;
  };
  const Case cases[] = {
      {"select, DI high", [](Cable& c) { c.select(true); }, {}, {"D=03"}},
      {"select, DI low", [](Cable& c) { c.select(false); }, {}, {"D=01"}},
      {"deselect", [](Cable& c) { c.deselect(); }, {}, {"D=00"}},
      {"release lines", [](Cable& c) { c.release_lines(); }, {}, {"D=0C"}},
      {"clock idle", [](Cable& c) { c.clock_idle(); }, {}, {"C=01"}},
      {"two pulses", [](Cable& c) { c.pulse(2); }, {}, concat({kPeriod, kPeriod})},
      {"shift out 10",
       [](Cable& c) { c.shift_out(0b10, 2); },
       {},
       concat({{"D=03", "100us"}, kPeriod, {"D=01", "100us"}, kPeriod})},
      {"clock in 3",
       [&bits](Cable& c) { c.clock_in(3, &bits); },
       {0x40, 0xBF, 0xFF},
       concat({kPeriod, {"S"}, kPeriod, {"S"}, kPeriod, {"S"}})},
      {"clock until low",
       [&fell_after](Cable& c) { c.clock_until_low(5, &fell_after); },
       {0xFF, 0x00},
       concat({kPeriod, {"S"}, kPeriod, {"S"}})},
      {"wait", [](Cable& c) { c.wait_at_least(5'000'000); }, {}, {"5000us"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder port;
    port.status = c.status;
    LptCable cable(port, port, [] { return kLpt2Base; });
    c.operation(cable);
    cable.flush();
    EXPECT_EQ(port.log, c.expected);
  }
  EXPECT_EQ(bits, 0b101u) << "first bit most significant, DO on status bit 6";
  EXPECT_EQ(fell_after, 2);
}

// Another cable is another table: here chip select and DI on data bits 4
// and 5, a clock the port does not invert on control bit 1, DO on status
// bit 7.
TEST(LptCable, WiringComesFromItsTable) {
  constexpr LptWiring kOther{0x10, 0x20, 0x40, 0x02, false, 0x80};
  Recorder port;
  port.status = {0x80, 0x7F};
  LptCable cable(
      port, port, [] { return kLpt2Base; }, kOther);
  cable.select(true);
  cable.release_lines();
  cable.clock_idle();
  std::uint32_t bits = 0;
  cable.clock_in(2, &bits);
  EXPECT_EQ(port.log, (Log{"D=30", "D=40", "C=00", "C=02", "100us", "C=00", "100us", "S", "C=02", "100us", "C=00",
                           "100us", "S"}));
  EXPECT_EQ(bits, 0b10u);
}

}  // namespace
}  // namespace q5::link
