// Read from pager and Write to pager over the USB cable: the emulated board
// with the pager on its cable, on a virtual clock that reads the time at the
// pins, against the same commands over the parallel-port cable.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <chrono>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "link/eeprom_link.h"
#include "link/emulated/emulated_access.h"
#include "link/emulated/emulated_mpsse.h"
#include "link/usb_access.h"

namespace q5::link {
namespace {

constexpr std::size_t kModelByte = 80;
constexpr std::uint8_t kModelBit = 0x20;
constexpr std::uint8_t kCsAndRelease = kUsbPagerCable.cs | kUsbPagerCable.release;

image::Image pattern(unsigned mask, unsigned step) {
  image::Image img{};
  for (unsigned i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(mask ^ (i * step));
  img[kModelByte] &= static_cast<std::uint8_t>(~kModelBit);
  return img;
}
const image::Image kPager = pattern(0xA5, 7);

// What the caller builds from the pager: every byte new but its hardware byte.
image::Image prepared_from(const image::Image& pager) {
  image::Image img = pattern(0, 1);
  img[43] = pager[43];
  return img;
}

enum class Command { read, write };

SessionResult run(PagerSession& session, Command command) {
  return command == Command::read ? session.read() : session.write(prepared_from);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

// The pager on the USB cable.
struct UsbBench {
  explicit UsbBench(std::vector<EmulatedBoard> boards = {EmulatedBoard{}}, std::string serial = {})
      : usb(board, clock, std::move(serial)) {
    board.set_boards(std::move(boards));
    board.pager().load(kPager);
  }

  // The command is over: the board let go, and the engine was only ever
  // sent what it knows.
  void expect_let_go() const {
    EXPECT_FALSE(usb.claimed());
    EXPECT_FALSE(board.is_open());
    EXPECT_TRUE(board.problems().empty()) << joined(board.problems());
  }
  // The board left in engine mode with the lines as the command left them,
  // as the parallel cable leaves its own: clock low, chip deselected, the
  // release lines high after a read or a failure, low after a verified
  // write. Handed back to the serial port, the clock line would idle high
  // (TXD) and the release lines follow DTR#.
  void expect_lines_at_rest(bool release_high = true) const {
    EXPECT_EQ(board.mode(), FtdiMode::mpsse);
    EXPECT_EQ(board.pins() & (kUsbPagerCable.sk | kCsAndRelease), release_high ? kUsbPagerCable.release : 0);
  }

  VirtualClock clock;
  EmulatedMpsse board{clock};
  UsbCableAccess usb;
  PagerSession session{usb, nullptr};
};

// The same pager on LPT1.
struct LptBench {
  LptBench() { port.chip().load(kPager); }
  VirtualClock clock;
  EmulatedPagerPort port{clock, kLpt1Base};
  EmulatedLptAccess lpt1{port, clock, 0};
  PagerSession session{lpt1, nullptr};
};

TEST(UsbSession, WriteLeavesTheChipAsTheParallelCableDoesVerifiedAndWriteDisabled) {
  UsbBench usb;
  LptBench lpt;
  const SessionResult result = usb.session.write(prepared_from);
  ASSERT_EQ(lpt.session.write(prepared_from).outcome, Outcome::ok);

  EXPECT_EQ(result.outcome, Outcome::ok);
  EXPECT_EQ(write_message(result), "Write eeprom OK!");
  EXPECT_EQ(result.port, "USB (FT232H/FT2232H)");
  EXPECT_EQ(result.pager, kPager);
  EXPECT_EQ(usb.board.pager().save(), prepared_from(kPager));
  EXPECT_EQ(usb.board.pager().save(), lpt.port.chip().save());
  EXPECT_EQ(usb.board.pager().commands(), lpt.port.chip().commands());
  EXPECT_FALSE(usb.board.pager().write_enabled());
  EXPECT_EQ(usb.board.pager().violation_count(), 0u);
  for (const auto& v : usb.board.pager().violations()) ADD_FAILURE() << v.what;
  usb.expect_let_go();
  usb.expect_lines_at_rest(false);
}

TEST(UsbSession, ReadGivesThePagersBytes) {
  UsbBench usb;
  const SessionResult result = usb.session.read();
  EXPECT_EQ(result.outcome, Outcome::ok);
  EXPECT_EQ(read_message(result), "Read from eeprom OK!");
  EXPECT_EQ(result.pager, kPager);
  EXPECT_EQ(usb.board.pager().commands(), (std::vector<std::uint16_t>{kCmdRead0, kCmdRead0, kCmdRead0}));
  // Each link check clocks its eleven periods whole: two more than the
  // parallel cable's 2 + 9.
  constexpr std::uint64_t kCheck = 2 + kCheckMaxPulses;
  EXPECT_EQ(usb.board.clock_pulses(), kCheck + 11 + 256 * 8 + kCheck);
  EXPECT_EQ(usb.board.pager().violation_count(), 0u);
  usb.expect_let_go();
  usb.expect_lines_at_rest();
}

// The time at the pins is the sum of the minimums the protocol asks for,
// each bit one 200 us period, sent or received; a handful of exchanges
// carry each command's bits, the write about four per word.
TEST(UsbSession, TakesTheSumOfItsMinimumsInAFewExchanges) {
  constexpr std::int64_t kPeriod = 2 * mpsse::kHalfPeriodNs;
  constexpr std::int64_t kCheck = 4 * kBitWaitNs + (2 + kCheckMaxPulses) * kPeriod;
  constexpr std::int64_t kOpen = kClockIdleSettleNs + kDeselectSettleNs + kCheck;
  constexpr std::int64_t kClose = kCloseSettleNs + kReleaseSettleNs;
  constexpr std::int64_t kSend = 11 * kPeriod + kBitWaitNs;  // a command and its wait
  constexpr std::int64_t kReadAll = kSend + 256 * 8 * kPeriod + kBitWaitNs;
  constexpr std::int64_t kReadSession = kOpen + kReadAll + kCheck + kClose;
  // A fast chip is ready at the first look, kStatusValidNs after it is
  // selected: before each WRITE but the first, and before EWDS.
  constexpr std::int64_t kWord = kProgramPauseNs + kSend + 16 * kPeriod;
  constexpr std::int64_t kWriteAll =
      kSend + kWords * kWord + (kWords - 1) * kStatusValidNs + kProgramPauseNs + kStatusValidNs + kSend + kBitWaitNs;
  constexpr std::int64_t kWriteSession = kReadSession + kOpen + kWriteAll + kReadAll + kCheck;
  struct Case {
    Command command;
    std::int64_t pins_ns;
    double about_s;
    std::uint64_t max_exchanges;
  };
  for (const Case& c :
       {Case{Command::read, kReadSession, 0.83, 20}, Case{Command::write, kWriteSession, 2.9, 4 * 128 + 40}}) {
    SCOPED_TRACE(c.command == Command::read ? "read" : "write");
    UsbBench usb;
    ASSERT_EQ(run(usb.session, c.command).outcome, Outcome::ok);
    EXPECT_EQ(usb.clock.now_ns(), c.pins_ns);
    EXPECT_NEAR(static_cast<double>(usb.clock.now_ns()) / 1e9, c.about_s, 0.01);
    EXPECT_LE(usb.board.reads(), c.max_exchanges);
    EXPECT_EQ(usb.board.writes(), usb.board.reads()) << "one write and one read per exchange";
  }
  // Sent bits take 200 us instead of 300 us; what is received, the pauses
  // and the settling times stay.
  LptBench lpt;
  UsbBench usb;
  ASSERT_EQ(lpt.session.read().outcome, Outcome::ok);
  ASSERT_EQ(usb.session.read().outcome, Outcome::ok);
  EXPECT_NEAR(static_cast<double>(usb.clock.now_ns()) / static_cast<double>(lpt.clock.now_ns()), 1.0, 0.01);
}

// What the chip or its cable does wrong gives the same reports as on the
// parallel port; the board is let go with the lines at rest each time.
TEST(UsbSession, PagerFaultsGiveTheParallelCablesReports) {
  constexpr std::uint64_t kHundredBytes = 13 + 11 + 100 * 8;  // the open's check, READ, 100 bytes
  struct Case {
    const char* name;
    Command command;
    std::function<void(EmulatedMpsse&)> fault;
    Outcome outcome;
    std::size_t violations = 0;  // the EWDS a hung chip is sent anyway
  };
  const Case cases[] = {
      {"read: no chip", Command::read, [](EmulatedMpsse& b) { b.set_pager_present(false); }, Outcome::link_error},
      {"write: no chip", Command::write, [](EmulatedMpsse& b) { b.set_pager_present(false); }, Outcome::link_error},
      {"read: cable pulled after 100 bytes", Command::read,
       [](EmulatedMpsse& b) { b.pull_cable_after_pulses(kHundredBytes); }, Outcome::link_error},
      {"write: cable pulled after 100 bytes of the first read", Command::write,
       [](EmulatedMpsse& b) { b.pull_cable_after_pulses(kHundredBytes); }, Outcome::link_error},
      {"write: 6 ms chip", Command::write, [](EmulatedMpsse& b) { b.pager().set_program_time_ns(6'000'000); },
       Outcome::ok},
      {"write: 10 ms chip", Command::write, [](EmulatedMpsse& b) { b.pager().set_program_time_ns(10'000'000); },
       Outcome::ok},
      {"write: chip never ready", Command::write,
       [](EmulatedMpsse& b) { b.pager().set_program_time_ns(Eeprom93C56::kNeverReady); }, Outcome::link_error, 1},
      {"write: 60 ms chip", Command::write, [](EmulatedMpsse& b) { b.pager().set_program_time_ns(60'000'000); },
       Outcome::link_error},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UsbBench usb;
    c.fault(usb.board);
    const SessionResult result = run(usb.session, c.command);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.cause, "") << "the cable itself was sound";
    EXPECT_EQ(usb.board.pager().write_enabled(), c.violations > 0) << "EWDS taken by any chip that got ready";
    if (c.outcome == Outcome::ok) {
      EXPECT_EQ(usb.board.pager().save(), prepared_from(kPager));
    } else {
      EXPECT_EQ((c.command == Command::read ? read_message : write_message)(result),
                "Link error, please check Connection");
    }
    EXPECT_EQ(usb.board.pager().violation_count(), c.violations);
    usb.expect_let_go();
    usb.expect_lines_at_rest(c.outcome != Outcome::ok);
  }
}

// Which board is used, and why none could be: nothing is sent to a board
// that is refused, and the report names the cause for the log.
TEST(UsbSession, ChoosesTheBoardOrSaysWhyNoneCanBeUsed) {
  const EmulatedBoard ft232h{kFt232hProduct, FtdiChip::ft232h, "A", FtdiOpen::opened};
  const EmulatedBoard ft2232h{kFt2232Product, FtdiChip::ft2232h, "B", FtdiOpen::opened};
  const EmulatedBoard ft2232d{kFt2232Product, FtdiChip::ft2232cd, "D", FtdiOpen::opened};
  const auto with = [](EmulatedBoard board, FtdiOpen access) {
    board.access = access;
    return board;
  };
  const std::string in_use = "USB (FT232H/FT2232H) is in use by another program";
  const std::string link_error = "Link error, please check Connection";
  struct Case {
    const char* name;
    std::vector<EmulatedBoard> boards;
    std::string serial;
    Outcome outcome;
    std::string message;
    std::string cause;
    std::string opened;  // the serial number of the board used
  };
  const Case cases[] = {
      {"FT232H", {ft232h}, "", Outcome::ok, "Read from eeprom OK!", "", "A"},
      {"FT2232H", {ft2232h}, "", Outcome::ok, "Read from eeprom OK!", "", "B"},
      {"FT232H found before FT2232H", {ft2232h, ft232h}, "", Outcome::ok, "Read from eeprom OK!", "", "A"},
      {"serial number chosen", {ft232h, ft2232h}, "B", Outcome::ok, "Read from eeprom OK!", "", "B"},
      {"FT2232D passed over", {ft2232d, ft2232h}, "", Outcome::ok, "Read from eeprom OK!", "", "B"},
      {"busy board passed over",
       {with(ft232h, FtdiOpen::busy), ft2232h},
       "",
       Outcome::ok,
       "Read from eeprom OK!",
       "",
       "B"},
      {"no board", {}, "", Outcome::link_error, link_error, "USB cable (FT232H/FT2232H) not found", ""},
      {"no board with that serial number",
       {ft232h},
       "C",
       Outcome::link_error,
       link_error,
       "USB cable (FT232H/FT2232H) with serial number C not found",
       ""},
      {"permission denied",
       {with(ft232h, FtdiOpen::permission_denied)},
       "",
       Outcome::link_error,
       link_error,
       "USB cable (FT232H/FT2232H): permission denied - see the README for the udev rule",
       ""},
      {"held by another program",
       {with(ft232h, FtdiOpen::busy)},
       "",
       Outcome::port_in_use,
       in_use,
       "USB cable (FT232H/FT2232H): held by another program",
       ""},
      {"FT2232D",
       {ft2232d},
       "",
       Outcome::link_error,
       link_error,
       "USB cable: FT2232C/D boards are not supported; use an FT232H or FT2232H",
       "D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UsbBench usb(c.boards, c.serial);
    const SessionResult result = usb.session.read();
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(read_message(result), c.message);
    EXPECT_EQ(result.cause, c.cause);
    EXPECT_EQ(usb.board.opened_serial(), c.opened);
    if (c.outcome != Outcome::ok) {
      EXPECT_EQ(usb.board.transfers(), 0u);
      EXPECT_TRUE(usb.board.pager().commands().empty());
    }
    usb.expect_let_go();
  }
}

// A board that is unplugged, or stops answering, at any point of a
// command: never reported good, the cause for the log says which; the
// next command, with the board back, works.
TEST(UsbSession, BoardLostAnywhereIsTheLinkErrorNeverOk) {
  struct Fault {
    const char* name;
    void (EmulatedMpsse::*fail_after)(std::uint64_t);
    const char* cause;
  };
  const Fault faults[] = {
      {"unplugged", &EmulatedMpsse::unplug_after_transfers, "USB cable (FT232H/FT2232H) lost (unplugged?): usb bulk "},
      {"silent", &EmulatedMpsse::stop_answering_after_transfers,
       "USB cable (FT232H/FT2232H) stopped answering: nothing came back within 1000 ms"},
  };
  for (const Command command : {Command::read, Command::write}) {
    std::uint64_t total = 0;
    {
      UsbBench usb;
      ASSERT_EQ(run(usb.session, command).outcome, Outcome::ok);
      total = usb.board.transfers();
    }
    // The last exchange puts the lines at rest after the command is over.
    const std::uint64_t last_of_command = total - 3;
    for (const Fault& fault : faults) {
      for (const std::uint64_t at :
           {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{2}, total / 2, last_of_command}) {
        SCOPED_TRACE(std::string(command == Command::read ? "read, " : "write, ") + fault.name + " at transfer " +
                     std::to_string(at) + " of " + std::to_string(total));
        UsbBench usb;
        (usb.board.*fault.fail_after)(at);
        const SessionResult result = run(usb.session, command);
        EXPECT_EQ(result.outcome, Outcome::link_error);
        EXPECT_EQ(result.cause.rfind(fault.cause, 0), 0u) << result.cause;
        usb.expect_let_go();

        usb.board.plug_in();
        EXPECT_EQ(usb.session.read().outcome, Outcome::ok);
        usb.expect_lines_at_rest();
      }
    }
  }
}

// When each advance of the progress comes, on the clock at the pins.
class TimedProgress final : public Progress {
 public:
  explicit TimedProgress(Clock& clock) : clock_(clock) {}
  void shown(Transfer) override { visible_ = true; }
  void advanced() override {
    if (visible_) at.push_back(clock_.now_ns());
  }
  void hidden() override { visible_ = false; }

  // The advances of the last 256 shown (a read's bytes), at how many times,
  // and the time from the first of them to the last.
  std::size_t read_steps() const {
    return std::set<std::int64_t>(at.end() - std::min<std::ptrdiff_t>(256, std::ssize(at)), at.end()).size();
  }
  std::int64_t read_span_ns() const { return at.back() - at[at.size() - 256]; }

  std::vector<std::int64_t> at;

 private:
  Clock& clock_;
  bool visible_ = false;
};

// The bar follows the data on both cables: a read's 256 advances, and the
// verify read's after a write, come as the bytes arrive, not all before
// the first exchange. The USB cable takes them in eight exchanges of 32.
TEST(UsbSession, ProgressAdvancesAsTheDataArrives) {
  constexpr std::int64_t kByteNs = 8 * 2 * mpsse::kHalfPeriodNs;
  struct Case {
    const char* name;
    bool usb;
    Command command;
    std::size_t steps;
  };
  const Case cases[] = {
      {"LPT read", false, Command::read, 256},
      {"USB read", true, Command::read, 8},
      {"USB write's verify", true, Command::write, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UsbBench usb;
    LptBench lpt;
    Clock& clock = c.usb ? static_cast<Clock&>(usb.clock) : lpt.clock;
    TimedProgress progress(clock);
    PagerSession session(c.usb ? static_cast<CableAccess&>(usb.usb) : lpt.lpt1, &progress);
    ASSERT_EQ(run(session, c.command).outcome, Outcome::ok);
    ASSERT_EQ(progress.at.size(), c.command == Command::read ? 256u : 128u + 256u);
    EXPECT_GE(progress.read_steps(), c.steps);
    // From the first step to the last, the rest of the data came in.
    EXPECT_GE(progress.read_span_ns(), (256 - 256 / static_cast<std::int64_t>(c.steps)) * kByteNs);
  }
}

// The link check over the board: a pager answers or not, a board held
// elsewhere is in use; the board is let go after each check, its lines at
// rest, and no WRITE reaches the chip.
TEST(UsbSession, LinkCheckTellsWhetherAPagerAnswers) {
  struct Case {
    const char* name;
    std::vector<EmulatedBoard> boards;
    bool present;
    LinkState state;
  };
  const Case cases[] = {
      {"pager on the cable", {EmulatedBoard{}}, true, LinkState::connected},
      {"no pager", {EmulatedBoard{}}, false, LinkState::not_connected},
      {"no board", {}, true, LinkState::not_connected},
      {"board held elsewhere", {EmulatedBoard{kFt232hProduct, FtdiChip::ft232h, "A", FtdiOpen::busy}}, true,
       LinkState::port_in_use},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UsbBench usb(c.boards);
    usb.board.set_pager_present(c.present);
    const LinkCheck check = usb.session.check_link();
    EXPECT_EQ(check.state, c.state);
    EXPECT_EQ(check.cause.empty(), c.boards.size() == 1 && c.boards[0].access == FtdiOpen::opened);
    EXPECT_EQ(usb.board.pager().commands(),
              c.state == LinkState::connected ? std::vector<std::uint16_t>{kCmdRead0} : std::vector<std::uint16_t>{});
    EXPECT_EQ(usb.board.pager().save(), kPager);
    usb.expect_let_go();
    if (usb.board.opens() > 0) usb.expect_lines_at_rest();
  }
}

// The board behind USB round trips that cost time: each reply comes `rtt`
// after its request.
class SlowBus final : public FtdiDevice {
 public:
  SlowBus(EmulatedMpsse& board, VirtualClock& clock, std::int64_t rtt_ns)
      : board_(board), clock_(clock), rtt_ns_(rtt_ns) {}
  FtdiOpen open(std::uint16_t product, const std::string& serial, int index) override {
    return board_.open(product, serial, index);
  }
  FtdiChip chip() const override { return board_.chip(); }
  bool set_mode(FtdiMode mode) override { return board_.set_mode(mode); }
  FtdiTransfer write(std::span<const std::uint8_t> data) override { return board_.write(data); }
  FtdiTransfer read(std::span<std::uint8_t> data, std::chrono::milliseconds timeout) override {
    clock_.advance_ns(rtt_ns_);
    return board_.read(data, timeout);
  }
  void close() override { board_.close(); }
  std::string error() const override { return board_.error(); }

 private:
  EmulatedMpsse& board_;
  VirtualClock& clock_;
  std::int64_t rtt_ns_;
};

// Each look at DO over USB is a round trip: the ready wait is 20 ms on the
// clock however long the looks take, so a 40 ms chip is given up on with
// free round trips and with 1 ms ones alike (and still ends write-disabled).
TEST(UsbSession, ReadyWaitIsBoundedOnTheClockNotByCountingLooks) {
  for (const std::int64_t rtt_ns : {std::int64_t{0}, std::int64_t{1'000'000}}) {
    SCOPED_TRACE(rtt_ns);
    VirtualClock clock;
    EmulatedMpsse board(clock);
    board.pager().load(kPager);
    board.pager().set_program_time_ns(40'000'000);
    SlowBus bus(board, clock, rtt_ns);
    UsbCableAccess usb(bus, clock);
    PagerSession session(usb, nullptr);
    EXPECT_EQ(session.write(prepared_from).outcome, Outcome::link_error);
    EXPECT_FALSE(board.pager().write_enabled());
    EXPECT_EQ(board.pager().violation_count(), 0u);
  }
}

TEST(UsbSession, BoardHeldElsewhereWorksOnceFreed) {
  UsbBench usb({EmulatedBoard{kFt232hProduct, FtdiChip::ft232h, "A", FtdiOpen::busy}});
  EXPECT_EQ(usb.session.write(prepared_from).outcome, Outcome::port_in_use);
  EXPECT_EQ(usb.board.pager().save(), kPager);
  usb.board.set_boards({EmulatedBoard{}});
  EXPECT_EQ(usb.session.write(prepared_from).outcome, Outcome::ok);
  EXPECT_EQ(usb.board.pager().save(), prepared_from(kPager));
  usb.expect_let_go();
}

}  // namespace
}  // namespace q5::link
