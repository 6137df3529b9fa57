// The USB cable, operation by operation: the engine commands each one
// becomes, byte for byte as FTDI gives them, carried out by the emulated
// board so that every byte is also one the engine understands.
#include "link/mpsse_cable.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "link/eeprom_link.h"
#include "link/emulated/emulated_mpsse.h"

namespace q5::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Passes everything to the emulated board and writes down what was sent.
class Recording final : public FtdiDevice {
 public:
  explicit Recording(FtdiDevice& board) : board_(board) {}
  FtdiOpen open(std::uint16_t product, const std::string& serial, int index) override {
    return board_.open(product, serial, index);
  }
  FtdiChip chip() const override { return board_.chip(); }
  bool set_mode(FtdiMode mode) override { return board_.set_mode(mode); }
  FtdiTransfer write(std::span<const std::uint8_t> data) override {
    sent.insert(sent.end(), data.begin(), data.end());
    return board_.write(data);
  }
  FtdiTransfer read(std::span<std::uint8_t> data, std::chrono::milliseconds timeout) override {
    const FtdiTransfer result = board_.read(data, timeout);
    if (garble && !data.empty()) data.back() ^= kUsbPagerCable.cs;
    return result;
  }
  void close() override { board_.close(); }
  std::string error() const override { return board_.error(); }

  Bytes sent;
  bool garble = false;  // chip select reads back wrong

 private:
  FtdiDevice& board_;
};

// A board opened and in engine mode, the cable started on it.
struct Started {
  Started() {
    board.open(kFt232hProduct, {}, 0);
    board.set_mode(FtdiMode::mpsse);
  }
  VirtualClock clock;
  EmulatedMpsse board{clock};
  Recording recording{board};
  MpsseCable cable{recording, clock};
};

