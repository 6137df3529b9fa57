// read and write against the emulated chip on a virtual clock: a batch
// stepped on its file and logged, the faults that stop it, and the file a
// read leaves (or does not).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <utility>

#include "cli/batch.h"
#include "cli_run.h"
#include "files/batch_log.h"
#include "image/codec.h"
#include "link/emulated/emulated_access.h"
#include "link/eeprom_link.h"
#include "link/emulated/emulated_pager.h"
#include "rules/form.h"

namespace {

using namespace q5::test;
using q5::image::Image;
using q5::image::Settings;
namespace link = q5::link;

// Clock pulses the chip sees: a link check, a whole read, a whole write.
constexpr std::uint64_t kCheckPulses = 11;
constexpr std::uint64_t kReadPulses = 2059;
constexpr std::uint64_t kWritePulses = 3478;
// The read that starts a write, with the checks before and after it.
constexpr std::uint64_t kFirstReadPulses = kCheckPulses + kReadPulses + kCheckPulses;

constexpr const char* kWriteOk = "Write eeprom OK!";
constexpr const char* kVerifyError = "Verify error, please check Connection";
constexpr const char* kLinkError = "Link error, please check Connection";
constexpr const char* kModelError = "Model Error, please check...";

// The cable to the emulated pager, with a say before each claim and after
// each release (counted from 1), where a test makes its fault.
class BenchAccess final : public link::CableAccess {
 public:
  explicit BenchAccess(link::EmulatedLptAccess& lpt) : lpt_(lpt) {}
  std::string name() const override { return lpt_.name(); }
  link::Claim claim() override {
    ++claims_;
    if (before_claim) before_claim(claims_);
    return lpt_.claim();
  }
  void release() override {
    lpt_.release();
    if (after_release) after_release(claims_);
  }
  link::Cable& cable() override { return lpt_.cable(); }

  std::function<void(int)> before_claim;
  std::function<void(int)> after_release;

 private:
  link::EmulatedLptAccess& lpt_;
  int claims_ = 0;
};

class BenchCable final : public q5::cli::OpenedCable {
 public:
  explicit BenchCable(link::CableAccess& access) : access_(access) {}
  link::CableAccess& access() override { return access_; }

 private:
  link::CableAccess& access_;
};

// A pager as it comes to the bench: firmware R2, a KS8809, its own serial.
Image bench_pager() {
  Settings s;
  s.firmware = 1;
  s.pll_chip = 0;
  s.serial = "00000042";
  s.step_code = 1;  // "10kHz" under R2
  return q5::image::encode(s);
}

// The technician's file: R1, SM5170, address 3 switched off.
Settings batch_settings() {
  Settings s;
  s.address = {"0001000", "0001008", "0001016", "0001024"};
  s.address_enabled[2] = false;
  s.serial = "00000100";
  return s;
}

class PagerCommandsTest : public ::testing::Test {
 protected:
  PagerCommandsTest() { port.chip().load(bench_pager()); }

  q5::cli::Environment environment() {
    q5::cli::Environment e;
    e.open_cable = [this](const q5::cli::CableChoice& choice) {
      chosen = choice;
      return std::make_unique<BenchCable>(access);
    };
    e.now = [] { return std::time_t{1'800'000'000}; };
    return e;
  }
  CliRun run(const std::vector<std::string>& args, const std::string& input = {}) {
    return run_cli(args, environment(), input);
  }
  std::string batch_file() {
    const std::string file = dir / "batch.eep";
    write_file(file, bytes_of(q5::image::encode(batch_settings())));
    return file;
  }
  // The log's records as cells, header included (RFC 4180: quoted cells
  // hold commas, each record ends in CRLF).
  std::vector<std::vector<std::string>> log_rows(const std::string& path) {
    const Bytes bytes = read_file(path);
    const std::string text(bytes.begin(), bytes.end());
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> cells{""};
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (quoted) {
        if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
          cells.back() += '"';
          ++i;
        } else if (c == '"') {
          quoted = false;
        } else {
          cells.back() += c;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        cells.emplace_back();
      } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        rows.push_back(std::exchange(cells, {""}));
        ++i;
      } else {
        cells.back() += c;
      }
    }
    EXPECT_EQ(cells, std::vector<std::string>{""}) << "a record without its CRLF";
    return rows;
  }

