// The emulated chip driven line by line, for what the link's own run does
// not reach: its timing checks, sequential read across the end, and the
// behaviour the write's final pause is there for.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "link/emulated/emulated_pager.h"

namespace q5::link {
namespace {

// Drives the port's lines by hand, waiting 100 us wherever the chip wants a
// pause.
class Wire {
 public:
  void data(std::uint8_t v) { port.port_out(kLpt1Base + kDataRegister, v); }
  void sk(bool high) { port.port_out(kLpt1Base + kControlRegister, high ? 0 : 1); }
  void wait_us(std::int64_t us) { clock.advance_ns(us * 1000); }
  void step() { wait_us(100); }
  bool do_line() { return (port.port_in(kLpt1Base + kStatusRegister) & 0x40) != 0; }

  void pulse() { sk(true); step(); sk(false); step(); }
  void bit(bool b) { data(b ? 0x03 : 0x01); step(); pulse(); }
  void bits(unsigned value, int count) { while (count-- > 0) bit(((value >> count) & 1) != 0); }
  void command(std::uint16_t field) { bits(0x400U | field, 11); }  // start bit and a 10-bit field; CS stays high
  void word(std::uint16_t w) { bits(w, 16); }
  void deselect() { data(0x00); step(); }
  void ewen() { command(0x0C0); deselect(); }
  std::uint16_t read_word() {
    std::uint16_t w = 0;
    for (int i = 0; i < 16; ++i) { pulse(); w = static_cast<std::uint16_t>(w << 1 | (do_line() ? 1 : 0)); }
    return w;
  }

  VirtualClock clock;
  EmulatedPagerPort port{clock, kLpt1Base};
};

TEST(EmulatedChip, SequentialReadWrapsAndIgnoresTheTopAddressBit) {
  Wire w;
  w.port.chip().set_word(127, 0x1234);
  w.port.chip().set_word(0, 0xBEEF);
  w.command(0x2FF);  // READ word 0xFF, which is word 127
  EXPECT_FALSE(w.do_line()) << "dummy zero";
  EXPECT_EQ(w.read_word(), 0x1234);
  EXPECT_EQ(w.read_word(), 0xBEEF);
  w.deselect();
  EXPECT_TRUE(w.do_line()) << "released DO is pulled high";
  EXPECT_EQ(w.port.chip().violation_count(), 0u);
}

TEST(EmulatedChip, WritesOnlyWhenEnabledWhenDeselectedAndNotWhileProgramming) {
  Wire w;
  w.command(0x105);  // WRITE word 5 at power-up: disabled
  w.word(0x0000);
  w.deselect();
  w.wait_us(5000);
  EXPECT_EQ(w.port.chip().word(5), 0xFFFF);

  w.ewen();
  w.command(0x105);
  w.word(0x0A0B);
  w.pulse();  // clocks after the 16th data bit change nothing
  w.pulse();
  EXPECT_EQ(w.port.chip().word(5), 0xFFFF) << "programs only when CS falls";
  w.deselect();
  EXPECT_EQ(w.port.chip().word(5), 0x0A0B);
  EXPECT_TRUE(w.port.chip().programming(w.clock.now_ns()));
  EXPECT_EQ(w.port.chip().violation_count(), 0u);

  w.command(0x106);  // 100 us into the 3 ms cycle: ignored, and named
  w.word(0x2222);
  w.deselect();
  ASSERT_GE(w.port.chip().violation_count(), 1u);
  EXPECT_NE(w.port.chip().violations().front().what.find("programming"), std::string::npos);
  w.wait_us(3000);
  EXPECT_FALSE(w.port.chip().programming(w.clock.now_ns()));
  EXPECT_EQ(w.port.chip().word(6), 0xFFFF);
  EXPECT_EQ(w.port.chip().word(5), 0x0A0B);
}

// Selected before a start bit, the chip shows its programming cycle on DO:
// low while busy, high from the moment it is done, for every cycle length a
// 93C56 may have; one that never finishes stays low.
TEST(EmulatedChip, ShowsItsProgrammingCycleOnDataOut) {
  constexpr std::int64_t kHour = 3'600'000'000'000;
  for (std::int64_t program_ns : {std::int64_t{3'000'000}, std::int64_t{6'000'000}, std::int64_t{10'000'000},
                                   Eeprom93C56::kNeverReady}) {
    SCOPED_TRACE(program_ns);
    Wire w;
    w.port.chip().set_program_time_ns(program_ns);
    w.ewen();
    w.command(0x105);
    w.word(0x0A0B);
    w.data(0x00);  // programming starts as chip select falls
    const std::int64_t started = w.clock.now_ns();
    w.step();
    w.data(0x01);
    EXPECT_FALSE(w.do_line()) << "busy at once";
    const bool finishes = program_ns != Eeprom93C56::kNeverReady;
    w.clock.advance_ns((finishes ? started + program_ns : kHour) - w.clock.now_ns() - 1);
    EXPECT_FALSE(w.do_line()) << "busy to the end of the cycle";
    w.clock.advance_ns(1);
    EXPECT_EQ(w.do_line(), finishes) << "ready when the cycle is over";
    if (!finishes) continue;
    // Chip select kept high into the next start bit: the chip takes it.
    w.command(0x106);
    w.word(0x0C0D);
    w.deselect();
    EXPECT_EQ(w.port.chip().violation_count(), 0u);
    EXPECT_EQ(w.port.chip().word(6), 0x0C0D);
  }
}

// What the pause before EWDS in the link's write is for: sent straight after
// the last data bit, chip select still high, EWDS is only more clocks of the
// WRITE, and the chip stays write-enabled.
TEST(EmulatedChip, EwdsWithoutDeselectingNeverArrives) {
  Wire w;
  w.ewen();
  w.command(0x17F);
  w.word(0x4242);
  w.command(0x00F);
  w.deselect();
  EXPECT_TRUE(w.port.chip().write_enabled());
  EXPECT_EQ(w.port.chip().commands(), (std::vector<std::uint16_t>{0x0C0, 0x17F}));
  EXPECT_EQ(w.port.chip().word(127), 0x4242);
}

TEST(EmulatedChip, TimingCheckerNamesEachBrokenRule) {
  struct Case {
    const char* rule;
    void (*drive)(Wire&);
    const char* text;
  };
  const Case cases[] = {
      {"DI set up", [](Wire& w) { w.data(0x03); w.wait_us(40); w.sk(true); }, "set up"},
      {"SK high", [](Wire& w) { w.data(0x03); w.step(); w.sk(true); w.wait_us(40); w.sk(false); }, "high"},
      {"SK low", [](Wire& w) { w.data(0x03); w.step(); w.sk(true); w.step(); w.sk(false); w.wait_us(40);
                               w.sk(true); }, "low"},
      {"DI hold", [](Wire& w) { w.data(0x03); w.step(); w.sk(true); w.wait_us(40); w.data(0x01); }, "hold"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    Wire w;
    c.drive(w);
    ASSERT_GE(w.port.chip().violation_count(), 1u);
    const std::string& what = w.port.chip().violations().front().what;
    EXPECT_NE(what.find(c.text), std::string::npos) << what;
  }
}

}  // namespace
}  // namespace q5::link
