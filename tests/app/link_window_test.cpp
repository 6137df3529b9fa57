// Write to pager and Read from pager through the window's menu commands,
// against the emulated 93C56 on the fake platform's virtual clock.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <bitset>

#include "image/codec.h"
#include "image/frequency.h"
#include "link/eeprom_link.h"
#include "support/form_snapshot.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using q5::image::Image;
using q5::image::Settings;
namespace link = q5::link;

constexpr const char* kLinkError = "Link error, please check Connection";
constexpr const char* kVerifyError = "Verify error, please check Connection";
constexpr const char* kModelError = "Model Error, please check...";
constexpr const char* kWriteOk = "Write eeprom OK!";
constexpr const char* kReadOk = "Read from eeprom OK!";

// Clock pulses the chip sees: a passed link check, a failed one (DO never
// falls), a whole read with its command.
constexpr std::uint64_t kCheckPulses = 11;
constexpr std::uint64_t kDeadCheckPulses = 13;
constexpr std::uint64_t kReadPulses = 2059;
// A read is checked before and after: a cable lost on the way shows.
constexpr std::uint64_t kReadCommandPulses = kCheckPulses + kReadPulses + kCheckPulses;

// The check is an abandoned READ: check, read, check.
const std::vector<std::uint16_t> kReadCommands{link::kCmdRead0, link::kCmdRead0, link::kCmdRead0};

// The words a write changed on the pager: the only ones it sends.
std::vector<int> changed_words(const Image& before, const Image& after) {
  std::vector<int> words;
  for (int w = 0; w < link::kWords; ++w) {
    const auto at = 2 * static_cast<std::size_t>(w);
    if (before[at] != after[at] || before[at + 1] != after[at + 1]) words.push_back(w);
  }
  return words;
}

// EWEN and EWDS, 11 each, and 27 for each word written.
std::uint64_t write_pulses(std::size_t words) { return 11 + 27 * words + 11; }

// EWEN, a WRITE per changed word, EWDS, the READ of the verify and the
// check after it.
std::vector<std::uint16_t> write_commands(const std::vector<int>& words) {
  std::vector<std::uint16_t> fields{link::kCmdEwen};
  for (int w : words) fields.push_back(static_cast<std::uint16_t>(link::kCmdWrite + w));
  fields.push_back(link::kCmdEwds);
  fields.push_back(link::kCmdRead0);
  fields.push_back(link::kCmdRead0);
  return fields;
}

// A pager as it comes in for programming: its own hardware, and settings
// that differ from the form's defaults wherever that is easy to see.
Settings pager_settings(int firmware, int chip) {
  Settings s;
  s.firmware = firmware;
  s.pll_chip = chip;
  s.serial = "00000042";
  s.address = {"0000008", "1000000", "2007672", "2097143"};
  s.frequency = "152.50000";
  s.step_code = firmware == 0 ? 3 : 1;  // "5kHz" under R1, "10kHz" under R2
  s.hello = "GOOD MORNING  ";
  s.password = "0042";
  s.num_message = 9;
  s.full_msg = false;
  s.urgent_call_addr = 2;  // a read brings the lists' greying up to date
  s.lcd_manual = 0;
  return s;
}

Image pager_image(int firmware, int chip) { return q5::image::encode(pager_settings(firmware, chip)); }

std::string str(const QString& text) { return text.toStdString(); }

enum class Command { write, read };
void PrintTo(Command c, std::ostream* os) { *os << (c == Command::write ? "write" : "read"); }

// What the progress window showed at one change of its bar.
struct ProgressSample {
  int value;
  bool visible;
  QString caption;
  int maximum;
  QPoint position;
  std::uint16_t last_command;  // the chip's last command field when the bar moved
};

class LinkWindowTest : public WindowTest {
 protected:
  LinkWindowTest() { start_in_setup = false; }

  void SetUp() override {
    platform.pager.chip().load(pager_image(1, q5::image::kChipKS8809));
    start();
  }

  link::EmulatedPagerPort& pager() { return platform.pager; }
  link::Eeprom93C56& chip() { return platform.pager.chip(); }
  std::uint8_t data_register() { return pager().port_in(link::kLpt1Base + link::kDataRegister); }

  // Through the menu, as the technician does: a conversion error in a
  // handler ends the command in the error box.
  void run(Command c) {
    (c == Command::write ? ui().WritetoPager1 : ui().ReadFromPager1)->trigger();
    wait_for_transfer();
  }
  void write() { run(Command::write); }
  void read() { run(Command::read); }

  // Records the progress window at every change of its bar.
  void record_progress() {
    QObject::connect(state->ProgressBar1, &QProgressBar::valueChanged, state.get(), [this](int value) {
      const auto& fields = chip().commands();
      progress.push_back({value, state->isVisible(), state->windowTitle(), state->ProgressBar1->maximum(),
                          state->pos(), fields.empty() ? std::uint16_t{0xFFFF} : fields.back()});
    });
  }

  // The command ended with the link closed and the progress window gone.
  void expect_link_closed() {
    EXPECT_EQ(data_register(), link::kRelease);
    EXPECT_FALSE(state->isVisible());
  }

  std::vector<ProgressSample> progress;
};

// ------------------------------------------------------------------ writing

