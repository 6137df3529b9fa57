// The link's protocol against the emulated chip, on a virtual clock: every
// wait is accounted exactly and whole transfers take milliseconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <set>
#include <vector>

#include "link/eeprom_link.h"
#include "link/emulated_pager.h"

namespace q5::link {
namespace {

// Two images that differ in every byte.
image::Image pattern(unsigned mask, unsigned step) {
  image::Image img{};
  for (unsigned i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(mask ^ (i * step));
  return img;
}
const image::Image kNew = pattern(0, 1), kOld = pattern(0xA5, 7);

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() { link.set_progress([this] { ++advances; }); }

  // Only the values and ports the protocol uses were written, and the chip
  // saw every timing rule kept.
  void expect_clean_lines() {
    for (unsigned v = 0; v < 256; ++v) {
      EXPECT_TRUE(!port.data_values().test(v) || v == 0x00 || v == 0x01 || v == 0x03 || v == 0x0C) << "data " << v;
      EXPECT_TRUE(!port.control_values().test(v) || v <= 1) << "control " << v;
    }
    EXPECT_TRUE(port.foreign_ports().empty());
    EXPECT_EQ(port.chip().violation_count(), 0u);
    for (const auto& v : port.chip().violations()) ADD_FAILURE() << v.what;
  }

  VirtualClock clock;
  EmulatedPagerPort port{clock, kLpt1Base};
  EepromLink link{port, clock, [] { return kLpt1Base; }};
  int advances = 0;
};

TEST_F(LinkTest, WriteLeavesTheImageInAWriteDisabledChipAndReadGivesItBack) {
  port.chip().load(kOld);
  ASSERT_TRUE(link.open_link());
  port.clear_records();

  ASSERT_TRUE(link.write_eeprom(kNew));
  EXPECT_EQ(port.clock_pulses(), 3478u);
  std::vector<std::uint16_t> expected{0x0C0};
  for (std::uint16_t w = 0; w < 128; ++w) expected.push_back(static_cast<std::uint16_t>(0x100 + w));
  expected.push_back(0x00F);
  EXPECT_EQ(port.chip().commands(), expected);
  EXPECT_EQ(advances, 128);
  // EWDS reached the chip, and only after word 127 had been programmed.
  EXPECT_FALSE(port.chip().write_enabled());
  EXPECT_EQ(port.chip().word(127), 0xFEFF);  // high byte first
  EXPECT_EQ(port.chip().save(), kNew);
  expect_clean_lines();

  link.close_link();
  ASSERT_TRUE(link.open_link());
  port.clear_records();
  image::Image back;
  back.fill(0x5A);
  link.read_eeprom(back);
  EXPECT_EQ(port.clock_pulses(), 2059u);
  EXPECT_EQ(port.chip().commands(), std::vector<std::uint16_t>{0x200});
  EXPECT_EQ(advances, 128 + 256);
  EXPECT_EQ(back, kNew);
  link.close_link();
  EXPECT_EQ(port.port_in(kLpt1Base), 0x0C);  // release lines up
  expect_clean_lines();
}

// Only a chip that drives its dummy zero right after eight address bits, at
// the selected port, passes the check.
TEST(CheckLink, AcceptsOnlyAnEightBitAddressFieldAtTheSelectedPort) {
  struct Case {
    const char* name;
    bool present;
    int address_bits;
    std::uint16_t selected_base;
    bool ok;
    std::uint64_t pulses;  // seen at the chip's port
  };
  const Case cases[] = {
      {"93C56", true, 8, kLpt1Base, true, 11},
      {"no chip", false, 8, kLpt1Base, false, 13},
      {"7 address bits", true, 7, kLpt1Base, false, 10},
      {"9 address bits", true, 9, kLpt1Base, false, 12},
      {"LPT2 selected, chip on LPT1", true, 8, kLpt2Base, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock vclock;
    EmulatedPagerPort pager(vclock, kLpt1Base);
    pager.set_present(c.present);
    pager.chip().set_address_bits(c.address_bits);
    EepromLink probe(pager, vclock, [&c] { return c.selected_base; });
    EXPECT_EQ(probe.open_link(), c.ok);
    EXPECT_EQ(pager.clock_pulses(), c.pulses);
    const std::set<std::uint16_t> lpt2{0x278, 0x279, 0x27A};
    EXPECT_EQ(pager.foreign_ports(), c.selected_base == kLpt1Base ? std::set<std::uint16_t>{} : lpt2);
    EXPECT_EQ(pager.chip().violation_count(), 0u);
  }
}

TEST_F(LinkTest, CablePulledMidWriteLeavesTheOldWordsBehind) {
  port.chip().load(kOld);
  ASSERT_TRUE(link.open_link());
  port.clear_records();
  // EWEN, then 64 complete words: the 65th WRITE never arrives.
  port.pull_cable_after_pulses(11 + 64 * 27);
  EXPECT_TRUE(link.write_eeprom(kNew));  // the link cannot tell
  EXPECT_TRUE(port.cable_pulled());
  EXPECT_FALSE(link.open_link());

  port.reconnect_cable();
  ASSERT_TRUE(link.open_link());
  image::Image back{};
  link.read_eeprom(back);
  image::Image half = kOld;
  std::copy_n(kNew.begin(), 128, half.begin());
  EXPECT_EQ(back, half);
  // The abandoned chip was left write-enabled: nothing sent EWDS.
  EXPECT_TRUE(port.chip().write_enabled());
}

// The chip holds the link to its times: one that needs twice the link's
// waits sees them broken all through a write.
TEST_F(LinkTest, WaitsShorterThanTheChipNeedsAreCaught) {
  port.chip().set_timing({200'000, 200'000, 200'000, 200'000});
  link.open_link();
  link.write_eeprom(kNew);
  EXPECT_GT(port.chip().violation_count(), 1000u);
  ASSERT_FALSE(port.chip().violations().empty());
  EXPECT_NE(port.chip().violations().front().what.find("set up"), std::string::npos)
      << port.chip().violations().front().what;
}

// The real clock's waits are never shorter than asked (how much longer
// depends on the machine's load, so that is not tested).
TEST(SteadyClockWaits, LastAtLeastWhatWasAsked) {
  SteadyClock clock;
  EmulatedPagerPort port(clock);
  EepromLink link(port, clock, [] { return kLpt1Base; });
  const auto elapsed_ns = [](auto since) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - since).count();
  };
  for (std::int64_t us : {1, 100, 250, 5000}) {
    SCOPED_TRACE(us);
    auto start = std::chrono::steady_clock::now();
    link.delay_us(static_cast<std::uint32_t>(us));
    EXPECT_GE(elapsed_ns(start), us * 1000);
    start = std::chrono::steady_clock::now();
    clock.sleep_ns(us * 1000);
    EXPECT_GE(elapsed_ns(start), us * 1000);
  }
}

}  // namespace
}  // namespace q5::link
