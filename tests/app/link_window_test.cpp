// Write to pager and Read from pager through the window's menu commands,
// against the emulated 93C56 on the fake platform's virtual clock.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <bitset>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "image/codec.h"
#include "image/frequency.h"
#include "image/image.h"
#include "link/eeprom_link.h"
#include "support/window_fixture.h"

namespace {

using q5::image::Image;
using q5::image::Settings;
namespace link = q5::link;

constexpr const char* kLinkError = "Link error, please check Connection";
constexpr const char* kVerifyError = "Verify error, please check Connection";
constexpr const char* kModelError = "Model Error, please check...";
constexpr const char* kWriteOk = "Write eeprom OK!";
constexpr const char* kReadOk = "Read from eeprom OK!";
constexpr const char* kWritingCaption = "Writing to eeprom.Please waiting...";
constexpr const char* kReadingCaption = "Reading from eeprom.Please waiting...";

// Clock pulses the chip sees: a passed link check, a failed one (DO never
// falls), a whole read with its command, a whole write.
constexpr std::uint64_t kCheckPulses = 11;
constexpr std::uint64_t kDeadCheckPulses = 13;
constexpr std::uint64_t kReadPulses = 2059;
constexpr std::uint64_t kWritePulses = 3478;
constexpr std::uint64_t kReadCommandPulses = kCheckPulses + kReadPulses;
// The pager is read, checked again, written, and read back.
constexpr std::uint64_t kWriteCommandPulses = kCheckPulses + kReadPulses + kCheckPulses + kWritePulses + kReadPulses;

constexpr std::uint16_t kDataPort = link::kLpt1Base + link::kDataRegister;

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
  return s;
}

Image pager_image(int firmware, int chip) { return q5::image::encode(pager_settings(firmware, chip)); }

std::string str(const QString& text) { return text.toStdString(); }

// Every control's visible state, by name: a command that must leave the form
// alone must leave all of this as it was.
std::vector<std::string> form_state(const TMain_Page& window) {
  std::vector<std::string> state;
  for (const QLineEdit* edit : window.findChildren<QLineEdit*>()) {
    state.push_back(str(edit->objectName()) + " text=" + str(edit->text()) + (edit->isEnabled() ? "" : " disabled"));
  }
  for (const QComboBox* combo : window.findChildren<QComboBox*>()) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
    state.push_back(str(combo->objectName()) + " items=" + str(items.join('|')) +
                    " index=" + std::to_string(combo->currentIndex()) + (combo->isEnabled() ? "" : " disabled"));
  }
  for (const QCheckBox* box : window.findChildren<QCheckBox*>()) {
    state.push_back(str(box->objectName()) + (box->isChecked() ? " checked" : " unchecked") +
                    (box->isEnabled() ? "" : " disabled"));
  }
  return state;
}

// What the progress window showed at one change of its bar.
struct ProgressSample {
  int value;
  bool visible;
  std::string caption;
  int maximum;
  QPoint position;
  std::uint16_t last_command;  // the chip's last command field when the bar moved
};

enum class Command { write, read };

std::string command_name(Command c) { return c == Command::write ? "write" : "read"; }
void PrintTo(Command c, std::ostream* os) { *os << command_name(c); }

class LinkWindowTest : public WindowTest {
 protected:
  LinkWindowTest() { start_in_setup = false; }

  void SetUp() override {
    platform.pager.chip().load(pager_image(1, q5::image::kChipKS8809));
    start();
  }

  link::EmulatedPagerPort& pager() { return platform.pager; }
  link::Eeprom93C56& chip() { return platform.pager.chip(); }

  // Through the menu, as the technician does: a conversion error in a
  // handler ends the command in the error box.
  void run(Command c) {
    if (c == Command::write) {
      window->ui.WritetoPager1->trigger();
    } else {
      window->ui.ReadFromPager1->trigger();
    }
  }
  void write() { run(Command::write); }
  void read() { run(Command::read); }

  std::uint8_t data_register() { return pager().port_in(kDataPort); }
  std::vector<std::uint16_t> commands() { return chip().commands(); }

  // Records the progress window at every change of its bar.
  void record_progress() {
    QObject::connect(state->ProgressBar1, &QProgressBar::valueChanged, state.get(), [this](int value) {
      const auto& fields = chip().commands();
      progress.push_back({value, state->isVisible(), str(state->windowTitle()), state->ProgressBar1->maximum(),
                          state->pos(), fields.empty() ? std::uint16_t{0xFFFF} : fields.back()});
    });
  }