class WriteToPager : public LinkWindowTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(WriteToPager, LeavesTheFormsSettingsWithThePagersOwnHardwareVerified) {
  const auto [firmware, chip_code] = GetParam();
  chip().load(pager_image(firmware, chip_code));
  const QStringList log_before = log();

  write();

  // The form's defaults, on the pager's firmware and synthesiser. "6.25kHz"
  // is on the lists of both firmware versions, so the step stays as well.
  Settings expected;
  expected.firmware = firmware;
  expected.pll_chip = chip_code;
  EXPECT_EQ(chip().save(), q5::image::encode(expected));
  EXPECT_EQ(chip().save(), window->image());
  EXPECT_EQ(ui().FirmwareVer->currentIndex(), firmware);
  // The RX8308 has no item in the list: the form shows no selection.
  EXPECT_EQ(ui().PLL_select->currentIndex(), chip_code == q5::image::kChipRX8308 ? -1 : chip_code);
  EXPECT_EQ(str(ui().Frequency_step->currentText()), "6.25kHz");
  EXPECT_EQ(str(ui().Frequency->text()), "138.97500");

  EXPECT_FALSE(chip().write_enabled());
  EXPECT_EQ(chip().violation_count(), 0u) << (chip().violations().empty() ? "" : chip().violations()[0].what);
  EXPECT_EQ(log(), log_before + QStringList{kWriteOk});
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());
  // The link stays open after a write: chip deselected, release lines low.
  EXPECT_EQ(data_register(), link::kDeselect);
  EXPECT_FALSE(state->isVisible());
}

INSTANTIATE_TEST_SUITE_P(FirmwareAndChip, WriteToPager,
                         ::testing::Values(std::pair{1, q5::image::kChipKS8809}, std::pair{0, q5::image::kChipRX8308},
                                           std::pair{1, q5::image::kChipSM5170}, std::pair{0, q5::image::kChipSM5170}),
                         [](const auto& info) {
                           return "R" + std::to_string(info.param.first + 1) + "_chip" + std::to_string(info.param.second);
                         });

// The step the technician chose stays when the written pager's list has it;
// when it does not, one line after the write says which step was written.
TEST_F(LinkWindowTest, WriteKeepsTheTechniciansStepWhenThePagersListHasIt) {
  // The form's firmware (taken from a pager read first), the step chosen and
  // the frequency; the pager's firmware; the step, its code and the
  // frequency afterwards; the log lines of the write.
  const std::tuple<int, const char*, const char*, int, const char*, int, const char*, QStringList> cases[] = {
      // "5kHz" is on the R2 list too; 138.98000 lies on its raster but not
      // on 12.5 kHz, where the list's first item would have moved it.
      {0, "5kHz", "138.98000", 1, "5kHz", 3, "138.98000", {kWriteOk}},
      {0, "6.25kHz", "138.98125", 1, "6.25kHz", 2, "138.98125", {kWriteOk}},
      {0, "5kHz", "138.98000", 0, "5kHz", 3, "138.98000", {kWriteOk}},
      {1, "10kHz", "138.98000", 1, "10kHz", 1, "138.98000", {kWriteOk}},
      // "10kHz" and "12.5kHz" are not on the R1 list: its first item, and
      // the frequency snapped to that raster.
      {1,
       "10kHz",
       "138.99000",
       0,
       "6.25kHz",
       2,
       "138.98750",
       {kWriteOk, "Pager firmware R1: step 6.25kHz written (10kHz is not in its list)"}},
      {1,
       "12.5kHz",
       "138.97500",
       0,
       "6.25kHz",
       2,
       "138.97500",
       {kWriteOk, "Pager firmware R1: step 6.25kHz written (12.5kHz is not in its list)"}}};
  for (const auto& [form_firmware, step, frequency, pager_firmware, written_step, code, written_frequency, lines] :
       cases) {
    SCOPED_TRACE(std::string(step) + " " + frequency + " to R" + std::to_string(pager_firmware + 1));
    chip().load(pager_image(form_firmware, q5::image::kChipSM5170));
    read();
    ASSERT_EQ(ui().FirmwareVer->currentIndex(), form_firmware);
    ui().Frequency_step->setCurrentText(step);
    ASSERT_EQ(ui().Frequency_step->currentText(), step);
    ui().Frequency->setText(frequency);
    window->run_rule(&q5::rules::Form::FrequencyExit);
    ASSERT_EQ(str(ui().Frequency->text()), frequency);

    chip().load(pager_image(pager_firmware, q5::image::kChipSM5170));
    prompts.clear();
    const qsizetype log_before = log().size();
    write();

    ASSERT_EQ(log().mid(log_before), lines);
    EXPECT_EQ(str(ui().Frequency_step->currentText()), written_step);
    EXPECT_EQ(str(ui().Frequency->text()), written_frequency);
    const Settings stored = q5::image::decode(chip().save());
    EXPECT_EQ(stored.firmware, pager_firmware);
    EXPECT_EQ(stored.step_code, code);
    EXPECT_EQ(stored.frequency, written_frequency);
    EXPECT_EQ(prompts.beeps, 0);
  }
}

