// The emulated USB board driven with raw engine commands, for what the
// cable's own use does not reach: the edge data is read on, the clock
// settings, and the commands it records as problems.
#include "link/emulated/emulated_mpsse.h"

#include <gtest/gtest.h>

#include <vector>

namespace q5::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Board {
  explicit Board(FtdiChip chip = FtdiChip::ft232h) {
    board.set_boards({{chip == FtdiChip::ft232h ? kFt232hProduct : kFt2232Product, chip, "X", FtdiOpen::opened}});
    board.open(chip == FtdiChip::ft232h ? kFt232hProduct : kFt2232Product, {}, 0);
    board.set_mode(FtdiMode::mpsse);
  }
  Bytes exchange(const Bytes& commands, std::size_t reply) {
    EXPECT_EQ(board.write(commands), FtdiTransfer::ok);
    Bytes answer(reply);
    EXPECT_EQ(board.read(answer, std::chrono::milliseconds(1000)), FtdiTransfer::ok);
    return answer;
  }
  VirtualClock clock;
  EmulatedMpsse board{clock};
};

// 5 kHz, chip selected, then READ of word 0: start bit, opcode 10, address
// 0 (11 bits, out on the falling edge).
const Bytes kReadWord0{0x8A, 0x86, 0x6F, 0x17, 0x80, 0x0A, 0x1B, 0x11, 0x00, 0x00, 0xC0, 0x13, 0x02, 0x00};

// The chip moves DO on each rising edge, the dummy zero included. Read on
// the falling edge, the word comes whole; read on the rising edge, each bit
// is the one before it, the dummy zero first.
TEST(EmulatedMpsse, DataReadOnTheRisingEdgeLagsOneBit) {
  struct Case {
    std::uint8_t read_bits;
    Bytes expected;
  };
  for (const Case& c : {Case{0x26, {0xA5, 0xC3}}, Case{0x22, {0x52, 0xE1}}}) {
    SCOPED_TRACE(c.read_bits);
    Board b;
    b.board.pager().set_word(0, 0xA5C3);
    const Bytes answer = b.exchange(
        [&] {
          Bytes commands = kReadWord0;
          commands.insert(commands.end(), {c.read_bits, 0x07, c.read_bits, 0x07, 0x87});
          return commands;
        }(),
        2);
    EXPECT_EQ(answer, c.expected);
    EXPECT_EQ(b.board.pager().commands(), std::vector<std::uint16_t>{0x200});
    EXPECT_EQ(b.board.pager().violation_count(), 0u);
    EXPECT_TRUE(b.board.problems().empty());
  }
}

TEST(EmulatedMpsse, HalfPeriodFollowsTheClockSettings) {
  struct Case {
    const char* name;
    FtdiChip chip;
    Bytes settings;
    std::int64_t half_ns;
  };
  const Case cases[] = {
      {"divisor 5999 from 60 MHz", FtdiChip::ft232h, {0x8A, 0x86, 0x6F, 0x17}, 100'000},
      {"divisor 5999, divide-by-5 left on", FtdiChip::ft232h, {0x86, 0x6F, 0x17}, 500'000},
      {"divide-by-5 back on", FtdiChip::ft2232h, {0x8A, 0x8B, 0x86, 0x6F, 0x17}, 500'000},
      {"fastest", FtdiChip::ft232h, {0x8A, 0x86, 0x00, 0x00}, 17},
      {"FT2232D: 12 MHz only", FtdiChip::ft2232cd, {0x86, 0x6F, 0x17}, 500'000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board b(c.chip);
    ASSERT_EQ(b.board.write(c.settings), FtdiTransfer::ok);
    EXPECT_EQ(b.board.half_period_ns(), c.half_ns);
    EXPECT_TRUE(b.board.problems().empty());
  }
}

// What the cable must never send is recorded, and answered as the engine
// answers a command it does not know.
TEST(EmulatedMpsse, RecordsWhatTheCableShouldNotSend) {
  struct Case {
    const char* name;
    FtdiChip chip;
    Bytes commands;
    Bytes answer;
    const char* problem;
  };
  const Case cases[] = {
      {"unknown command", FtdiChip::ft232h, {0xAB, 0x87}, {0xFA, 0xAB}, "unknown command 0xAB"},
      {"LSB first", FtdiChip::ft232h, {0x19, 0x87}, {0xFA, 0x19}, "unknown command 0x19"},
      {"high-speed setting on an FT2232D", FtdiChip::ft2232cd, {0x8A, 0x87}, {0xFA, 0x8A}, "does not have it"},
      // Every pin an input: all float high but chip select, held low by its pull-down.
      {"reply without send immediate", FtdiChip::ft232h, {0x81}, {0xF7}, "not followed by send immediate"},
      {"clocking that waits for a returned clock", FtdiChip::ft232h, {0x96, 0x8A, 0x86, 0x6F, 0x17, 0x13, 0x00, 0x00},
       {}, "adaptive"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board b(c.chip);
    EXPECT_EQ(b.exchange(c.commands, c.answer.size()), c.answer);
    ASSERT_FALSE(b.board.problems().empty());
    EXPECT_NE(b.board.problems().front().find(c.problem), std::string::npos) << b.board.problems().front();
  }
}

// Leaving the engine hands the low byte back to the serial port: TXD idles
// high on the clock line and DTR# drives the release lines, whatever the
// engine had set. Closing the board changes nothing.
TEST(EmulatedMpsse, AResetGivesThePinsBackToTheSerialPortAndClosingKeepsThem) {
  constexpr std::uint8_t kSk = kUsbPagerCable.sk, kCs = kUsbPagerCable.cs, kRelease = kUsbPagerCable.release;
  struct Case {
    const char* name;
    bool reset;
    bool dtr_asserted;
    std::uint8_t pins;  // SK, CS and the release lines afterwards
  };
  const Case cases[] = {
      {"closed in engine mode", false, false, 0},
      {"reset, DTR# not asserted", true, false, kSk | kRelease},
      {"reset, DTR# asserted", true, true, kSk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board b;
    b.board.set_dtr_asserted(c.dtr_asserted);
    // SK, DI, CS and the release lines driven, all low.
    b.exchange({0x80, 0x00, 0x1B, 0x81, 0x87}, 1);
    if (c.reset) b.board.set_mode(FtdiMode::reset);
    b.board.close();
    EXPECT_EQ(b.board.mode(), c.reset ? FtdiMode::reset : FtdiMode::mpsse);
    EXPECT_EQ(b.board.pins() & (kSk | kCs | kRelease), c.pins);
    EXPECT_TRUE(b.board.pager().commands().empty()) << "chip select low throughout";
  }
}

}  // namespace
}  // namespace q5::link