  ScratchFolder dir;
  link::VirtualClock clock;
  link::EmulatedPagerPort port{clock, link::kLpt1Base};
  link::EmulatedLptAccess lpt1{port, clock, 0};
  BenchAccess access{lpt1};
  q5::cli::CableChoice chosen;
};

Settings stepped(Settings s, int pagers) {
  for (int row = 0; row < 4; ++row) {
    const int address = std::stoi(s.address[static_cast<std::size_t>(row)]) + 8 * pagers;
    std::string text = std::to_string(address);
    s.address[static_cast<std::size_t>(row)] = std::string(7 - text.size(), '0') + text;
  }
  const std::string serial = std::to_string(std::stoi(s.serial) + pagers);
  s.serial = std::string(8 - serial.size(), '0') + serial;
  return s;
}

TEST_F(PagerCommandsTest, ABatchOfThreeIsWrittenSteppedAndLogged) {
  const std::string file = batch_file();
  const std::string log = dir / "writes.csv";
  const CliRun result =
      run({"write", file, "--count", "3", "--offsets", "8,8,8,8", "--auto-serial", "--log", log}, "\n\n");
  ASSERT_EQ(result.status, 0) << result.err;

  // The last pager holds the settings stepped twice, with its own chip and
  // firmware; the file is stepped three times and keeps its own.
  const Settings pager = q5::image::decode(port.chip().save());
  EXPECT_EQ(pager.serial, "00000102");
  EXPECT_EQ(pager.address, stepped(batch_settings(), 2).address);
  EXPECT_EQ(pager.firmware, 1);
  EXPECT_EQ(pager.pll_chip, 0);
  EXPECT_EQ(read_file(file), bytes_of(q5::image::encode(stepped(batch_settings(), 3))));

  EXPECT_EQ(lines_of(result.out),
            (std::vector<std::string>{
                "pager 1 of 3 written: serial 00000100, address1 0001000, address2 0001008, address3 0001016 "
                "(disabled), address4 0001024",
                "pager 2 of 3 written: serial 00000101, address1 0001008, address2 0001016, address3 0001024 "
                "(disabled), address4 0001032",
                "pager 3 of 3 written: serial 00000102, address1 0001016, address2 0001024, address3 0001032 "
                "(disabled), address4 0001040"}));
  EXPECT_EQ(result.err, "Connect pager 2 of 3 and press Enter\nConnect pager 3 of 3 and press Enter\n");

  const auto rows = log_rows(log);
  ASSERT_EQ(rows.size(), 4U);
  EXPECT_EQ(rows[0].size(), 20U);
  for (int pager = 0; pager < 3; ++pager) {
    const auto& row = rows[static_cast<std::size_t>(pager) + 1];
    ASSERT_EQ(row.size(), 20U);
    EXPECT_EQ(row[1], kWriteOk);
    EXPECT_EQ(row[2], stepped(batch_settings(), pager).serial);
    EXPECT_EQ(row[4], stepped(batch_settings(), pager).address[0]);
    EXPECT_EQ(row[9], "0");  // address 3 disabled
    EXPECT_EQ(row[18], "KS8809");
    EXPECT_EQ(row[19], "R2");
  }
  EXPECT_EQ(chosen.lpt_index, 0U);
  EXPECT_FALSE(chosen.simulated);
}

// Only the addresses' digits and the serial number: the disable switches,
// the firmware and synthesiser bytes, every other byte stay the file's.
TEST(StepFile, ChangesOnlyTheAddressDigitsAndTheSerial) {
  Image file = q5::image::encode(batch_settings());
  file[q5::image::off::constant_00] = 0x5A;  // a byte no setting holds
  q5::image::seal(file);
  const Image before = file;
  q5::rules::Form form;
  form.start_up();
  form.show_file(file);
  form.take_pager_hardware(bench_pager());
  form.sc_autoinc[0].index = 8;
  form.sc_autoinc[3].index = 3;
  form.advance_addresses();
  form.step_serial();

  ASSERT_EQ(q5::cli::step_file(file, form, false), std::nullopt);
  EXPECT_EQ(q5::image::verify(file), q5::image::ChecksumFault::none);
  Settings expected = batch_settings();
  expected.address[0] = "0001008";
  expected.address[3] = "0001027";
  Image expected_image = q5::image::encode(expected);
  expected_image[q5::image::off::constant_00] = 0x5A;
  q5::image::seal(expected_image);
  EXPECT_EQ(file, expected_image);

  ASSERT_EQ(q5::cli::step_file(file, form, true), std::nullopt);
  EXPECT_EQ(q5::image::decode(file).serial, "00000101");
  for (std::size_t at = 0; at < file.size(); ++at) {
    const bool address = at >= q5::image::off::address1 && at < q5::image::off::address(4);
    const bool serial = at < q5::image::off::address1;
    if (!address && !serial && at < q5::image::off::checksum) {
      EXPECT_EQ(file[at], before[at]) << "byte " << at;
    }
  }

  // Past seven digits an address would reach the file as another one.
  form.sc_address[1].text = "10000000";
  const Image kept = file;
  EXPECT_NE(q5::cli::step_file(file, form, true), std::nullopt);
  EXPECT_EQ(file, kept);
}

TEST_F(PagerCommandsTest, AVerifyFailureMidBatchStopsAndIsLogged) {
  const std::string file = batch_file();
  const std::string log = dir / "writes.csv";
  access.before_claim = [this](int claim) {
    if (claim == 2)
      port.pull_cable_after_pulses(port.clock_pulses() + kFirstReadPulses + kCheckPulses + kWritePulses / 2);
  };
  const CliRun result =
      run({"write", file, "--count", "3", "--offsets", "8,8,8,8", "--auto-serial", "--log", log}, "\n\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(lines_of(result.err), (std::vector<std::string>{"Connect pager 2 of 3 and press Enter", kVerifyError}));
  EXPECT_EQ(lines_of(result.out).size(), 1U);
  EXPECT_EQ(read_file(file), bytes_of(q5::image::encode(stepped(batch_settings(), 1))));
  const auto rows = log_rows(log);
  ASSERT_EQ(rows.size(), 3U);
  EXPECT_EQ(rows[1][1], kWriteOk);
  EXPECT_EQ(rows[2][1], kVerifyError);
  EXPECT_EQ(rows[2][2], "00000101");  // what it tried to write
  EXPECT_EQ(rows[2][4], "0001008");
}

TEST_F(PagerCommandsTest, AFileThatCannotBeSavedAfterAVerifiedPagerIsStatusThree) {
  std::filesystem::create_directory(dir / "bench");
  write_file(dir / "bench/batch.eep", bytes_of(q5::image::encode(batch_settings())));
  // The folder goes away while the pager is written: nowhere to save.
  access.after_release = [this](int) { std::filesystem::rename(dir / "bench", dir / "gone"); };
  const CliRun result = run({"write", dir / "bench/batch.eep", "--count", "2", "--offsets", "8,8,8,8"}, "\n");
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(lines_of(result.out).size(), 1U);
  EXPECT_NE(result.err.find("File open error\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("the next pager would repeat"), std::string::npos) << result.err;
  EXPECT_EQ(read_file(dir / "gone/batch.eep"), bytes_of(q5::image::encode(batch_settings())));
}

TEST_F(PagerCommandsTest, EndOfInputEndsTheBatchAfterThePagersWritten) {
  const std::string file = batch_file();
  const CliRun result = run({"write", file, "--count", "3", "--auto-serial"}, "");
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(lines_of(result.out).size(), 1U);
  EXPECT_EQ(lines_of(result.err), (std::vector<std::string>{"Connect pager 2 of 3 and press Enter",
                                                            "End of input: 1 of 3 pagers written"}));
  EXPECT_EQ(q5::image::decode(image_of(read_file(file))).serial, "00000101");
}

struct Refusal {
  const char* name;
  void (*arrange)(link::EmulatedPagerPort&, link::EmulatedLptAccess&);
  std::vector<std::string> err;
};
void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class WriteRefused : public PagerCommandsTest, public ::testing::WithParamInterface<Refusal> {};

// The first pager fails: nothing steps, the row has the result alone.
TEST_P(WriteRefused, IsStatusOneWithTheWindowsTextAndARow) {
  const std::string file = batch_file();
  const Bytes before = read_file(file);
  GetParam().arrange(port, lpt1);
  const CliRun result = run({"write", file, "--count", "2", "--log", dir / "log.csv"}, "\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(lines_of(result.err), GetParam().err);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(read_file(file), before);
  const auto rows = log_rows(dir / "log.csv");
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[1][1], GetParam().err.back());
  EXPECT_EQ(rows[1][2], "");
}

INSTANTIATE_TEST_SUITE_P(
    Pagers, WriteRefused,
    ::testing::Values(Refusal{"OtherModel",
                              [](link::EmulatedPagerPort& p, link::EmulatedLptAccess&) {
                                Image image = bench_pager();
                                image[q5::image::off::function_flags] |= q5::image::kModelBitMask;
                                p.chip().load(image);
                              },
                              {kModelError}},
                      Refusal{"PortInUse",
                              [](link::EmulatedPagerPort&, link::EmulatedLptAccess& lpt) { lpt.hold(); },
                              {"LPT1 (/dev/parport0) is in use by another program"}},
                      Refusal{"NoDevice",
                              [](link::EmulatedPagerPort&, link::EmulatedLptAccess& lpt) {
                                lpt.remove_device("No such device");
                              },
                              {"LPT1 (/dev/parport0): No such device", kLinkError}},
                      Refusal{"NoPager",
                              [](link::EmulatedPagerPort& p, link::EmulatedLptAccess&) { p.set_present(false); },
                              {kLinkError}}),
    [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------ read

TEST_F(PagerCommandsTest, ReadSavesThePagersBytesAsRead) {
  Image pager = bench_pager();
  pager[q5::image::off::checksum] ^= 0xFF;  // kept as it is, with a word
  port.chip().load(pager);
  const std::string out = dir / "read.eep";
  const CliRun result = run({"read", out, "--lpt", "2"});
  // LPT2 was chosen; the bench's cable answers whatever the choice.
  EXPECT_EQ(chosen.lpt_index, 1U);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(out), bytes_of(pager));
  EXPECT_NE(result.err.find("checksum is error!"), std::string::npos);
  EXPECT_EQ(result.out, "");
}

struct ReadFault {
  const char* name;
  void (*arrange)(link::EmulatedPagerPort&, link::EmulatedLptAccess&);
  std::string out_name;
  int status;
  std::vector<std::string> err;  // OUT: the file read into
};
void PrintTo(const ReadFault& f, std::ostream* os) { *os << f.name; }

class ReadFails : public PagerCommandsTest, public ::testing::WithParamInterface<ReadFault> {};

TEST_P(ReadFails, SavesNothing) {
  GetParam().arrange(port, lpt1);
  const std::string out = dir / GetParam().out_name;
  const CliRun result = run({"read", out});
  EXPECT_EQ(result.status, GetParam().status);
  std::vector<std::string> err = GetParam().err;
  for (std::string& line : err) {
    if (const auto at = line.find("OUT"); at != std::string::npos) line.replace(at, 3, out);
  }
  EXPECT_EQ(lines_of(result.err), err);
  EXPECT_FALSE(std::filesystem::exists(out));
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadFails,
                         ::testing::Values(ReadFault{"CableLostDuringTheRead",
                                                     [](link::EmulatedPagerPort& p, link::EmulatedLptAccess&) {
                                                       p.pull_cable_after_pulses(kCheckPulses + kReadPulses / 2);
                                                     },
                                                     "read.eep",
                                                     1,
                                                     {kLinkError}},
                                           ReadFault{"OtherModel",
                                                     [](link::EmulatedPagerPort& p, link::EmulatedLptAccess&) {
                                                       Image image = bench_pager();
                                                       image[q5::image::off::function_flags] |=
                                                           q5::image::kModelBitMask;
                                                       p.chip().load(image);
                                                     },
                                                     "read.eep",
                                                     1,
                                                     {kModelError}},
                                           ReadFault{"PortInUse",
                                                     [](link::EmulatedPagerPort&, link::EmulatedLptAccess& lpt) {
                                                       lpt.hold();
                                                     },
                                                     "read.eep",
                                                     1,
                                                     {"LPT1 (/dev/parport0) is in use by another program"}},
                                           ReadFault{"NowhereToSave",
                                                     [](link::EmulatedPagerPort&, link::EmulatedLptAccess&) {},
                                                     "missing/read.eep",
                                                     2,
                                                     {"File open error: OUT: No such file or directory"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every cable option reaches the one place that opens cables.
TEST_F(PagerCommandsTest, CableOptionsChooseTheCable) {
  struct Case {
    std::vector<std::string> options;
    int status;
    std::size_t lpt_index = 0;
    bool simulated = false;
    bool usb = false;
    std::string usb_serial{};
  };
  for (const Case& c : std::vector<Case>{{{}, 0, 0, false, false, ""},
                                         {{"--lpt", "2"}, 0, 1, false, false, ""},
                                         {{"--demo"}, 0, 0, true, false, ""},
                                         {{"--usb"}, 0, 0, false, true, ""},
                                         {{"--usb-serial", "FT4XYZ"}, 0, 0, false, true, "FT4XYZ"},
                                         {{"--usb-serial", "FT4XYZ", "--demo"}, 0, 0, true, true, "FT4XYZ"},
                                         {{"--usb", "--lpt", "2"}, 2}}) {
    std::vector<std::string> args{"read", dir / "r.eep"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    chosen = {};
    const CliRun result = run(args);
    SCOPED_TRACE(args.back());
    EXPECT_EQ(result.status, c.status) << result.err;
    if (c.status != 0) continue;
    EXPECT_EQ(chosen.lpt_index, c.lpt_index);
    EXPECT_EQ(chosen.simulated, c.simulated);
    EXPECT_EQ(chosen.usb, c.usb);
    EXPECT_EQ(chosen.usb_serial, c.usb_serial);
  }
}

// A bar only when asked for (standard error a terminal), through the
// session's progress.
TEST_F(PagerCommandsTest, ProgressBarOnlyOnATerminal) {
  q5::cli::Environment e = environment();
  e.progress_bar = true;
  const CliRun shown = run_cli({"read", dir / "a.eep"}, e);
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.err.find("\rReading from pager ["), std::string::npos);
  EXPECT_NE(shown.err.find("] 100%\n"), std::string::npos);
  const CliRun quiet = run({"read", dir / "b.eep"});
  EXPECT_EQ(quiet.err, "");
}

}  // namespace

namespace {

// What must not reach a pager is refused before it, with status 2: an
// address the pager cannot receive (here one that a step takes into the
// unused block), two enabled rows with one address, a batch log that is
// FILE itself or cannot be made. Whatever the batch wrote before stays.
TEST_F(PagerCommandsTest, WhatMustNotReachAPagerIsRefusedBeforeIt) {
  struct Case {
    const char* name;
    void (*edit)(Settings&);
    std::vector<std::string> options;  // {} stands for FILE, "@" for a log beside FILE that cannot be made
    std::size_t pagers_written;
    const char* says;
  };
  const Case cases[] = {
      {"StepIntoUnusedBlock", [](Settings& s) { s.address[0] = "2007663"; }, {"--offsets", "8,0,0,0"}, 1,
       "Not written: address 1 is out of range"},
      {"EqualAddresses", [](Settings& s) { s.address[1] = s.address[0]; }, {}, 0,
       "Not written: addresses 1 and 2 are both 0001000"},
      {"LogIsFile", [](Settings&) {}, {"--log", ""}, 0, "--log names FILE itself"},
      {"LogNowhere", [](Settings&) {}, {"--log", "@"}, 0, "cannot be appended to: No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Settings settings = batch_settings();
    c.edit(settings);
    const std::string file = dir / (std::string(c.name) + ".eep");
    write_file(file, bytes_of(q5::image::encode(settings)));
    std::vector<std::string> args{"write", file, "--count", "3"};
    for (const std::string& option : c.options) {
      args.push_back(option.empty() ? file : option == "@" ? dir / "nowhere/log.csv" : option);
    }
    port.chip().load(bench_pager());
    port.clear_records();
    const CliRun result = run(args, "\n\n");
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(lines_of(result.out).size(), c.pagers_written);
    if (c.pagers_written == 0) {
      EXPECT_EQ(port.clock_pulses(), 0u);
      EXPECT_EQ(read_file(file), bytes_of(q5::image::encode(settings)));
    }
  }
}

// The technician of a hands-free batch acts at the program's pauses between
// link checks: takes a pager off, connects the next.
class HandsFreeBatch : public PagerCommandsTest {
 protected:
  q5::cli::Environment scripted(std::map<int, std::function<void()>> script, int interrupt_at = 0) {
    q5::cli::Environment e = environment();
    e.pause = [this, script = std::move(script)](std::chrono::nanoseconds d) {
      clock.advance_ns(d.count());
      if (const auto it = script.find(++pauses); it != script.end()) it->second();
    };
    e.interrupted = [this, interrupt_at] { return interrupt_at > 0 && pauses >= interrupt_at; };
    return e;
  }
  void take_off() { port.set_present(false); }
  void connect_next() {
    port.chip().load(bench_pager());
    port.set_present(true);
  }
  std::size_t writes_begun() const {
    const auto& commands = port.chip().commands();
    return static_cast<std::size_t>(std::count(commands.begin(), commands.end(), link::kCmdEwen));
  }
  int pauses = 0;
};

TEST_F(HandsFreeBatch, WritesEachPagerOnceAsItComesAndGoes) {
  const std::string file = batch_file();
  // Pager 1 stays on for two checks after its write, then goes; pager 2
  // comes after two failed checks; and so on.
  const CliRun result = run_cli({"--no-register", "write", file, "--count", "3", "--auto-serial", "--hands-free"},
                                scripted({{2, [this] { take_off(); }},
                                          {5, [this] { connect_next(); }},
                                          {9, [this] { take_off(); }},
                                          {12, [this] { connect_next(); }}}));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lines_of(result.out).size(), 3u);
  EXPECT_EQ(writes_begun(), 3u);  // none while a written pager stayed on
  std::vector<std::string> asked;
  for (const std::string& line : lines_of(result.err)) {
    if (line.find("pager") != std::string::npos) asked.push_back(line);
  }
  EXPECT_EQ(asked, (std::vector<std::string>{"\aTake pager 1 off the cable", "Connect pager 2",
                                             "\aTake pager 2 off the cable", "Connect pager 3"}));
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\a'), 3);
  EXPECT_EQ(q5::image::decode(image_of(read_file(file))).serial, "00000103");
}

TEST_F(HandsFreeBatch, CtrlCWhileWaitingEndsTheBatchAtTheLastVerifiedPager) {
  const std::string file = batch_file();
  const CliRun result = run_cli({"--no-register", "write", file, "--count", "3", "--auto-serial", "--hands-free"},
                                scripted({{2, [this] { take_off(); }}}, 3));
  EXPECT_EQ(result.status, 4) << result.err;
  EXPECT_NE(result.err.find("Interrupted: 1 of 3 pagers written"), std::string::npos) << result.err;
  EXPECT_EQ(writes_begun(), 1u);
  EXPECT_EQ(q5::image::decode(image_of(read_file(file))).serial, "00000101");
}

}  // namespace