// After a verified write the addresses step by their offsets and, with
// "Auto", the serial number by one; the pager gets the values from before.
TEST_F(LinkWindowTest, WriteStepsAddressesAndSerialForTheNextPager) {
  // Offsets, "Auto", the serial; the addresses and the serial afterwards.
  const std::tuple<std::array<int, 4>, bool, const char*, std::array<const char*, 4>, const char*> cases[] = {
      {{8, 8, 8, 8}, false, "12345678", {"2004008", "2004016", "2004024", "2004032"}, "12345678"},
      {{0, 0, 0, 0}, true, "12345678", {"2004000", "2004008", "2004016", "2004024"}, "12345679"},
      {{1, 2, 3, 4}, true, "99999999", {"2004001", "2004010", "2004019", "2004028"}, "0"}};
  for (const auto& [offsets, auto_serial, serial, addresses_after, serial_after] : cases) {
    SCOPED_TRACE(serial_after);
    for (int row = 0; row < 4; ++row) {
      ui().sc_address[row]->setText(QString::number(2004000 + 8 * row));
      ui().sc_autoinc[row]->setCurrentIndex(offsets[row]);
    }
    ui().CheckBox1->setChecked(auto_serial);
    ui().Serial_no->setText(serial);

    write();

    ASSERT_EQ(last_log(), kWriteOk);
    const Settings stored = q5::image::decode(chip().save());
    EXPECT_EQ(stored.address, (std::array<std::string, 4>{"2004000", "2004008", "2004016", "2004024"}));
    EXPECT_EQ(stored.serial, serial);
    for (int row = 0; row < 4; ++row) EXPECT_EQ(str(ui().sc_address[row]->text()), addresses_after[row]) << row + 1;
    EXPECT_EQ(str(ui().Serial_no->text()), serial_after);
    EXPECT_EQ(prompts.beeps, 0);
  }
}

// ------------------------------------------------------------------ reading

TEST_F(LinkWindowTest, ReadShowsThePagersSettingsWithoutCheckingTheChecksum) {
  for (const bool spoilt : {false, true}) {
    SCOPED_TRACE(spoilt ? "checksum spoilt" : "checksum right");
    Image pager_bytes = pager_image(spoilt ? 0 : 1, q5::image::kChipKS8809);
    if (spoilt) pager_bytes[q5::image::off::checksum] ^= 0x5A;
    chip().load(pager_bytes);
    prompts.clear();
    QStringList log_at_box;
    prompts.on_message = [&](const QString&) { log_at_box = log(); };

    read();

    EXPECT_EQ(prompts.messages, QStringList{kReadOk});
    EXPECT_EQ(log_at_box.value(log_at_box.size() - 1), kReadOk) << "the log line comes before the box";
    EXPECT_EQ(last_log(), kReadOk);
    EXPECT_EQ(prompts.beeps, 0);
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(window->image(), pager_bytes);
    EXPECT_EQ(str(ui().Serial_no->text()), "00000042");
    EXPECT_EQ(str(ui().sc_address[3]->text()), "2097143");
    EXPECT_EQ(str(ui().Frequency_step->currentText()), spoilt ? "5kHz" : "10kHz");
    EXPECT_EQ(ui().FirmwareVer->currentIndex(), spoilt ? 0 : 1);
    EXPECT_EQ(ui().PLL_select->currentIndex(), q5::image::kChipKS8809);
    EXPECT_FALSE(ui().Full_msg->isChecked());
    EXPECT_TRUE(ui().Urgent_call_tone->isEnabled());
    EXPECT_FALSE(ui().LcdorderComb->isEnabled());
    // The form now holds exactly the pager's settings.
    window->encode_image();
    EXPECT_EQ(window->image(), pager_image(spoilt ? 0 : 1, q5::image::kChipKS8809));
    EXPECT_EQ(chip().save(), pager_bytes);  // read only
    expect_link_closed();
  }
}

// -------------------------------------------------------- line-level figures

TEST_F(LinkWindowTest, PulsesAndCommandFieldsOfBothCommands) {
  pager().clear_records();
  read();
  ASSERT_EQ(last_log(), kReadOk);
  EXPECT_EQ(pager().clock_pulses(), kReadCommandPulses);
  EXPECT_EQ(chip().commands(), kReadCommands);
  EXPECT_EQ(chip().violation_count(), 0u);
  EXPECT_TRUE(pager().foreign_ports().empty());

  // The pager is read, checked again, written, read back and checked.
  pager().clear_records();
  chip().set_word(5, 0x0000);  // a word the write has to put right
  const Image before = chip().save();
  write();
  ASSERT_EQ(last_log(), kWriteOk);
  const std::vector<int> words = changed_words(before, chip().save());
  EXPECT_EQ(words, std::vector<int>{5});
  EXPECT_EQ(pager().clock_pulses(),
            kReadCommandPulses + kCheckPulses + write_pulses(words.size()) + kReadPulses + kCheckPulses);
  std::vector<std::uint16_t> expected = kReadCommands;
  expected.push_back(link::kCmdRead0);
  for (std::uint16_t field : write_commands(words)) expected.push_back(field);
  EXPECT_EQ(chip().commands(), expected);
  EXPECT_EQ(chip().violation_count(), 0u);
  // Only the four register values of the cable are ever written.
  std::bitset<256> allowed;
  for (std::uint8_t v : {link::kDeselect, link::kSelectBit0, link::kSelectBit1, link::kRelease}) allowed.set(v);
  EXPECT_EQ((pager().data_values() & ~allowed).count(), 0u);
  EXPECT_TRUE(pager().foreign_ports().empty());
}

