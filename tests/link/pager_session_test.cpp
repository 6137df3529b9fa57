// Read from pager and Write to pager as whole commands, without any window:
// the emulated chip behind the parallel-port cable, a virtual clock, and a
// port that other programs can be told to hold.
#include "link/pager_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/eeprom_link.h"
#include "link/emulated/emulated_access.h"

namespace q5::link {
namespace {

constexpr std::uint64_t kCheckPulses = 11;
constexpr std::uint64_t kReadPulses = 2059;
constexpr std::uint64_t kWritePulses = 3478;
// A write's first part: open (its check), read, the check after the read.
constexpr std::uint64_t kFirstReadPulses = kCheckPulses + kReadPulses + kCheckPulses;

constexpr std::size_t kModelByte = 80;
constexpr std::uint8_t kModelBit = 0x20;
constexpr const char* kLpt1 = "LPT1 (/dev/parport0)";

image::Image pattern(unsigned mask, unsigned step) {
  image::Image img{};
  for (unsigned i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(mask ^ (i * step));
  img[kModelByte] &= static_cast<std::uint8_t>(~kModelBit);
  return img;
}
const image::Image kPager = pattern(0xA5, 7);

image::Image with_model_bit(image::Image img) {
  img[kModelByte] |= kModelBit;
  return img;
}

// What the caller builds from the pager: here every byte changed but the
// pager's hardware byte, which stays the pager's own.
image::Image prepared_from(const image::Image& pager) {
  image::Image img = pattern(0, 1);
  img[43] = pager[43];
  return img;
}

class RecordingProgress final : public Progress {
 public:
  void shown(Transfer t) override {
    events.push_back(t == Transfer::reading ? "shown reading" : "shown writing");
    visible = true;
  }
  void advanced() override { ++(visible ? advanced_shown : advanced_hidden); }
  void hidden() override {
    events.push_back("hidden");
    visible = false;
  }

  std::vector<std::string> events;
  bool visible = false;
  int advanced_shown = 0;
  int advanced_hidden = 0;
};

// A pager on LPT1 and everything a command needs around it.
struct Bench {
  Bench() { port.chip().load(kPager); }

  SessionResult read() { return session.read(); }
  SessionResult write() {
    return session.write([this](const image::Image& pager) {
      ++prepares;
      if (on_prepare) on_prepare();
      return prepared_from(pager);
    });
  }

  std::uint8_t data_register() { return port.port_in(kLpt1Base + kDataRegister); }
  bool chip_written() const {
    const auto& fields = port.chip().commands();
    return std::find(fields.begin(), fields.end(), kCmdEwen) != fields.end();
  }
  // The command is over: the cable given back after every claim that got
  // it, no progress window left on screen.
  void expect_ended() const {
    EXPECT_FALSE(lpt1.claimed());
    EXPECT_FALSE(progress.visible);
  }

  VirtualClock clock;
  EmulatedPagerPort port{clock, kLpt1Base};
  EmulatedLptAccess lpt1{port, clock, 0};
  RecordingProgress progress;
  PagerSession session{lpt1, &progress};
  int prepares = 0;
  std::function<void()> on_prepare;
};

class PagerSessionTest : public ::testing::Test, public Bench {};

TEST_F(PagerSessionTest, ReadGivesThePagersBytesChecksTheLinkAfterwardsAndCloses) {
  const SessionResult result = read();
  EXPECT_EQ(result.outcome, Outcome::ok);
  EXPECT_EQ(result.port, kLpt1);
  ASSERT_TRUE(result.pager.has_value());
  EXPECT_EQ(*result.pager, kPager);
  EXPECT_FALSE(result.written.has_value());
  EXPECT_EQ(read_message(result), "Read from eeprom OK!");

  EXPECT_EQ(port.clock_pulses(), kCheckPulses + kReadPulses + kCheckPulses);
  EXPECT_EQ(port.chip().commands(), (std::vector<std::uint16_t>{kCmdRead0, kCmdRead0, kCmdRead0}));
  EXPECT_EQ(data_register(), kRelease);
  EXPECT_EQ(progress.events, (std::vector<std::string>{"shown reading", "hidden"}));
  EXPECT_EQ(progress.advanced_shown, 256);
  EXPECT_EQ(progress.advanced_hidden, 0);
  EXPECT_EQ(lpt1.releases(), 1);
  expect_ended();
}

TEST_F(PagerSessionTest, WriteLeavesThePreparedImageVerifiedWriteDisabledAndTheLinkOpen) {
  image::Image given{};
  const SessionResult result = session.write([&given](const image::Image& pager) {
    given = pager;
    return prepared_from(pager);
  });
  EXPECT_EQ(result.outcome, Outcome::ok);
  EXPECT_EQ(write_message(result), "Write eeprom OK!");
  EXPECT_EQ(given, kPager);
  EXPECT_EQ(result.pager, kPager);
  EXPECT_EQ(result.written, prepared_from(kPager));
  EXPECT_EQ(port.chip().save(), prepared_from(kPager));
  EXPECT_FALSE(port.chip().write_enabled()) << "EWDS received";
  EXPECT_EQ(data_register(), kDeselect) << "link left open, release lines low";
  EXPECT_EQ(port.chip().violation_count(), 0u);

  // Read, check; open, write, read back, check.
  EXPECT_EQ(port.clock_pulses(), kFirstReadPulses + kCheckPulses + kWritePulses + kReadPulses + kCheckPulses);
  std::vector<std::uint16_t> fields{kCmdRead0, kCmdRead0, kCmdRead0, kCmdRead0, kCmdEwen};
  for (int w = 0; w < kWords; ++w) fields.push_back(static_cast<std::uint16_t>(kCmdWrite + w));
  fields.insert(fields.end(), {kCmdEwds, kCmdRead0, kCmdRead0});
  EXPECT_EQ(port.chip().commands(), fields);

  EXPECT_EQ(progress.events, (std::vector<std::string>{"shown writing", "hidden"}));
  EXPECT_EQ(progress.advanced_hidden, 256);
  EXPECT_EQ(progress.advanced_shown, 128 + 256);
  expect_ended();
}

// Slow chips are written like fast ones; one slower than the ready wait
// ends the write in the link error, yet goes back into the pager
// write-disabled once it gets ready; one that never does cannot take the
// EWDS sent to it anyway (a violation of the emulated chip).
TEST(PagerSessionChips, WriteWaitsForSlowChipsAndGivesUpOnAHungOne) {
  struct Case {
    std::int64_t program_ns;
    Outcome outcome;
    bool write_enabled;
    std::size_t violations;
  };
  for (const Case& c : {Case{3'000'000, Outcome::ok, false, 0}, Case{6'000'000, Outcome::ok, false, 0},
                        Case{10'000'000, Outcome::ok, false, 0}, Case{60'000'000, Outcome::link_error, false, 0},
                        Case{Eeprom93C56::kNeverReady, Outcome::link_error, true, 1}}) {
    SCOPED_TRACE(c.program_ns);
    Bench bench;
    bench.port.chip().set_program_time_ns(c.program_ns);
    EXPECT_EQ(bench.write().outcome, c.outcome);
    EXPECT_EQ(bench.port.chip().write_enabled(), c.write_enabled);
    EXPECT_EQ(bench.port.chip().violation_count(), c.violations);
    EXPECT_EQ(bench.data_register(), c.outcome == Outcome::ok ? kDeselect : kRelease);
    bench.expect_ended();
  }
}

// Each link check of both commands, failing, ends the command in the link
// error with the link closed. A cable lost during a read is caught by the
// check after it: the all-ones bytes are never given out as the pager's.
TEST(PagerSessionLinkError, AtEachCheckClosesTheLinkAndKeepsWhatIsKnown) {
  constexpr std::uint64_t kHundredBytes = 11 + 100 * 8;  // the READ command and 100 bytes
  struct Case {
    const char* name;
    bool write;
    std::function<void(Bench&)> fault;
    int prepares;       // the image was prepared (the pager had been read and checked)
    bool chip_written;  // EWEN reached the chip
  };
  const Case cases[] = {
      {"read: no chip at the open", false, [](Bench& b) { b.port.set_present(false); }, 0, false},
      {"read: cable pulled after 100 bytes", false,
       [](Bench& b) { b.port.pull_cable_after_pulses(kCheckPulses + kHundredBytes); }, 0, false},
      {"write: no chip at the first open", true, [](Bench& b) { b.port.set_present(false); }, 0, false},
      {"write: cable pulled after 100 bytes of the first read", true,
       [](Bench& b) { b.port.pull_cable_after_pulses(kCheckPulses + kHundredBytes); }, 0, false},
      {"write: cable pulled before the second open", true,
       [](Bench& b) { b.on_prepare = [&b] { b.port.pull_cable_at_ns(b.clock.now_ns()); }; }, 1, false},
      {"write: cable pulled right after the read-back", true,
       [](Bench& b) { b.port.pull_cable_after_pulses(kFirstReadPulses + kCheckPulses + kWritePulses + kReadPulses); },
       1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench;
    c.fault(bench);
    const SessionResult result = c.write ? bench.write() : bench.read();
    EXPECT_EQ(result.outcome, Outcome::link_error);
    EXPECT_EQ((c.write ? write_message : read_message)(result), "Link error, please check Connection");
    EXPECT_EQ(result.cause, "");
    EXPECT_EQ(result.pager.has_value(), c.prepares > 0) << "the pager's bytes only once a checked read gave them";
    EXPECT_EQ(bench.prepares, c.prepares);
    EXPECT_EQ(bench.chip_written(), c.chip_written);
    EXPECT_EQ(bench.data_register(), kRelease) << "link closed";
    bench.expect_ended();
  }
}

TEST(PagerSessionModel, PagerWithTheModelBitIsReadButNeverWritten) {
  for (bool write : {false, true}) {
    SCOPED_TRACE(write ? "write" : "read");
    Bench bench;
    bench.port.chip().load(with_model_bit(kPager));
    const SessionResult result = write ? bench.write() : bench.read();
    EXPECT_EQ(result.outcome, Outcome::model_refused);
    EXPECT_EQ((write ? write_message : read_message)(result), "Model Error, please check...");
    EXPECT_EQ(result.pager, with_model_bit(kPager));
    EXPECT_EQ(bench.prepares, 0);
    EXPECT_FALSE(bench.chip_written());
    EXPECT_EQ(bench.port.chip().save(), with_model_bit(kPager));
    EXPECT_EQ(bench.data_register(), kRelease);
    bench.expect_ended();
  }
}

TEST_F(PagerSessionTest, CablePulledDuringTheWriteIsTheVerifyError) {
  // EWEN and 64 whole words reach the chip, then the cable comes out.
  port.pull_cable_after_pulses(kFirstReadPulses + kCheckPulses + 11 + 64 * 27);
  const SessionResult result = write();
  EXPECT_EQ(result.outcome, Outcome::verify_error);
  EXPECT_EQ(write_message(result), "Verify error, please check Connection");
  EXPECT_EQ(result.written, prepared_from(kPager));
  EXPECT_EQ(data_register(), kRelease);
  port.reconnect_cable();
  image::Image half = kPager;
  std::copy_n(prepared_from(kPager).begin(), 128, half.begin());
  EXPECT_EQ(port.chip().save(), half);
  expect_ended();
}

TEST_F(PagerSessionTest, PrepareThatThrowsEndsTheCommandWithNothingWritten) {
  const auto refuse = [](const image::Image&) -> image::Image { throw std::runtime_error("not a valid integer"); };
  EXPECT_THROW(session.write(refuse), std::runtime_error);
  EXPECT_FALSE(chip_written());
  EXPECT_EQ(port.chip().save(), kPager);
  EXPECT_EQ(data_register(), kRelease);
  EXPECT_EQ(lpt1.releases(), 1);
  expect_ended();
}

// Another program on the port: nothing at all is sent, and the message
// names the port.
TEST_F(PagerSessionTest, PortHeldElsewhereSendsNothing) {
  lpt1.hold();
  for (bool write_command : {false, true}) {
    SCOPED_TRACE(write_command ? "write" : "read");
    const SessionResult result = write_command ? write() : read();
    EXPECT_EQ(result.outcome, Outcome::port_in_use);
    EXPECT_EQ((write_command ? write_message : read_message)(result),
              "LPT1 (/dev/parport0) is in use by another program");
    EXPECT_FALSE(result.cause.empty());
  }
  EXPECT_EQ(prepares, 0);
  EXPECT_TRUE(port.data_values().none());
  EXPECT_TRUE(port.control_values().none());
  EXPECT_TRUE(progress.events.empty());
  EXPECT_EQ(lpt1.releases(), 0);
  expect_ended();
}

// Once the other program lets go, the next command works: whether it held
// the port for a while or until told otherwise.
TEST(PagerSessionClaim, NextCommandWorksOnceThePortIsFree) {
  for (bool for_good : {false, true}) {
    SCOPED_TRACE(for_good ? "held until freed" : "held for two claims");
    Bench bench;
    bench.lpt1.hold(for_good ? EmulatedLptAccess::kForGood : 2);
    EXPECT_EQ(bench.write().outcome, Outcome::port_in_use);
    EXPECT_EQ(bench.read().outcome, Outcome::port_in_use);
    if (for_good) {
      EXPECT_EQ(bench.read().outcome, Outcome::port_in_use);
      bench.lpt1.set_free();
    }
    EXPECT_EQ(bench.write().outcome, Outcome::ok);
    EXPECT_EQ(bench.read().outcome, Outcome::ok);
    EXPECT_EQ(bench.lpt1.releases(), 2);
    bench.expect_ended();
  }
}

TEST_F(PagerSessionTest, PortWithoutADeviceIsTheLinkErrorWithItsCause) {
  lpt1.remove_device("No such file or directory");
  const SessionResult result = read();
  EXPECT_EQ(result.outcome, Outcome::link_error);
  EXPECT_EQ(result.cause, "LPT1 (/dev/parport0): No such file or directory");
  EXPECT_TRUE(port.data_values().none());
  EXPECT_TRUE(progress.events.empty());
}

TEST_F(PagerSessionTest, OtherPortThanThePagersFindsNothing) {
  EmulatedLptAccess lpt2(port, clock, 1);
  PagerSession on_lpt2(lpt2, nullptr);
  for (const SessionResult& result : {on_lpt2.read(), on_lpt2.write(prepared_from)}) {
    EXPECT_EQ(result.outcome, Outcome::link_error);
    EXPECT_EQ(result.port, "LPT2 (/dev/parport1)");
  }
  EXPECT_TRUE(port.chip().commands().empty());
  EXPECT_FALSE(port.foreign_ports().empty());
  EXPECT_FALSE(lpt2.claimed());
}

// A cable that stops answering (a USB board unplugged) from some operation
// on: nothing more reaches the pins and every data-out bit reads high.
class DyingCable final : public Cable {
 public:
  explicit DyingCable(Cable& pins) : pins_(pins) {}

  void select(bool di) override {
    if (alive()) pins_.select(di);
  }
  void deselect() override {
    if (alive()) pins_.deselect();
  }
  void release_lines() override {
    if (alive()) pins_.release_lines();
  }
  void clock_idle() override {
    if (alive()) pins_.clock_idle();
  }
  void pulse(int n) override {
    if (alive()) pins_.pulse(n);
  }
  void shift_out(std::uint32_t bits, int n) override {
    if (alive()) pins_.shift_out(bits, n);
  }
  void clock_in(int n, std::uint32_t* bits) override {
    if (alive()) return pins_.clock_in(n, bits);
    *bits = (n >= 32 ? 0 : 1U << n) - 1;
  }
  void clock_until_low(int max, int* pulse) override {
    if (alive()) return pins_.clock_until_low(max, pulse);
    *pulse = 0;
  }
  bool sample_do() override { return alive() ? pins_.sample_do() : true; }
  void wait_at_least(std::int64_t ns) override {
    if (alive()) pins_.wait_at_least(ns);
  }
  std::int64_t now_ns() override { return pins_.now_ns(); }
  void flush() override {
    if (alive()) pins_.flush();
  }
  bool healthy() const override { return operations_ < dies_at; }
  std::string fault() const override { return healthy() ? "" : "USB board unplugged"; }

  std::uint64_t dies_at = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t operations() const { return operations_; }

 private:
  bool alive() { return operations_++ < dies_at; }
  Cable& pins_;
  std::uint64_t operations_ = 0;
};

class DyingAccess final : public CableAccess {
 public:
  explicit DyingAccess(CableAccess& inner) : inner_(inner), cable_(inner.cable()) {}
  std::string name() const override { return inner_.name(); }
  Claim claim() override { return inner_.claim(); }
  void release() override { inner_.release(); }
  Cable& cable() override { return cable_; }
  DyingCable& dying() { return cable_; }

 private:
  CableAccess& inner_;
  DyingCable cable_;
};

// Whenever the cable dies, at the first operation, half-way or at the very
// last, the command is the link error with the cable's own cause: never ok.
TEST(PagerSessionUnhealthyCable, IsNeverReportedOk) {
  for (bool write : {false, true}) {
    std::uint64_t total = 0;
    {
      Bench bench;
      DyingAccess access(bench.lpt1);
      PagerSession session(access, nullptr);
      ASSERT_EQ((write ? session.write(prepared_from) : session.read()).outcome, Outcome::ok);
      total = access.dying().operations();
    }
    for (std::uint64_t dies_at : {std::uint64_t{0}, total / 2, total - 1}) {
      SCOPED_TRACE(std::string(write ? "write" : "read") + " dying at " + std::to_string(dies_at) + " of " +
                   std::to_string(total));
      Bench bench;
      DyingAccess access(bench.lpt1);
      access.dying().dies_at = dies_at;
      PagerSession session(access, &bench.progress);
      const SessionResult result = write ? session.write(prepared_from) : session.read();
      EXPECT_EQ(result.outcome, Outcome::link_error);
      EXPECT_EQ(result.cause, "USB board unplugged");
      bench.expect_ended();
    }
  }
}

int write_commands(const Eeprom93C56& chip) {
  return static_cast<int>(std::count_if(chip.commands().begin(), chip.commands().end(), [](std::uint16_t field) {
    return field >= kCmdWrite && field < kCmdWrite + kWords;
  }));
}

// A batch step: the pager holds the last image, the new one differs in its
// four address words, the serial's last word and the checksum. Only the
// words that differ are sent; the EWEN/EWDS bracket, the progress and the
// verify of all 128 words stay; a pager already holding the image gets no
// WRITE, and all_words rewrites everything.
TEST(PagerSessionChangedWords, WritesOnlyTheWordsThatDifferAndVerifiesAll) {
  const image::Image image = prepared_from(kPager);
  image::Image six_off = image;
  for (int w : {3, 4, 5, 6, 7, 127}) six_off[2 * static_cast<std::size_t>(w) + 1] ^= 0x01;
  struct Case {
    const char* name;
    image::Image on_pager;
    WriteOptions options;
    int writes;
  };
  const Case cases[] = {
      {"six words differ", six_off, {}, 6},
      {"pager already holds the image", image, {}, 0},
      {"every word differs", kPager, {}, 128},
      {"all words asked for", image, {.all_words = true}, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench;
    bench.port.chip().load(c.on_pager);
    const SessionResult result = bench.session.write([&](const image::Image&) { return image; }, c.options);
    EXPECT_EQ(result.outcome, Outcome::ok);
    EXPECT_EQ(result.words_written, c.writes);
    EXPECT_EQ(write_commands(bench.port.chip()), c.writes);
    EXPECT_EQ(bench.port.chip().save(), image);
    EXPECT_FALSE(bench.port.chip().write_enabled());
    EXPECT_EQ(bench.port.chip().violation_count(), 0u);
    // EWEN and EWDS around the WRITEs, then the verify's READ and the check.
    const std::vector<std::uint16_t>& fields = bench.port.chip().commands();
    ASSERT_EQ(fields.size(), 4u + 2u + static_cast<std::size_t>(c.writes) + 2u);
    EXPECT_EQ(fields[4], kCmdEwen);
    EXPECT_EQ(fields[5 + static_cast<std::size_t>(c.writes)], kCmdEwds);
    EXPECT_EQ(fields.back(), kCmdRead0);
    EXPECT_EQ(bench.port.clock_pulses(),
              kFirstReadPulses + kCheckPulses + 11 + 27 * static_cast<std::uint64_t>(c.writes) + 11 + kReadPulses +
                  kCheckPulses);
    EXPECT_EQ(bench.progress.advanced_shown, 128 + 256);
    bench.expect_ended();
  }
}

// A word skipped because the first read found it right is still verified:
// changed on the pager between the two openings of the link, it is the
// verify error, not a write reported good.
TEST_F(PagerSessionTest, WordChangedAfterTheFirstReadIsTheVerifyError) {
  const image::Image image = kPager;
  const SessionResult result = session.write([&](const image::Image&) {
    port.chip().set_word(9, 0x1234);
    return image;
  });
  EXPECT_EQ(result.outcome, Outcome::verify_error);
  EXPECT_EQ(result.words_written, 0);
  EXPECT_EQ(data_register(), kRelease);
  expect_ended();
}

// The check a hands-free batch polls with: a short claim, the link opened
// (its check) and closed again, the cable given back. Only the abandoned
// READ of the check reaches the chip, never a WRITE, and the pager is left
// as it was.
TEST(PagerSessionLinkCheck, TellsWhetherAPagerAnswersAndNeverWrites) {
  struct Case {
    const char* name;
    std::function<void(Bench&)> setup;
    LinkState state;
    std::string cause;
    std::uint64_t pulses;
  };
  const Case cases[] = {
      {"pager on the cable", [](Bench&) {}, LinkState::connected, "", kCheckPulses},
      {"no pager", [](Bench& b) { b.port.set_present(false); }, LinkState::not_connected, "", 13},
      {"port held elsewhere", [](Bench& b) { b.lpt1.hold(); }, LinkState::port_in_use,
       "LPT1 (/dev/parport0): held by another program", 0},
      {"no device", [](Bench& b) { b.lpt1.remove_device("No such file or directory"); }, LinkState::not_connected,
       "LPT1 (/dev/parport0): No such file or directory", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench;
    c.setup(bench);
    const LinkCheck check = bench.session.check_link();
    EXPECT_EQ(check.state, c.state);
    EXPECT_EQ(check.cause, c.cause);
    EXPECT_EQ(bench.port.clock_pulses(), c.pulses);
    EXPECT_EQ(bench.port.chip().commands(),
              c.state == LinkState::connected ? std::vector<std::uint16_t>{kCmdRead0} : std::vector<std::uint16_t>{});
    EXPECT_EQ(bench.port.chip().save(), kPager);
    EXPECT_FALSE(bench.port.chip().write_enabled());
    EXPECT_EQ(bench.port.chip().violation_count(), 0u);
    EXPECT_TRUE(bench.progress.events.empty());
    if (c.pulses > 0) {
      EXPECT_EQ(bench.data_register(), kRelease) << "link closed";
      // Held no longer than opening, checking and closing the link take.
      EXPECT_LT(bench.clock.now_ns(), 420'000'000);
    }
    bench.expect_ended();
  }
}

TEST(PagerSessionMessages, AreTheWindowsTexts) {
  struct Case {
    Outcome outcome;
    const char* write;
    const char* read;
  };
  const Case cases[] = {
      {Outcome::ok, "Write eeprom OK!", "Read from eeprom OK!"},
      {Outcome::port_in_use, "LPT2 (/dev/parport1) is in use by another program",
       "LPT2 (/dev/parport1) is in use by another program"},
      {Outcome::link_error, "Link error, please check Connection", "Link error, please check Connection"},
      {Outcome::verify_error, "Verify error, please check Connection", "Verify error, please check Connection"},
      {Outcome::model_refused, "Model Error, please check...", "Model Error, please check..."},
  };
  for (const Case& c : cases) {
    SessionResult result;
    result.outcome = c.outcome;
    result.port = "LPT2 (/dev/parport1)";
    EXPECT_EQ(write_message(result), c.write);
    EXPECT_EQ(read_message(result), c.read);
  }
}

}  // namespace
}  // namespace q5::link