  int count_log(const QString& line) const { return static_cast<int>(log().count(line)); }

  void choose(QComboBox* combo, const QString& item) {
    const int index = combo->findText(item);
    ASSERT_GE(index, 0) << str(item) << " not in " << str(combo->objectName());
    combo->setCurrentIndex(index);
  }

  std::vector<ProgressSample> progress;
};

// ------------------------------------------------------------------ writing

struct PagerHardware {
  const char* name;
  int firmware;
  int chip;
};

void PrintTo(const PagerHardware& p, std::ostream* os) { *os << p.name; }

class WriteToPager : public LinkWindowTest, public ::testing::WithParamInterface<PagerHardware> {};

TEST_P(WriteToPager, LeavesTheFormsSettingsWithThePagersOwnHardwareVerified) {
  const PagerHardware hw = GetParam();
  chip().load(pager_image(hw.firmware, hw.chip));
  pager().clear_records();
  const QStringList log_before = log();

  write();

  // The form's defaults, on the pager's firmware and synthesiser. "6.25kHz"
  // is on the lists of both firmware versions, so the step stays as well.
  Settings expected;
  expected.firmware = hw.firmware;
  expected.pll_chip = hw.chip;
  const Image written = chip().save();
  EXPECT_EQ(written, q5::image::encode(expected));
  EXPECT_EQ(written, window->image());
  EXPECT_EQ(q5::image::verify(written), q5::image::ChecksumFault::none);

  EXPECT_EQ(window->ui.FirmwareVer->currentIndex(), hw.firmware);
  // The RX8308 has no item in the list: the form shows no selection.
  EXPECT_EQ(window->ui.PLL_select->currentIndex(), hw.chip == q5::image::kChipRX8308 ? -1 : hw.chip);
  EXPECT_EQ(str(window->ui.Frequency_step->currentText()), "6.25kHz");
  EXPECT_EQ(str(window->ui.Frequency->text()), "138.97500");

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

INSTANTIATE_TEST_SUITE_P(Pagers, WriteToPager,
                         ::testing::Values(PagerHardware{"R2_KS8809", 1, q5::image::kChipKS8809},
                                           PagerHardware{"R1_RX8308", 0, q5::image::kChipRX8308},
                                           PagerHardware{"R2_SM5170", 1, q5::image::kChipSM5170},
                                           PagerHardware{"R1_SM5170", 0, q5::image::kChipSM5170}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkWindowTest, WriteNeverRaisesTheReleaseLinesOnceTheWriteHasBegun) {
  // From the moment the progress window appears, the link is not closed
  // again: clear the port's records there and look at what follows.
  QMetaObject::Connection cleared;
  cleared = QObject::connect(state->ProgressBar1, &QProgressBar::valueChanged, state.get(), [&] {
    if (!state->isVisible()) return;
    pager().clear_records();
    QObject::disconnect(cleared);
  });

  write();

  ASSERT_EQ(last_log(), kWriteOk);
  EXPECT_FALSE(pager().data_values().test(link::kRelease));
  EXPECT_EQ(data_register(), link::kDeselect);
  EXPECT_EQ(pager().clock_pulses(), kWritePulses + kReadPulses);
  std::vector<std::uint16_t> expected{link::kCmdEwen};
  for (int w = 0; w < link::kWords; ++w) expected.push_back(static_cast<std::uint16_t>(link::kCmdWrite + w));
  expected.push_back(link::kCmdEwds);
  expected.push_back(link::kCmdRead0);
  EXPECT_EQ(commands(), expected);
}

struct StepCase {
  const char* name;
  int form_firmware;        // the form's firmware, taken from a pager read first
  const char* form_step;    // the technician's choice
  const char* frequency;
  int pager_firmware;       // the pager written
  const char* written_step; // what the form shows after the write
  int written_step_code;
  const char* written_frequency;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class WriteKeepsStep : public LinkWindowTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(WriteKeepsStep, KeepsTheTechniciansStepWhenThePagersListHasIt) {
  const StepCase c = GetParam();
  if (c.form_firmware == 1) {
    // The form's firmware changes only with a pager that is read.
    chip().load(pager_image(1, q5::image::kChipSM5170));
    read();
    ASSERT_EQ(window->ui.FirmwareVer->currentIndex(), 1);
    window->ui.Frequency->setText("138.97500");
    window->FrequencyExit();
  }
  choose(window->ui.Frequency_step, c.form_step);
  window->Frequency_stepChange();
  window->ui.Frequency->setText(c.frequency);
  window->FrequencyExit();
  ASSERT_EQ(str(window->ui.Frequency->text()), c.frequency);

  chip().load(pager_image(c.pager_firmware, q5::image::kChipSM5170));
  prompts.clear();
  write();

  ASSERT_EQ(last_log(), kWriteOk);
  EXPECT_EQ(str(window->ui.Frequency_step->currentText()), c.written_step);
  EXPECT_EQ(str(window->ui.Frequency->text()), c.written_frequency);
  const Settings stored = q5::image::decode(chip().save());
  EXPECT_EQ(stored.firmware, c.pager_firmware);
  EXPECT_EQ(stored.step_code, c.written_step_code);
  EXPECT_EQ(stored.frequency, c.written_frequency);
  EXPECT_EQ(prompts.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WriteKeepsStep,
    ::testing::Values(
        // "5kHz" is on the R2 list too; 138.98000 lies on its raster but not
        // on 12.5 kHz, where the list's first item would have moved it.
        StepCase{"R1_5kHz_to_R2", 0, "5kHz", "138.98000", 1, "5kHz", 3, "138.98000"},
        StepCase{"R1_6k25_to_R2", 0, "6.25kHz", "138.98125", 1, "6.25kHz", 2, "138.98125"},
        StepCase{"R1_5kHz_to_R1", 0, "5kHz", "138.98000", 0, "5kHz", 3, "138.98000"},
        StepCase{"R2_10kHz_to_R2", 1, "10kHz", "138.98000", 1, "10kHz", 1, "138.98000"},
        // "10kHz" is not on the R1 list: its first item, and the frequency
        // snapped to that raster.
        StepCase{"R2_10kHz_to_R1", 1, "10kHz", "138.99000", 0, "6.25kHz", 2, "138.98750"}),
    [](const auto& info) { return std::string(info.param.name); });

struct AdvanceCase {
  const char* name;
  std::array<int, 4> offsets;
  bool auto_serial;
  const char* serial;
  std::array<const char*, 4> addresses_after;
  std::array<const char*, 4> frames_after;
  const char* serial_after;
};

void PrintTo(const AdvanceCase& c, std::ostream* os) { *os << c.name; }

class WriteAdvances : public LinkWindowTest, public ::testing::WithParamInterface<AdvanceCase> {};

TEST_P(WriteAdvances, StepsAddressesAndSerialForTheNextPager) {
  const AdvanceCase c = GetParam();
  for (int row = 0; row < 4; ++row) window->ui.sc_autoinc[row]->setCurrentIndex(c.offsets[row]);
  window->ui.CheckBox1->setChecked(c.auto_serial);
  window->ui.Serial_no->setText(c.serial);

  write();

  ASSERT_EQ(last_log(), kWriteOk);
  // The pager gets the values from before the step.
  const Settings stored = q5::image::decode(chip().save());
  EXPECT_EQ(stored.address, (std::array<std::string, 4>{"2004000", "2004008", "2004016", "2004024"}));
  EXPECT_EQ(stored.serial, c.serial);
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(str(window->ui.sc_address[row]->text()), c.addresses_after[row]) << "row " << row + 1;
    EXPECT_EQ(str(window->ui.sc_framno[row]->text()), c.frames_after[row]) << "row " << row + 1;
  }
  EXPECT_EQ(str(window->ui.Serial_no->text()), c.serial_after);
  EXPECT_EQ(prompts.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, WriteAdvances,
    ::testing::Values(
        AdvanceCase{"AllEight", {8, 8, 8, 8}, false, "12345678",
                    {"2004008", "2004016", "2004024", "2004032"}, {"0", "0", "0", "0"}, "12345678"},
        AdvanceCase{"AllZeroAutoSerial", {0, 0, 0, 0}, true, "12345678",
                    {"2004000", "2004008", "2004016", "2004024"}, {"0", "0", "0", "0"}, "12345679"},
        AdvanceCase{"MixedSerialWraps", {1, 2, 3, 4}, true, "99999999",
                    {"2004001", "2004010", "2004019", "2004028"}, {"1", "2", "3", "4"}, "0"},
        AdvanceCase{"SerialWithLeadingZeros", {0, 0, 0, 0}, true, "00000099",
                    {"2004000", "2004008", "2004016", "2004024"}, {"0", "0", "0", "0"}, "100"}),
    [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------ reading

TEST_F(LinkWindowTest, ReadShowsThePagersSettings) {
  const Settings settings = pager_settings(1, q5::image::kChipKS8809);
  const Image pager_bytes = q5::image::encode(settings);
  chip().load(pager_bytes);
  pager().clear_records();
  QStringList log_at_box;
  prompts.on_message = [&](const QString&) { log_at_box = log(); };

  read();

  EXPECT_EQ(prompts.messages, QStringList{kReadOk});
  EXPECT_EQ(count_log(kReadOk), 1);
  EXPECT_EQ(log_at_box.value(log_at_box.size() - 1), kReadOk) << "the log line comes before the box";
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_TRUE(prompts.errors.isEmpty());

  EXPECT_EQ(window->image(), pager_bytes);
  EXPECT_EQ(str(window->ui.Serial_no->text()), "00000042");
  for (int row = 0; row < 4; ++row) EXPECT_EQ(str(window->ui.sc_address[row]->text()), settings.address[row]);
  EXPECT_EQ(str(window->ui.Frequency->text()), "152.50000");
  EXPECT_EQ(str(window->ui.Frequency_step->currentText()), "10kHz");
  EXPECT_EQ(window->ui.FirmwareVer->currentIndex(), 1);
  EXPECT_EQ(window->ui.PLL_select->currentIndex(), q5::image::kChipKS8809);
  EXPECT_EQ(str(window->ui.Hello_msg->text()), "GOOD MORNING  ");
  EXPECT_EQ(str(window->ui.Password->text()), "0042");
  EXPECT_EQ(str(window->ui.Num_message->text()), "9");
  EXPECT_FALSE(window->ui.Full_msg->isChecked());
  // The form now holds exactly the pager's settings.
  window->encode_image();
  EXPECT_EQ(window->image(), pager_bytes);

  // Read only, and the link closed.
  EXPECT_EQ(chip().save(), pager_bytes);
  EXPECT_EQ(data_register(), link::kRelease);
  EXPECT_FALSE(state->isVisible());
}

TEST_F(LinkWindowTest, ReadDoesNotCheckTheChecksum) {
  Image bytes = pager_image(0, q5::image::kChipSM5170);
  bytes[q5::image::off::checksum] ^= 0x5A;
  bytes[q5::image::off::checksum + 1] ^= 0xA5;
  ASSERT_NE(q5::image::verify(bytes), q5::image::ChecksumFault::none);
  chip().load(bytes);

  read();

  EXPECT_EQ(prompts.messages, QStringList{kReadOk});
  EXPECT_EQ(last_log(), kReadOk);
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(window->image(), bytes);
  EXPECT_EQ(str(window->ui.Serial_no->text()), "00000042");
  EXPECT_EQ(str(window->ui.Frequency_step->currentText()), "5kHz");
}

// -------------------------------------------------------- line-level figures

TEST_F(LinkWindowTest, PulsesAndCommandFieldsOfBothCommands) {
  pager().clear_records();
  read();
  ASSERT_EQ(last_log(), kReadOk);
  EXPECT_EQ(pager().clock_pulses(), kReadCommandPulses);
  // The link check is itself the start of a READ of word 0, abandoned.
  EXPECT_EQ(commands(), (std::vector<std::uint16_t>{link::kCmdRead0, link::kCmdRead0}));
  EXPECT_EQ(chip().violation_count(), 0u);
  EXPECT_TRUE(pager().foreign_ports().empty());

  pager().clear_records();
  write();
  ASSERT_EQ(last_log(), kWriteOk);
  EXPECT_EQ(pager().clock_pulses(), kWriteCommandPulses);
  std::vector<std::uint16_t> expected{link::kCmdRead0, link::kCmdRead0, link::kCmdRead0, link::kCmdEwen};
  for (int w = 0; w < link::kWords; ++w) expected.push_back(static_cast<std::uint16_t>(link::kCmdWrite + w));
  expected.push_back(link::kCmdEwds);
  expected.push_back(link::kCmdRead0);
  EXPECT_EQ(commands(), expected);
  EXPECT_EQ(chip().violation_count(), 0u);
  // Only the four register values of the cable are ever written.
  std::bitset<256> allowed;
  for (std::uint8_t v : {link::kDeselect, link::kSelectBit0, link::kSelectBit1, link::kRelease}) allowed.set(v);
  EXPECT_EQ((pager().data_values() & ~allowed).count(), 0u);
  EXPECT_TRUE(pager().foreign_ports().empty());
}

// The bar's lower end is moved far down so that no advance is swallowed by
// the stop at the maximum: then every advance shows as one step of +1.
TEST_F(LinkWindowTest, ProgressFollowsEveryAdvance) {
  constexpr int kFloor = -10000;
  state->ProgressBar1->setMinimum(kFloor);
  state->ProgressBar1->setValue(kFloor);
  record_progress();

  read();
  ASSERT_EQ(progress.size(), 1u + 256u);
  EXPECT_EQ(progress[0].value, kFloor + TState_Form::kStepSize);
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_TRUE(progress[i].visible) << i;
    if (i > 0) {
      EXPECT_EQ(progress[i].value, progress[i - 1].value + 1) << i;
    }
  }

  progress.clear();
  write();
  ASSERT_EQ(last_log(), kWriteOk);
  // The pager's first read advances the hidden bar; then one step on
  // showing it, one advance per word written, one per byte read back.
  ASSERT_EQ(progress.size(), 256u + 1u + 128u + 256u);
  const auto hidden = std::count_if(progress.begin(), progress.end(), [](const auto& p) { return !p.visible; });
  EXPECT_EQ(hidden, 256);
  for (std::size_t i = 0; i < 256; ++i) EXPECT_FALSE(progress[i].visible) << i;
  EXPECT_EQ(progress[256].value, progress[255].value + TState_Form::kStepSize);
  for (std::size_t i = 257; i < progress.size(); ++i) EXPECT_EQ(progress[i].value, progress[i - 1].value + 1) << i;
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

  // A read before any write: the window's own place, range 256, the bar
  // going from one step to the end.
  read();
  ASSERT_FALSE(progress.empty());
  for (const ProgressSample& p : progress) {
    EXPECT_EQ(p.caption, kReadingCaption);
    EXPECT_EQ(p.maximum, 256);
    EXPECT_EQ(p.position, QPoint(TState_Form::kDesignLeft, TState_Form::kDesignTop));
  }
  EXPECT_EQ(progress.front().value, TState_Form::kStepSize);
  EXPECT_EQ(progress.back().value, 256);
  EXPECT_FALSE(state->isVisible());

  progress.clear();
  write();
  ASSERT_EQ(last_log(), kWriteOk);
  std::vector<ProgressSample> shown;
  std::copy_if(progress.begin(), progress.end(), std::back_inserter(shown), [](const auto& p) { return p.visible; });
  ASSERT_FALSE(shown.empty());
  for (const ProgressSample& p : shown) {
    EXPECT_EQ(p.caption, kWritingCaption);
    EXPECT_EQ(p.maximum, 128);
    EXPECT_EQ(p.position, window->pos() + QPoint(150, 200));
  }
  // Past the end the step wraps round; single advances stop at the end.
  EXPECT_EQ(shown.front().value, TState_Form::kStepSize);
  EXPECT_EQ(shown.back().value, 128);
  EXPECT_EQ(state->ProgressBar1->value(), 128);
  EXPECT_FALSE(state->isVisible());

  // A read after a write keeps the place the write gave the window.
  progress.clear();
  read();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front().position, window->pos() + QPoint(150, 200));
  EXPECT_EQ(progress.front().value, 128 + TState_Form::kStepSize);
  EXPECT_EQ(progress.back().value, 256);
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

  int posted_at = -1;
  int served_at = -1;
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
  const std::vector<std::string> form_before = form_state(*window);
  const QStringList log_before = log();
  pager().clear_records();
  fault.arrange(*window, pager());

  run(command);

  EXPECT_EQ(log(), log_before + QStringList{kLinkError});
  EXPECT_EQ(prompts.messages, QStringList{kLinkError});
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(form_state(*window), form_before);
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
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  command_name(std::get<1>(info.param));
                         });

TEST_F(LinkWindowTest, Lpt2SendsTheWholeConversationToItsOwnRegisters) {
  window->ui.N21->trigger();
  ASSERT_EQ(window->port_base(), link::kLpt2Base);
  pager().clear_records();
  read();
  EXPECT_EQ(last_log(), kLinkError);
  EXPECT_EQ(pager().foreign_ports(), (std::set<std::uint16_t>{0x278, 0x279, 0x27A}));
  EXPECT_TRUE(pager().data_values().none());

  // And back on LPT1 the pager answers again.
  window->ui.N11->trigger();
  prompts.clear();
  read();
  EXPECT_EQ(prompts.messages, QStringList{kReadOk});
}

class ModelRefused : public LinkWindowTest, public ::testing::WithParamInterface<Command> {};

TEST_P(ModelRefused, OnlyTheModelBoxAndThePagerUntouched) {
  Settings normal = pager_settings(1, q5::image::kChipSM5170);
  normal.model = 1;
  const Image pager_bytes = q5::image::encode(normal);
  ASSERT_TRUE(q5::image::model_bit(pager_bytes));
  chip().load(pager_bytes);
  const std::vector<std::string> form_before = form_state(*window);
  const QStringList log_before = log();
  pager().clear_records();

  run(GetParam());

  EXPECT_EQ(prompts.messages, QStringList{kModelError});
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_EQ(log(), log_before);
  EXPECT_EQ(form_state(*window), form_before);
  EXPECT_EQ(window->image(), pager_bytes);
  // Read, not written, and the link closed.
  EXPECT_EQ(chip().save(), pager_bytes);
  EXPECT_EQ(commands(), (std::vector<std::uint16_t>{link::kCmdRead0, link::kCmdRead0}));
  EXPECT_EQ(pager().clock_pulses(), kReadCommandPulses);
  EXPECT_EQ(data_register(), link::kRelease);
  EXPECT_FALSE(state->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Commands, ModelRefused, ::testing::Values(Command::write, Command::read),
                         [](const auto& info) { return command_name(info.param); });

TEST_F(LinkWindowTest, CablePulledBetweenTheTwoChecksOfAWrite) {
  const Image pager_bytes = chip().save();  // an R2 pager
  for (QComboBox* offset : window->ui.sc_autoinc) offset->setCurrentIndex(8);
  pager().clear_records();
  pager().pull_cable_after_pulses(kReadCommandPulses);

  write();

  EXPECT_EQ(last_log(), kLinkError);
  EXPECT_EQ(count_log(kWriteOk), 0);
  EXPECT_EQ(prompts.messages, QStringList{kLinkError});
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(pager().clock_pulses(), kReadCommandPulses + kDeadCheckPulses);
  EXPECT_EQ(commands(), (std::vector<std::uint16_t>{link::kCmdRead0, link::kCmdRead0}));
  EXPECT_EQ(chip().save(), pager_bytes);
  // The form has taken the pager's firmware; the addresses stay.
  EXPECT_EQ(window->ui.FirmwareVer->currentIndex(), 1);
  EXPECT_EQ(str(window->ui.sc_address[0]->text()), "2004000");
  EXPECT_EQ(data_register(), link::kRelease);
  EXPECT_FALSE(state->isVisible());
}

struct VerifyFault {
  const char* name;
  void (*arrange)(link::EmulatedPagerPort&);
};

void PrintTo(const VerifyFault& f, std::ostream* os) { *os << f.name; }

class WriteNotVerified : public LinkWindowTest, public ::testing::WithParamInterface<VerifyFault> {};

TEST_P(WriteNotVerified, ReportsTheVerifyErrorAndStepsNothing) {
  for (QComboBox* offset : window->ui.sc_autoinc) offset->setCurrentIndex(8);
  window->ui.CheckBox1->setChecked(true);
  GetParam().arrange(pager());
  const QStringList log_before = log();

  write();

  EXPECT_EQ(log(), log_before + QStringList{kVerifyError});
  EXPECT_EQ(prompts.messages, QStringList{kVerifyError});
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_NE(chip().save(), window->image());
  const std::array<const char*, 4> unchanged{"2004000", "2004008", "2004016", "2004024"};
  for (int row = 0; row < 4; ++row) EXPECT_EQ(str(window->ui.sc_address[row]->text()), unchanged[row]);
  EXPECT_EQ(str(window->ui.Serial_no->text()), "12345678");
  EXPECT_EQ(data_register(), link::kRelease);
  EXPECT_FALSE(state->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WriteNotVerified,
    ::testing::Values(
        // Halfway through the words: the read-back sees nothing but ones.
        VerifyFault{"CablePulledMidWrite",
                    [](link::EmulatedPagerPort& p) {
                      p.pull_cable_after_pulses(kReadCommandPulses + kCheckPulses + kWritePulses / 2);
                    }},
        // A chip still programming when the next WRITE comes ignores it.
        VerifyFault{"ChipSlowerThanThePause",
                    [](link::EmulatedPagerPort& p) { p.chip().set_program_time_ns(6'000'000); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkWindowTest, ConversionErrorLeavesThePagerAlone) {
  window->ui.Num_message->setText("");  // its change rule already complains
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