TEST_F(LinkWindowTest, WriteNeverRaisesTheReleaseLinesOnceTheWriteHasBegun) {
  // From the moment the progress window appears the link is not closed
  // again: clear the port's records there and look at what follows.
  QMetaObject::Connection cleared;
  cleared = QObject::connect(state->ProgressBar1, &QProgressBar::valueChanged, state.get(), [&] {
    if (!state->isVisible()) return;
    pager().clear_records();
    QObject::disconnect(cleared);
  });
  const Image before = chip().save();
  write();
  ASSERT_EQ(last_log(), kWriteOk);
  const std::vector<int> words = changed_words(before, chip().save());
  EXPECT_FALSE(words.empty()) << "the form's defaults differ from the pager's settings";
  EXPECT_FALSE(pager().data_values().test(link::kRelease));
  EXPECT_EQ(data_register(), link::kDeselect);
  EXPECT_EQ(pager().clock_pulses(), write_pulses(words.size()) + kReadPulses + kCheckPulses);
  EXPECT_EQ(chip().commands(), write_commands(words));
}

// The bar's lower end is moved far down so that no advance is swallowed by
// the stop at the maximum: then every advance shows as one step of +1.
TEST_F(LinkWindowTest, ProgressFollowsEveryAdvance) {
  constexpr int kFloor = -10000;
  state->ProgressBar1->setMinimum(kFloor);
  state->ProgressBar1->setValue(kFloor);
  record_progress();
  auto expect_single_steps = [this](std::size_t from) {
    for (std::size_t i = from; i < progress.size(); ++i) {
      EXPECT_EQ(progress[i].value, progress[i - 1].value + 1) << i;
    }
  };

  read();
  ASSERT_EQ(progress.size(), 1u + 256u);
  EXPECT_EQ(progress[0].value, kFloor + TState_Form::kStepSize);
  EXPECT_TRUE(std::all_of(progress.begin(), progress.end(), [](const auto& p) { return p.visible; }));
  expect_single_steps(1);

  progress.clear();
  write();
  ASSERT_EQ(last_log(), kWriteOk);
  // The pager's first read advances the hidden bar; then one step on
  // showing it, one advance per word written, one per byte read back.
  ASSERT_EQ(progress.size(), 256u + 1u + 128u + 256u);
  for (std::size_t i = 0; i < progress.size(); ++i) EXPECT_EQ(progress[i].visible, i >= 256) << i;
  EXPECT_EQ(progress[256].value, progress[255].value + TState_Form::kStepSize);
  expect_single_steps(257);
  // Word advances come before each WRITE (the first right after EWEN); the
  // read-back's after its READ.
  for (std::size_t i = 257; i < 257 + 128; ++i) {
    const std::uint16_t field = progress[i].last_command;
    EXPECT_TRUE(field == link::kCmdEwen || (field & 0x380) == link::kCmdWrite) << i << ": " << field;
  }
  for (std::size_t i = 257 + 128; i < progress.size(); ++i) EXPECT_EQ(progress[i].last_command, link::kCmdRead0) << i;
}

TEST_F(LinkWindowTest, ProgressWindowCaptionPlaceAndRange) {
  window->move(40, 30);
  QCoreApplication::processEvents();
  record_progress();
  const QPoint beside_main = window->pos() + QPoint(150, 200);
  // Each command in turn: the caption, range and place the window shows,
  // and the bar's first and last values.
  const std::tuple<Command, const char*, int, QPoint, int, int> steps[] = {
      // A read before any write: the window's own place.
      {Command::read, "Reading from eeprom.Please waiting...", 256,
       QPoint(TState_Form::kDesignLeft, TState_Form::kDesignTop), TState_Form::kStepSize, 256},
      // The write's bar covers the words and the verify's read of every
      // byte, and ends with the verify.
      {Command::write, "Writing to eeprom.Please waiting...", 384, beside_main, 256 + TState_Form::kStepSize, 384},
      // A read after a write keeps the place the write gave the window;
      // past the end the step wraps round; single advances stop at the end.
      {Command::read, "Reading from eeprom.Please waiting...", 256, beside_main, TState_Form::kStepSize, 256}};
  for (const auto& [command, caption, maximum, place, first, last] : steps) {
    SCOPED_TRACE(caption);
    progress.clear();
    run(command);
    std::vector<ProgressSample> shown;
    std::copy_if(progress.begin(), progress.end(), std::back_inserter(shown), [](const auto& p) { return p.visible; });
    ASSERT_FALSE(shown.empty());
    for (const ProgressSample& p : shown) {
      EXPECT_EQ(p.caption, caption);
      EXPECT_EQ(p.maximum, maximum);
      EXPECT_EQ(p.position, place);
    }
    EXPECT_EQ(shown.front().value, first);
    EXPECT_EQ(shown.back().value, last);
    EXPECT_FALSE(state->isVisible());
  }
}

