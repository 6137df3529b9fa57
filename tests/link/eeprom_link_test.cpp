// The link's protocol against the emulated chip, on a virtual clock: every
// wait is accounted exactly and whole transfers take milliseconds.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "link/eeprom_link.h"
#include "link/emulated_pager.h"

namespace q5::link {
namespace {

image::Image counting_image() {
  image::Image img{};
  for (std::size_t i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(i);
  return img;
}

image::Image other_image() {
  image::Image img{};
  for (std::size_t i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 7));
  return img;
}

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() { link.set_progress([this] { ++advances; }); }

  // Values the link may ever write, by register.
  void expect_only_protocol_line_values() {
    for (unsigned v = 0; v < 256; ++v) {
      if (port.data_values().test(v)) {
        EXPECT_TRUE(v == 0x00 || v == 0x01 || v == 0x03 || v == 0x0C) << "data " << v;
      }
      if (port.control_values().test(v)) {
        EXPECT_LE(v, 1u) << "control " << v;
      }
    }
    EXPECT_TRUE(port.foreign_ports().empty());
  }

  void expect_no_violations() {
    EXPECT_EQ(port.chip().violation_count(), 0u);
    for (const auto& v : port.chip().violations()) ADD_FAILURE() << v.what;
  }

  VirtualClock clock;
  EmulatedPagerPort port{clock, kLpt1Base};
  std::uint16_t base = kLpt1Base;
  EepromLink link{port, clock, [this] { return base; }};
  int advances = 0;
};

TEST_F(LinkTest, ReadGivesEveryByteInOrderHighByteFirst) {
  port.chip().load(counting_image());
  ASSERT_TRUE(link.open_link());
  EXPECT_EQ(port.clock_pulses(), 11u);
  port.clear_records();

  image::Image got;
  got.fill(0x5A);
  link.read_eeprom(got);
  EXPECT_EQ(port.clock_pulses(), 2059u);
  EXPECT_EQ(port.chip().commands(), std::vector<std::uint16_t>{0x200});
  EXPECT_EQ(advances, 256);
  EXPECT_EQ(got, counting_image());

  link.close_link();
  EXPECT_EQ(port.port_in(kLpt1Base), 0x0C);  // release lines up
  expect_only_protocol_line_values();
  expect_no_violations();
}

TEST_F(LinkTest, WriteLeavesTheImageInAWriteDisabledChip) {
  port.chip().load(other_image());
  ASSERT_TRUE(link.open_link());
  port.clear_records();

  ASSERT_TRUE(link.write_eeprom(counting_image()));
  EXPECT_EQ(port.clock_pulses(), 3478u);
  std::vector<std::uint16_t> expected{0x0C0};
  for (std::uint16_t w = 0; w < 128; ++w) expected.push_back(static_cast<std::uint16_t>(0x100 + w));
  expected.push_back(0x00F);
  EXPECT_EQ(port.chip().commands(), expected);
  EXPECT_EQ(advances, 128);
  // EWDS reached the chip, and only after word 127 had been programmed.
  EXPECT_FALSE(port.chip().write_enabled());
  EXPECT_EQ(port.chip().word(127), 0xFEFF);
  EXPECT_EQ(port.chip().save(), counting_image());
  expect_only_protocol_line_values();
  expect_no_violations();

  // And the chip gives it back.
  link.close_link();
  ASSERT_TRUE(link.open_link());
  image::Image back{};
  link.read_eeprom(back);
  EXPECT_EQ(back, counting_image());
  expect_no_violations();
}

// Only a chip that drives its dummy zero right after eight address bits, at
// the selected port, passes the check.
TEST_F(LinkTest, CheckLinkAcceptsOnlyAnEightBitAddressField) {
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
    if (c.selected_base != kLpt1Base) {
      EXPECT_EQ(pager.foreign_ports(), (std::set<std::uint16_t>{0x278, 0x279, 0x27A}));
    }
    if (c.present) {
      EXPECT_EQ(pager.chip().violation_count(), 0u);
    }
  }
}

TEST_F(LinkTest, CablePulledMidWriteLeavesTheOldWordsBehind) {
  port.chip().load(other_image());
  ASSERT_TRUE(link.open_link());
  port.clear_records();
  // EWEN, then 64 complete words: the 65th WRITE never arrives.
  port.pull_cable_after_pulses(11 + 64 * 27);
  EXPECT_TRUE(link.write_eeprom(counting_image()));  // the link cannot tell
  EXPECT_TRUE(port.cable_pulled());
  EXPECT_FALSE(link.open_link());

  port.reconnect_cable();
  ASSERT_TRUE(link.open_link());
  image::Image back{};
  link.read_eeprom(back);
  for (std::size_t i = 0; i < back.size(); ++i) {
    const auto& want = i < 128 ? counting_image() : other_image();
    ASSERT_EQ(back[i], want[i]) << "byte " << i;
  }
  // The abandoned chip was left write-enabled: nothing sent EWDS.
  EXPECT_TRUE(port.chip().write_enabled());
}

// A clock whose waits return at once, as a link with its waits left out.
class NoWaitClock final : public Clock {
 public:
  std::int64_t now_ns() override { return now_ += 10; }
  void busy_wait_ns(std::int64_t) override {}
  void sleep_ns(std::int64_t) override {}

 private:
  std::int64_t now_ = 0;
};

TEST(LinkTiming, AProtocolThatDoesNotWaitIsCaught) {
  NoWaitClock fast;
  EmulatedPagerPort pager(fast, kLpt1Base);
  EepromLink hasty(pager, fast, [] { return kLpt1Base; });
  hasty.open_link();
  hasty.write_eeprom(counting_image());
  EXPECT_GT(pager.chip().violation_count(), 1000u);
  ASSERT_FALSE(pager.chip().violations().empty());
  EXPECT_NE(pager.chip().violations().front().what.find("set up"), std::string::npos)
      << pager.chip().violations().front().what;
}

}  // namespace
}  // namespace q5::link
