// The link's protocol over the parallel-port cable against the emulated
// chip, on a virtual clock: every wait is accounted exactly and whole
// transfers take milliseconds.
#include "link/eeprom_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "link/emulated/emulated_pager.h"
#include "link/lpt_cable.h"

namespace q5::link {
namespace {

// Two images that differ in every byte.
image::Image pattern(unsigned mask, unsigned step) {
  image::Image img{};
  for (unsigned i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(mask ^ (i * step));
  return img;
}
const image::Image kNew = pattern(0, 1), kOld = pattern(0xA5, 7);

// EWEN, a WRITE per word, EWDS.
std::vector<std::uint16_t> write_commands() {
  std::vector<std::uint16_t> expected{kCmdEwen};
  for (std::uint16_t w = 0; w < kWords; ++w) expected.push_back(static_cast<std::uint16_t>(kCmdWrite + w));
  expected.push_back(kCmdEwds);
  return expected;
}

// A cable that, like one sending its operations in batches, hands results
// over only at flush(): a protocol that reads them earlier reads garbage.
class BatchingCable final : public Cable {
 public:
  explicit BatchingCable(Cable& pins) : pins_(pins) {}

  void select(bool di) override { pins_.select(di); }
  void deselect() override { pins_.deselect(); }
  void release_lines() override { pins_.release_lines(); }
  void clock_idle() override { pins_.clock_idle(); }
  void pulse(int n) override { pins_.pulse(n); }
  void shift_out(std::uint32_t bits, int n) override { pins_.shift_out(bits, n); }
  void clock_in(int n, std::uint32_t* bits) override {
    std::uint32_t value = 0;
    pins_.clock_in(n, &value);
    *bits = 0xDEADBEEF;
    bits_.push_back({bits, value});
  }
  void clock_until_low(int max, int* pulse) override {
    int value = 0;
    pins_.clock_until_low(max, &value);
    *pulse = -1;
    pulses_.push_back({pulse, value});
  }
  bool sample_do() override {
    flush();
    return pins_.sample_do();
  }
  void wait_at_least(std::int64_t ns) override {
    flush();
    pins_.wait_at_least(ns);
  }
  std::int64_t now_ns() override { return pins_.now_ns(); }
  bool queues() const override { return true; }
  void flush() override {
    for (auto [to, value] : bits_) *to = value;
    for (auto [to, value] : pulses_) *to = value;
    bits_.clear();
    pulses_.clear();
  }

 private:
  Cable& pins_;
  std::vector<std::pair<std::uint32_t*, std::uint32_t>> bits_;
  std::vector<std::pair<int*, int>> pulses_;
};

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() {
    link.set_progress([this] { ++advances; });
  }

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

  std::uint8_t data_register() { return port.port_in(kLpt1Base + kDataRegister); }

  VirtualClock clock;
  EmulatedPagerPort port{clock, kLpt1Base};
  LptCable cable{port, clock, [] { return kLpt1Base; }};
  EepromLink link{cable};
  int advances = 0;
};

TEST_F(LinkTest, WriteLeavesTheImageInAWriteDisabledChipAndReadGivesItBack) {
  port.chip().load(kOld);
  ASSERT_TRUE(link.open_link());
  port.clear_records();

  ASSERT_TRUE(link.write_eeprom(kNew));
  EXPECT_EQ(port.clock_pulses(), 3478u);
  EXPECT_EQ(port.chip().commands(), write_commands());
  EXPECT_EQ(advances, 128);
  // EWDS reached the chip, and only after word 127 had been programmed.
  EXPECT_FALSE(port.chip().write_enabled());
  EXPECT_EQ(port.chip().word(127), 0xFEFF);  // high byte first
  EXPECT_EQ(port.chip().save(), kNew);
  EXPECT_EQ(data_register(), kDeselect);
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
  EXPECT_EQ(data_register(), kRelease);
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
    LptCable cable(pager, vclock, [&c] { return c.selected_base; });
    EepromLink probe(cable);
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
  // The link cannot tell: a pulled DO line floats high, which reads ready.
  EXPECT_TRUE(link.write_eeprom(kNew));
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

// 93C56 parts take 3 ms to 10 ms to program a word. Slower ones than the
// fixed pause are waited for on their ready signal; no command reaches a
// chip that is still programming (the emulation counts that a violation),
// and the pulses and fields stay those of a fast chip.
TEST(LinkSlowChips, AreWaitedForAndEndVerifiedAndWriteDisabled) {
  for (std::int64_t program_ms : {3, 6, 10}) {
    SCOPED_TRACE(program_ms);
    VirtualClock clock;
    EmulatedPagerPort port(clock);
    port.chip().set_program_time_ns(program_ms * 1'000'000);
    port.chip().load(kOld);
    LptCable cable(port, clock, [] { return kLpt1Base; });
    EepromLink link(cable);
    ASSERT_TRUE(link.open_link());
    port.clear_records();

    EXPECT_TRUE(link.write_eeprom(kNew));
    EXPECT_EQ(port.clock_pulses(), 3478u);
    EXPECT_EQ(port.chip().commands(), write_commands());
    EXPECT_FALSE(port.chip().write_enabled());
    EXPECT_EQ(port.chip().save(), kNew);
    EXPECT_EQ(port.chip().violation_count(), 0u);
    for (const auto& v : port.chip().violations()) ADD_FAILURE() << v.what;
    for (unsigned v = 0; v < 256; ++v) {
      EXPECT_TRUE(!port.data_values().test(v) || v == 0x00 || v == 0x01 || v == 0x03 || v == 0x0C) << v;
    }

    image::Image back{};
    link.read_eeprom(back);
    EXPECT_EQ(back, kNew);
  }
}

// A chip slower than the ready wait fails the write; it is then given up to
// 100 ms more to finish the word, and EWDS goes out once it is ready, or at
// the end of that time, so that a 30-60 ms part does not go back into the
// pager write-enabled. A chip that never gets ready ignores the EWDS (the
// emulation counts a command sent to a busy chip a violation).
TEST(LinkSlowChips, OneTooSlowFailsTheWriteAndStillGetsEwdsOnceReady) {
  constexpr std::int64_t kCommandNs = 11 * 300'000 + 100'000;
  constexpr std::int64_t kFirstWordNs = kCommandNs + 5'000'000 + kCommandNs + 16 * 300'000;
  struct Case {
    const char* name;
    std::int64_t program_ns;
    bool write_enabled;
    std::vector<std::uint16_t> commands;
    std::size_t violations;
    std::int64_t ewds_from_ns, ewds_by_ns;  // after word 0, where EWDS begins
  };
  const Case cases[] = {
      {"60 ms", 60'000'000, false, {kCmdEwen, kCmdWrite, kCmdEwds}, 0, 60'000'000, 60'200'000},
      {"never ready", Eeprom93C56::kNeverReady, true, {kCmdEwen, kCmdWrite}, 1, 125'110'000, 125'400'000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock clock;
    EmulatedPagerPort port(clock);
    port.chip().set_program_time_ns(c.program_ns);
    port.chip().load(kOld);
    LptCable cable(port, clock, [] { return kLpt1Base; });
    EepromLink link(cable);
    int advances = 0;
    link.set_progress([&advances] { ++advances; });
    ASSERT_TRUE(link.open_link());
    port.clear_records();
    const std::int64_t start = clock.now_ns();

    EXPECT_FALSE(link.write_eeprom(kNew));
    EXPECT_EQ(port.chip().commands(), c.commands);
    EXPECT_EQ(port.chip().write_enabled(), c.write_enabled);
    EXPECT_EQ(port.chip().violation_count(), c.violations);
    EXPECT_EQ(port.port_in(kLpt1Base + kDataRegister), kDeselect);
    EXPECT_EQ(advances, 2);
    // Word 1 was given up 20 ms after its pause; EWDS (a command, then the
    // last deselect) came when the chip was ready or the 100 ms were over.
    const std::int64_t ewds_at = clock.now_ns() - start - kFirstWordNs - kCommandNs - 100'000;
    EXPECT_GE(ewds_at, c.ewds_from_ns);
    EXPECT_LT(ewds_at, c.ewds_by_ns);
  }
}

// The pause and the ready signal cost a fast chip nothing it did not pay
// before: EWEN, 128 words of pause, command and 16 bits, the pause before
// EWDS, EWDS, and the last deselect.
TEST_F(LinkTest, WriteToAFastChipLastsAsLongAsItsFixedWaits) {
  constexpr std::int64_t kBitSentNs = 300'000;
  constexpr std::int64_t kCommandNs = 11 * kBitSentNs + 100'000;
  constexpr std::int64_t kWordNs = 5'000'000 + kCommandNs + 16 * kBitSentNs;
  constexpr std::int64_t kPlainWriteNs = kCommandNs + kWords * kWordNs + kCommandNs + 100'000;
  ASSERT_TRUE(link.open_link());
  const std::int64_t start = clock.now_ns();
  ASSERT_TRUE(link.write_eeprom(kNew));
  const double ratio = static_cast<double>(clock.now_ns() - start) / kPlainWriteNs;
  EXPECT_GE(ratio, 1.0);
  EXPECT_LE(ratio, 1.01);
}

// The protocol never counts on a result before the cable has flushed.
TEST_F(LinkTest, ResultsAreTakenOnlyAfterTheCableFlushed) {
  BatchingCable batching(cable);
  EepromLink batched(batching);
  port.chip().set_program_time_ns(6'000'000);
  ASSERT_TRUE(batched.open_link());
  ASSERT_TRUE(batched.write_eeprom(kNew));
  image::Image back{};
  batched.read_eeprom(back);
  EXPECT_EQ(back, kNew);
  EXPECT_TRUE(batched.check_link());
  port.set_present(false);
  EXPECT_FALSE(batched.check_link());
}

}  // namespace
}  // namespace q5::link