// The transfer holds the event loop, yet the progress window must be painted
// as the bar moves, and now and then the events that are not the user's must
// be served (a window that answers none of them looks hung).
TEST_F(LinkWindowTest, ProgressWindowIsPaintedAndServedDuringTheTransfer) {
  struct PaintRecorder : QObject {
    std::vector<int> values;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Paint) values.push_back(static_cast<QProgressBar*>(watched)->value());
      return false;
    }
  } painted;
  state->ProgressBar1->installEventFilter(&painted);

  int posted_at = -1, served_at = -1;
  bool served_while_shown = false;
  QObject::connect(state->ProgressBar1, &QProgressBar::valueChanged, state.get(), [&](int value) {
    if (!state->isVisible()) return;
    if (posted_at < 0 && value >= 100) {
      posted_at = value;
      QTimer::singleShot(0, state.get(), [&] {
        served_at = state->ProgressBar1->value();
        served_while_shown = state->isVisible();
      });
    }
    // The virtual clock lets a transfer pass in a moment; give the advances
    // real time, as the cable would, so that the spaced-out servicing comes.
    if (served_at < 0) QThread::msleep(2);
  });

  read();

  EXPECT_TRUE(served_while_shown);
  EXPECT_GE(served_at, posted_at);
  // All of these arrived before the command returned to the event loop.
  ASSERT_GE(painted.values.size(), 2u);
  EXPECT_TRUE(std::is_sorted(painted.values.begin(), painted.values.end()));
  EXPECT_GT(painted.values.back(), painted.values.front());
  state->ProgressBar1->removeEventFilter(&painted);
}

// ------------------------------------------------------------------- faults

struct LinkFault {
  const char* name;
  void (*arrange)(TMain_Page&, link::EmulatedPagerPort&);
  std::uint64_t pulses;  // seen at LPT1
};
void PrintTo(const LinkFault& f, std::ostream* os) { *os << f.name; }

class LinkErrorAtFirstCheck : public LinkWindowTest,
                              public ::testing::WithParamInterface<std::tuple<LinkFault, Command>> {};

TEST_P(LinkErrorAtFirstCheck, ReportsTheLinkErrorAndTouchesNothing) {
  const auto& [fault, command] = GetParam();
  const Image pager_bytes = chip().save();
  const FormSnapshot form_before = snapshot(*window);
  const QStringList log_before = log();
  pager().clear_records();
  fault.arrange(*window, pager());

  run(command);

  EXPECT_EQ(log(), log_before + QStringList{kLinkError});
  EXPECT_EQ(prompts.messages, QStringList{kLinkError});
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(differences(snapshot(*window), form_before), "");
  EXPECT_EQ(pager().clock_pulses(), fault.pulses);
  EXPECT_EQ(chip().save(), pager_bytes);
  EXPECT_FALSE(chip().write_enabled());
  EXPECT_FALSE(state->isVisible());
}

const LinkFault kLinkFaults[] = {
    {"NoChip", [](TMain_Page&, link::EmulatedPagerPort& p) { p.set_present(false); }, kDeadCheckPulses},
    // DO falls one pulse early or late: another size of chip.
    {"SevenAddressBits", [](TMain_Page&, link::EmulatedPagerPort& p) { p.chip().set_address_bits(7); }, 10},
    {"NineAddressBits", [](TMain_Page&, link::EmulatedPagerPort& p) { p.chip().set_address_bits(9); }, 12},
    // Nothing answers at LPT2 here: the chip at LPT1 sees no pulse at all.
    {"Lpt2", [](TMain_Page& w, link::EmulatedPagerPort&) { w.ui.N21->trigger(); }, 0},
};

INSTANTIATE_TEST_SUITE_P(Faults, LinkErrorAtFirstCheck,
                         ::testing::Combine(::testing::ValuesIn(kLinkFaults),
                                            ::testing::Values(Command::write, Command::read)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == Command::write ? "_write" : "_read");
                         });

TEST_F(LinkWindowTest, Lpt2SendsTheWholeConversationToItsOwnRegisters) {
  ui().N21->trigger();
  ASSERT_EQ(window->port_base(), link::kLpt2Base);
  pager().clear_records();
  read();
  EXPECT_EQ(last_log(), kLinkError);
  EXPECT_EQ(pager().foreign_ports(), (std::set<std::uint16_t>{0x278, 0x279, 0x27A}));
  EXPECT_TRUE(pager().data_values().none());
}

class ModelRefused : public LinkWindowTest, public ::testing::WithParamInterface<Command> {};

TEST_P(ModelRefused, OnlyTheModelBoxAndThePagerUntouched) {
  Settings normal = pager_settings(1, q5::image::kChipSM5170);
  normal.model = 1;
  const Image pager_bytes = q5::image::encode(normal);
  ASSERT_TRUE(q5::image::model_bit(pager_bytes));
  chip().load(pager_bytes);
  const FormSnapshot form_before = snapshot(ui());
  const QStringList log_before = log();
  pager().clear_records();

  run(GetParam());

  EXPECT_EQ(prompts.messages, QStringList{kModelError});
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_EQ(log(), log_before);
  EXPECT_EQ(differences(snapshot(ui()), form_before), "");
  EXPECT_EQ(window->image(), pager_bytes);
  // Read, not written, and the link closed.
  EXPECT_EQ(chip().save(), pager_bytes);
  EXPECT_EQ(chip().commands(), kReadCommands);
  EXPECT_EQ(pager().clock_pulses(), kReadCommandPulses);
  expect_link_closed();
}