constexpr std::uint8_t kSet = 0x80, kDirections = 0x1B;  // SK, DI, CS and the release lines drive
const Bytes kAnswer{0x81, 0x87};                         // read the pins, send immediate

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(MpsseCable, StartsTheClockAt5kHzWithTheLinesAtRest) {
  Started s;
  ASSERT_TRUE(s.cable.start());
  // No divide-by-5, no adaptive or three-phase clocking, divisor 5999,
  // loopback off; CS low, release lines high.
  EXPECT_EQ(s.recording.sent, (Bytes{0x8A, 0x97, 0x8D, 0x86, 0x6F, 0x17, 0x85, kSet, 0x10, kDirections, 0x81, 0x87}));
  EXPECT_EQ(s.board.half_period_ns(), 100'000);
  EXPECT_EQ(s.board.pins() & 0x18, 0x10);
  EXPECT_TRUE(s.board.problems().empty());
}

TEST(MpsseCable, EachOperationIsTheEngineCommandsOfThePagerCable) {
  std::uint32_t bits = 0;
  int fell_after = -1;
  struct Case {
    const char* name;
    std::function<void(Cable&)> operations;
    Bytes expected;
  };
  const Case cases[] = {
      {"select, DI high", [](Cable& c) { c.select(true); }, {kSet, 0x0A, kDirections}},
      {"select, DI low", [](Cable& c) { c.select(false); }, {kSet, 0x08, kDirections}},
      {"deselect", [](Cable& c) { c.deselect(); }, {kSet, 0x00, kDirections}},
      {"release lines", [](Cable& c) { c.release_lines(); }, {kSet, 0x10, kDirections}},
      {"clock idle keeps CS and DI",
       [](Cable& c) {
         c.select(true);
         c.clock_idle();
       },
       {kSet, 0x0A, kDirections, kSet, 0x0A, kDirections}},
      // DI repeated as the data, so that only SK moves.
      {"two pulses, DI high",
       [](Cable& c) {
         c.select(true);
         c.pulse(2);
       },
       {kSet, 0x0A, kDirections, 0x13, 0x01, 0xC0}},
      {"two pulses, DI low",
       [](Cable& c) {
         c.select(false);
         c.pulse(2);
       },
       {kSet, 0x08, kDirections, 0x13, 0x01, 0x00}},
      // Chip select and the first bit set, then a byte and three bits out
      // on the falling edge, most significant first.
      {"shift out 11 bits",
       [](Cable& c) { c.shift_out(0b101'1001'1101, 11); },
       {kSet, 0x0A, kDirections, 0x11, 0x00, 0x00, 0xB3, 0x13, 0x02, 0xA0}},
      {"shift out 16 bits, already selected",
       [](Cable& c) {
         c.select(true);
         c.shift_out(0xFE01, 16);
       },
       {kSet, 0x0A, kDirections, 0x11, 0x01, 0x00, 0xFE, 0x01}},
      // Bytes read one after another are one command.
      {"clock in three bytes",
       [&bits](Cable& c) {
         for (int i = 0; i < 3; ++i) c.clock_in(8, &bits);
       },
       {0x24, 0x02, 0x00}},
      {"clock in 11 bits", [&bits](Cable& c) { c.clock_in(11, &bits); }, {0x24, 0x00, 0x00, 0x26, 0x02}},
      {"clock until low, 11 at most",
       [&fell_after](Cable& c) { c.clock_until_low(11, &fell_after); },
       {0x24, 0x00, 0x00, 0x26, 0x02}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Started s;
    ASSERT_TRUE(s.cable.start());
    s.recording.sent.clear();
    c.operations(s.cable);
    s.cable.flush();
    EXPECT_EQ(s.recording.sent, concat({c.expected, kAnswer}));
    EXPECT_TRUE(s.cable.healthy()) << s.cable.fault();
    EXPECT_TRUE(s.board.problems().empty());
  }
}

// One exchange per wait, the wait on the host's clock once the board has
// answered; nothing queued costs no exchange; DO is read from the pins.
TEST(MpsseCable, WaitsAfterTheBoardAnsweredAndSamplesThePins) {
  Started s;
  ASSERT_TRUE(s.cable.start());
  s.recording.sent.clear();
  const std::uint64_t exchanges = s.cable.round_trips();
  s.cable.select(false);
  const std::int64_t selected_at = s.clock.now_ns();
  s.cable.wait_at_least(5'000'000);
  s.cable.wait_at_least(100'000);
  EXPECT_EQ(s.clock.now_ns() - selected_at, 5'100'000);
  EXPECT_EQ(s.cable.round_trips(), exchanges + 1);
  EXPECT_TRUE(s.cable.sample_do()) << "a ready chip";
  EXPECT_EQ(s.recording.sent, concat({{kSet, 0x08, kDirections}, kAnswer, kAnswer}));
  EXPECT_EQ(s.cable.round_trips(), exchanges + 2);
}

// Clocked at its own pace, every bit the same 200 us: sent ones are set up
// on the falling edge before, received ones read on the falling edge after.
TEST(MpsseCable, EveryBitTakesOneClockPeriod) {
  Started s;
  ASSERT_TRUE(s.cable.start());
  std::uint32_t bits = 0;
  const std::int64_t start = s.clock.now_ns();
  s.cable.shift_out(0x59D, 11);
  s.cable.clock_in(16, &bits);
  s.cable.pulse(2);
  s.cable.flush();
  EXPECT_EQ(s.clock.now_ns() - start, (11 + 16 + 2) * 200'000);
  EXPECT_EQ(s.board.clock_pulses(), 29u);
}

// A read longer than the board's buffer towards the host holds goes in more
// than one exchange, every byte still in its place.
TEST(MpsseCable, LongReadIsSplitWhereTheBoardsBufferEnds) {
  Started s;
  ASSERT_TRUE(s.cable.start());
  for (int w = 0; w < Eeprom93C56::kWords; ++w) s.board.pager().set_word(w, static_cast<std::uint16_t>(w * 0x0101 + 1));
  constexpr int kBytes = 600;  // the chip reads on round its 256 bytes
  std::vector<std::uint32_t> bytes(kBytes);
  const std::uint64_t before = s.cable.round_trips();
  s.cable.shift_out(0x400 | kCmdRead0, 11);
  s.cable.select(false);
  for (std::uint32_t& byte : bytes) s.cable.clock_in(8, &byte);
  s.cable.deselect();
  s.cable.flush();
  EXPECT_EQ(s.cable.round_trips() - before, 2u);
  for (int i = 0; i < kBytes; ++i) {
    const std::uint16_t word = s.board.pager().word(i / 2 % Eeprom93C56::kWords);
    ASSERT_EQ(bytes[static_cast<std::size_t>(i)], i % 2 == 0 ? word >> 8 : word & 0xFFu) << i;
  }
  EXPECT_TRUE(s.board.problems().empty());
}

// The link check over the USB cable: a 93C56 drives its dummy zero after
// the ninth period of the loop, as on the parallel port, but the cable
// clocks all eleven in one exchange: two periods more than the parallel
// cable gives a chip that answers.
TEST(MpsseCable, LinkCheckFindsTheDummyZeroAmongElevenQueuedPeriods) {
  struct Case {
    const char* name;
    bool present;
    int address_bits;
    bool ok;
  };
  const Case cases[] = {
      {"93C56", true, 8, true},
      {"no chip", false, 8, false},
      {"7 address bits", true, 7, false},
      {"9 address bits", true, 9, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Started s;
    ASSERT_TRUE(s.cable.start());
    s.board.set_pager_present(c.present);
    s.board.pager().set_address_bits(c.address_bits);
    EepromLink link(s.cable);
    EXPECT_EQ(link.check_link(), c.ok);
    EXPECT_EQ(s.board.clock_pulses(), 2u + kCheckMaxPulses);
    EXPECT_EQ(s.board.pager().violation_count(), 0u);
    EXPECT_TRUE(s.cable.healthy());
  }
}

// An answer of the wrong length, or one that does not fit the lines set,
// leaves the cable failed; from then on nothing is sent and every data-out
// bit reads high.
TEST(MpsseCable, BoardThatStopsAnsweringFailsTheCableForTheRestOfTheCommand) {
  Started s;
  ASSERT_TRUE(s.cable.start());
  s.board.stop_answering_after_transfers(1);  // the write goes, the read times out
  std::uint32_t bits = 0;
  int fell_after = -1;
  s.cable.select(true);
  s.cable.clock_in(8, &bits);
  s.cable.flush();
  EXPECT_FALSE(s.cable.healthy());
  EXPECT_EQ(s.cable.fault(), "USB cable (FT232H/FT2232H) stopped answering: nothing came back within 1000 ms");
  EXPECT_EQ(bits, 0xFFu);
  const Bytes sent = s.recording.sent;
  s.cable.clock_until_low(11, &fell_after);
  s.cable.wait_at_least(1'000'000'000);
  EXPECT_EQ(fell_after, 0);
  EXPECT_TRUE(s.cable.sample_do());
  EXPECT_EQ(s.recording.sent, sent);
  EXPECT_EQ(s.clock.now_ns(), 8 * 200'000) << "no waiting on a cable that failed";
}

// An answer that does not fit the lines the cable set (bytes of another
// exchange, a board that is not what it seems) is not taken for data.
TEST(MpsseCable, AnswerThatDoesNotFitFailsTheCable) {
  Started s;
  ASSERT_TRUE(s.cable.start());
  s.recording.garble = true;
  s.cable.select(false);
  EXPECT_TRUE(s.cable.sample_do());
  EXPECT_FALSE(s.cable.healthy());
  EXPECT_EQ(s.cable.fault(), "USB cable (FT232H/FT2232H) gave an answer that does not fit");
}

}  // namespace
}  // namespace q5::link