INSTANTIATE_TEST_SUITE_P(Commands, ModelRefused, ::testing::Values(Command::write, Command::read),
                         [](const auto& info) { return std::string(info.param == Command::write ? "write" : "read"); });

TEST_F(LinkWindowTest, CablePulledBetweenTheTwoChecksOfAWrite) {
  const Image pager_bytes = chip().save();  // an R2 pager
  for (QComboBox* offset : ui().sc_autoinc) offset->setCurrentIndex(8);
  pager().clear_records();
  pager().pull_cable_after_pulses(kReadCommandPulses);

  write();

  EXPECT_EQ(last_log(), kLinkError);
  EXPECT_FALSE(log().contains(kWriteOk));
  EXPECT_EQ(prompts.messages, QStringList{kLinkError});
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(pager().clock_pulses(), kReadCommandPulses + kDeadCheckPulses);
  EXPECT_EQ(chip().commands(), kReadCommands);
  EXPECT_EQ(chip().save(), pager_bytes);
  // The form has taken the pager's firmware; the addresses stay.
  EXPECT_EQ(ui().FirmwareVer->currentIndex(), 1);
  EXPECT_EQ(str(ui().sc_address[0]->text()), "2004000");
  expect_link_closed();
}

// Words 0 to 11 (serial digits and the four addresses) unlike the form's,
// so that a write has them to send.
void spoil_serial_and_addresses(link::EmulatedPagerPort& p) {
  for (int w = 0; w < 12; ++w) p.chip().set_word(w, 0xA5A5);
}

struct VerifyFault {
  const char* name;
  void (*arrange)(link::EmulatedPagerPort&);
  bool chip_holds_the_image;  // the words went in; only their way back was lost
};
void PrintTo(const VerifyFault& f, std::ostream* os) { *os << f.name; }

class WriteNotVerified : public LinkWindowTest, public ::testing::WithParamInterface<VerifyFault> {};

TEST_P(WriteNotVerified, ReportsTheVerifyErrorAndStepsNothing) {
  for (QComboBox* offset : ui().sc_autoinc) offset->setCurrentIndex(8);
  ui().CheckBox1->setChecked(true);
  GetParam().arrange(pager());
  const QStringList log_before = log();

  write();

  EXPECT_EQ(log(), log_before + QStringList{kVerifyError});
  EXPECT_EQ(prompts.messages, QStringList{kVerifyError});
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(chip().save() == window->image(), GetParam().chip_holds_the_image);
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(ui().sc_address[row]->text(), QString::number(2004000 + 8 * row));
  }
  EXPECT_EQ(str(ui().Serial_no->text()), "12345678");
  expect_link_closed();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WriteNotVerified,
    ::testing::Values(
        // Halfway through the words (the pager's serial and addresses, which
        // the write puts right): the read-back sees nothing but ones.
        VerifyFault{"CablePulledMidWrite",
                    [](link::EmulatedPagerPort& p) {
                      spoil_serial_and_addresses(p);
                      p.pull_cable_after_pulses(kReadCommandPulses + kCheckPulses + 11 + 6 * 27);
                    },
                    false},
        // Pulled during the read-back: what came back is not what was written.
        VerifyFault{"CablePulledDuringTheReadBack",
                    [](link::EmulatedPagerPort& p) {
                      spoil_serial_and_addresses(p);
                      p.pull_cable_after_pulses(kReadCommandPulses + kCheckPulses + write_pulses(12) + 1000);
                    },
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

// A write cut short still names the step the pager's firmware brought in
// once words of the image went in; none when nothing was sent.
TEST_F(LinkWindowTest, AWriteCutShortNamesTheStepOnlyOnceWordsWentIn) {
  const std::pair<std::uint64_t, QStringList> cases[] = {
      {kReadCommandPulses + kCheckPulses + 11 + 6 * 27,
       {kVerifyError, "Pager firmware R1: step 6.25kHz written (12.5kHz is not in its list)"}},
      // Lost during the pager's read, or in the check after it: a link
      // error, nothing written.
      {kCheckPulses + 100, {kLinkError}},
      {kReadCommandPulses + 5, {kLinkError}},
  };
  for (const auto& [pulses, lines] : cases) {
    SCOPED_TRACE(lines.constFirst().toStdString());
    chip().load(pager_image(1, q5::image::kChipSM5170));
    read();
    ui().Frequency_step->setCurrentText("12.5kHz");
    ASSERT_EQ(str(ui().Frequency_step->currentText()), "12.5kHz");
    chip().load(pager_image(0, q5::image::kChipSM5170));
    pager().clear_records();
    pager().pull_cable_after_pulses(pulses);
    const qsizetype log_before = log().size();
    write();
    EXPECT_EQ(log().mid(log_before), lines);
    pager().reconnect_cable();
  }
}

// ------------------------------------------------------------ on the bench

constexpr const char* kLpt1InUse = "LPT1 (/dev/parport0) is in use by another program";

// A port another program holds is not waited on for long: nothing goes to
// the port, the technician is told which port is taken, and once it is free
// the next command works without a restart.
TEST_F(LinkWindowTest, PortHeldByAnotherProgramIsReportedUntilItIsFree) {
  platform.lpt1.hold();  // for good, like a print job that never ends
  for (const Command command : {Command::write, Command::read}) {
    SCOPED_TRACE(command == Command::write ? "write" : "read");
    pager().clear_records();
    prompts.clear();
    const QStringList log_before = log();
    const FormSnapshot form_before = snapshot(*window);
    run(command);
    EXPECT_EQ(log(), log_before + QStringList{kLpt1InUse});
    EXPECT_EQ(prompts.messages, QStringList{kLpt1InUse});
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(pager().data_values().none());
    EXPECT_TRUE(pager().control_values().none());
    EXPECT_FALSE(state->isVisible());
    EXPECT_EQ(differences(snapshot(*window), form_before), "");
  }
  platform.lpt1.hold(1);  // one more command finds it taken, then it is let go
  read();
  EXPECT_EQ(last_log(), kLpt1InUse);
  read();
  EXPECT_EQ(last_log(), kReadOk);
  write();
  EXPECT_EQ(last_log(), kWriteOk);
  EXPECT_FALSE(platform.lpt1.claimed());
}

// Chips whose self-timed write lasts longer than the 5 ms pause are waited
// for; one that never reports ready is a link error, and the batch stays.
TEST_F(LinkWindowTest, SlowChipsAreProgrammedAndOneNeverReadyIsALinkError) {
  for (QComboBox* offset : ui().sc_autoinc) offset->setCurrentIndex(8);
  for (const std::int64_t cycle_ns : {6'000'000, 10'000'000}) {
    SCOPED_TRACE(cycle_ns);
    chip().set_program_time_ns(cycle_ns);
    const QString address = ui().sc_address[0]->text();
    write();
    EXPECT_EQ(last_log(), kWriteOk);
    EXPECT_EQ(chip().save(), window->image());
    EXPECT_FALSE(chip().write_enabled());
    EXPECT_EQ(chip().violation_count(), 0u);
    EXPECT_EQ(ui().sc_address[0]->text().toInt(), address.toInt() + 8);
  }

  chip().set_program_time_ns(link::Eeprom93C56::kNeverReady);
  prompts.clear();
  const QString address = ui().sc_address[0]->text();
  write();
  EXPECT_EQ(last_log(), kLinkError);
  EXPECT_EQ(prompts.messages, QStringList{kLinkError});
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(ui().sc_address[0]->text(), address);
  expect_link_closed();
}

// The cable pulled after 100 bytes of a read: the rest reads as all ones,
// and only the link check after the read tells. Nothing is shown as read.
TEST_F(LinkWindowTest, CableLostDuringAReadIsALinkErrorAndTheFormStays) {
  const FormSnapshot form_before = snapshot(*window);
  const Image image_before = window->image();
  const QStringList log_before = log();
  pager().clear_records();
  pager().pull_cable_after_pulses(kCheckPulses + 11 + 100 * 8);

  read();

  EXPECT_EQ(log(), log_before + QStringList{kLinkError});
  EXPECT_EQ(prompts.messages, QStringList{kLinkError});
  EXPECT_EQ(differences(snapshot(*window), form_before), "");
  EXPECT_EQ(window->image(), image_before);
  EXPECT_EQ(chip().commands(), std::vector<std::uint16_t>(2, link::kCmdRead0));  // the check, the read
  expect_link_closed();
}

// The same in the read that starts a write: the pager is not written.
TEST_F(LinkWindowTest, CableLostDuringTheWritesFirstReadWritesNothing) {
  const Image pager_bytes = chip().save();
  pager().clear_records();
  pager().pull_cable_after_pulses(kCheckPulses + 11 + 100 * 8);
  write();
  EXPECT_EQ(last_log(), kLinkError);
  EXPECT_EQ(chip().commands(), std::vector<std::uint16_t>(2, link::kCmdRead0));
  EXPECT_EQ(chip().save(), pager_bytes);
  expect_link_closed();
}

// An address stepped past seven digits is no address a pager can take:
// neither a write nor a save starts, the technician is sent to the field.
// (A pager is no longer written with 9999999, which the range check warns
// about; a switched-off row still steps on.)
TEST_F(LinkWindowTest, AddressPastSevenDigitsStopsWriteAndSave) {
  ui().sc_address[3]->setText("9999999");
  ui().sc_autoinc[3]->setCurrentIndex(8);
  ui().sc_addractv[3]->setChecked(false);
  write();
  ASSERT_TRUE(log().contains(kWriteOk));
  ASSERT_EQ(ui().sc_address[3]->text(), "10000007");
  ui().sc_addractv[3]->setChecked(true);
  window->activateWindow();  // the progress window had it
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  settle();

  const Image pager_bytes = chip().save();
  QTemporaryDir dir;
  const QString file = dir.filePath("never.eep");
  for (QAction* command : {ui().WritetoPager1, ui().Save1}) {
    SCOPED_TRACE(command->objectName().toStdString());
    focus(ui().Hello_msg);
    prompts.clear();
    prompts.save_answers = {file};
    pager().clear_records();
    const QStringList log_before = log();
    command->trigger();
    wait_for_transfer();
    settle();
    const QString refusal = command == ui().WritetoPager1 ? "Not written: address 4 has more than seven digits"
                                                          : "Not saved: address 4 has more than seven digits";
    const QStringList told{"Address [4] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143",
                           refusal};
    EXPECT_EQ(log(), log_before + told);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(focused(), ui().sc_address[3]);
    EXPECT_EQ(prompts.save_answers.size(), 1u);  // no file was asked for
    EXPECT_EQ(pager().clock_pulses(), 0u);
  }
  EXPECT_EQ(chip().save(), pager_bytes);
  EXPECT_FALSE(QFileInfo::exists(file));
}

// A pager's urgent-call code that no item shows (6, 8 to 15) counts as
// "DISABLE", as the pager takes it: the tone beside it is greyed.
TEST_F(LinkWindowTest, UrgentCallAddressWithoutItemGreysTheTone) {
  Image pager_bytes = pager_image(1, q5::image::kChipKS8809);
  ASSERT_EQ(pager_bytes[q5::image::off::urgent_call] & 0x0F, 2);
  for (const std::uint8_t code : {0x06, 0x0B}) {
    pager_bytes[q5::image::off::urgent_call] = static_cast<std::uint8_t>(0x30 | code);
    q5::image::seal(pager_bytes);
    chip().load(pager_bytes);
    read();
    ASSERT_EQ(last_log(), kReadOk);
    EXPECT_EQ(ui().Urgent_call_addr->currentIndex(), -1);
    EXPECT_FALSE(ui().Urgent_call_tone->isEnabled());
  }
}

// ------------------------------------------------------------ the batch log

// The cells of one CSV record: quoted where a cell holds a comma or a quote.
QStringList cells(const QString& line) {
  QStringList out{QString()};
  bool quoted = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      out.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      out << QString();
    } else {
      out.back() += c;
    }
  }
  return out;
}

// Every write attempt is a row: a written pager with every column, the
// values as written; an attempt that never had an image to write with the
// result alone. A log that cannot be written costs the pager nothing.
TEST_F(LinkWindowTest, EveryWriteAttemptIsARowOfTheBatchLog) {
  QTemporaryDir dir;
  const QString csv = dir.filePath("writes.csv");
  window->set_batch_log(csv.toStdString());
  ui().sc_autoinc[0]->setCurrentIndex(8);

  write();                   // written: an R2 pager with a KS8809
  platform.lpt1.hold(1);
  write();                   // the port is taken
  pager().set_present(false);
  write();                   // nothing answers
  pager().set_present(true);

  QFile file(csv);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString all = QString::fromLatin1(file.readAll());
  ASSERT_TRUE(all.endsWith("\r\n"));
  const QStringList lines = all.split("\r\n", Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], "time,result,serial,addr1_enabled,addr1,frame1,addr2_enabled,addr2,frame2,addr3_enabled,"
                      "addr3,frame3,addr4_enabled,addr4,frame4,frequency,step,baud_rate,synthesiser,firmware");
  const QStringList written = cells(lines[1]);
  ASSERT_EQ(written.size(), 20);
  EXPECT_TRUE(QDateTime::fromString(written[0], Qt::ISODate).isValid()) << str(written[0]);
  EXPECT_EQ(written.mid(1), (QStringList{"Write eeprom OK!", "12345678", "1", "2004000", "0", "1", "2004008", "0",
                                         "1", "2004016", "0", "1", "2004024", "0", "138.97500", "6.25kHz",
                                         "1200 bps", "KS8809", "R2"}));
  EXPECT_EQ(str(ui().sc_address[0]->text()), "2004008");  // stepped after the row was taken
  EXPECT_EQ(cells(lines[2]).mid(1), QStringList({kLpt1InUse}) + QStringList(18, QString()));
  EXPECT_EQ(cells(lines[3]).mid(1), QStringList({kLinkError}) + QStringList(18, QString()));

  // A log that cannot be written: the write still counts, the log says why.
  window->set_batch_log(dir.filePath("missing/writes.csv").toStdString());
  write();
  const QStringList log_lines = log();
  ASSERT_GE(log_lines.size(), 2);
  EXPECT_EQ(log_lines[log_lines.size() - 2], kWriteOk);
  EXPECT_TRUE(log_lines.back().startsWith("Batch log not written: ")) << str(log_lines.back());
  EXPECT_EQ(str(ui().sc_address[0]->text()), "2004016");
}

TEST_F(LinkWindowTest, ConversionErrorLeavesThePagerAlone) {
  ui().Num_message->setText("");  // its change rule already complains
  prompts.clear();
  pager().clear_records();
  const QStringList log_before = log();

  write();

  EXPECT_EQ(prompts.errors.size(), 1);
  EXPECT_EQ(pager().clock_pulses(), 0u);
  EXPECT_TRUE(pager().data_values().none());
  EXPECT_TRUE(pager().control_values().none());
  EXPECT_EQ(log(), log_before);
  EXPECT_TRUE(prompts.messages.isEmpty());
}

}  // namespace
