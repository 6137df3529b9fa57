// The frequency field and its step list through the window: keys typed into
// the field, leaving it with Tab, choosing a step, a new firmware version.
// The arithmetic (counts, rasters, snapping) is tested in tests/image; here
// it is the window's part: the key filter, the list on screen, the beeps and
// log lines, and what the field shows afterwards.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <ostream>

#include "support/window_fixture.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

constexpr const char* kWarnLow = "Frequency counter overflow, pager can't work in this lower frequency";
constexpr const char* kWarnSm5170 =
    "Frequency counter overflow in 5170 PLL, pager can't work in this higher frequency range";
constexpr const char* kWarnKs8809 = "Frequency counter overflow in KS8809/RX8308 PLL, please use SM5170";

const QStringList kR1Low{"6.25kHz", "5kHz"};
const QStringList kR1High{"12.5kHz", "10kHz"};
const QStringList kR2Low{"12.5kHz", "10kHz", "6.25kHz", "5kHz"};
const QStringList kR2High{"25kHz", "20kHz", "12.5kHz", "10kHz"};

class FrequencyWindowTest : public WindowTest {
 protected:
  QLineEdit* frequency() { return window->ui.Frequency; }
  QComboBox* steps() { return window->ui.Frequency_step; }
  QWidget* focused() const { return QApplication::focusWidget(); }

  QStringList step_items() {
    QStringList items;
    for (int i = 0; i < steps()->count(); ++i) items.append(steps()->itemText(i));
    return items;
  }

  static void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }

  void focus_frequency() {
    frequency()->setFocus(Qt::MouseFocusReason);
    settle();
    ASSERT_EQ(focused(), frequency());
  }

  // Keys one by one; '\b' is Backspace.
  void type(const QString& keys) {
    for (QChar c : keys) {
      if (c == QChar('\b')) {
        QTest::keyClick(frequency(), Qt::Key_Backspace);
      } else {
        QTest::keyClicks(frequency(), QString(c));
      }
    }
    settle();
  }

  // Empties the field with Backspace and types `keys`.
  void type_into_emptied(const QString& keys) {
    focus_frequency();
    frequency()->selectAll();
    QTest::keyClick(frequency(), Qt::Key_Backspace);
    ASSERT_EQ(frequency()->text(), "");
    type(keys);
  }

  void leave() {
    QTest::keyClick(focused(), Qt::Key_Tab);
    settle();
  }

  // A frequency typed digit by digit and the field left, as a technician
  // enters one: "280.00000" is typed as 28000000.
  void enter_frequency(const QString& text) {
    QString keys = text;
    keys.remove('.');
    type_into_emptied(keys);
    ASSERT_EQ(frequency()->text(), text);
    leave();
  }

  // The user's choice of a step: what a click on an item of the list sends.
  void choose_step(int index) {
    steps()->setCurrentIndex(index);
    emit steps()->activated(index);
    settle();
  }

  // The firmware version as the decoder and the write command set it: by
  // code, then its rebuild.
  void set_firmware(const char* version) {
    window->ui.FirmwareVer->setCurrentText(version);
    window->FirmwareVerChange();
  }
};

// --- Key filter -----------------------------------------------------------------

struct FrequencyKeys {
  const char* name;
  const char* start;                  // the text before typing
  void (*place_caret)(QLineEdit*);    // where typing starts
  const char* keys;
  const char* shown;
  int beeps;
};
void PrintTo(const FrequencyKeys& c, std::ostream* out) { *out << c.name; }

void at_end(QLineEdit* edit) { edit->end(false); }
void at_start(QLineEdit* edit) { edit->home(false); }
void all_selected(QLineEdit* edit) { edit->selectAll(); }

class FrequencyKeyFilter : public FrequencyWindowTest, public ::testing::WithParamInterface<FrequencyKeys> {};

TEST_P(FrequencyKeyFilter, Typing) {
  const FrequencyKeys& c = GetParam();
  focus_frequency();
  frequency()->setText(c.start);
  c.place_caret(frequency());
  type(c.keys);
  EXPECT_EQ(frequency()->text(), c.shown);
  EXPECT_EQ(prompts.beeps, c.beeps);
  EXPECT_TRUE(prompts.errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FrequencyKeyFilter,
    ::testing::Values(
        FrequencyKeys{"ThirdDigitBringsThePoint", "", at_end, "138", "138.", 0},
        FrequencyKeys{"DecimalsFollowThePoint", "", at_end, "13897500", "138.97500", 0},
        FrequencyKeys{"NinthCharacterIsTheLast", "", at_end, "138975001", "138.97500", 0},
        FrequencyKeys{"ThirdDigitGoesToTheEnd", "13", at_start, "8", "138.", 0},
        FrequencyKeys{"ThirdDigitDropsTheSelection", "13", all_selected, "8", "138.", 0},
        FrequencyKeys{"BackspacePasses", "138.97500", at_end, "\b\b", "138.975", 0},
        FrequencyKeys{"BackspaceToTwoDigitsThenThePointAgain", "138", at_end, "\b9", "139.", 0},
        FrequencyKeys{"LetterBeepsAndInsertsNothing", "", at_end, "13a", "13", 1},
        FrequencyKeys{"PointBeepsAndInsertsNothing", "", at_end, "1.3", "13", 1},
        FrequencyKeys{"EachRefusedKeyBeeps", "", at_end, "-1 ,x", "1", 4}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Leaving the field ---------------------------------------------------------------

TEST_F(FrequencyWindowTest, TextThatIsNoNumberChangesNothing) {
  choose_step(1);  // "5kHz": the user's choice must survive too
  const int log_lines = log().size();

  type_into_emptied("");
  leave();

  EXPECT_EQ(prompts.errors, QStringList{"'' is not a valid floating point value"});
  EXPECT_EQ(frequency()->text(), "");
  EXPECT_EQ(step_items(), kR1Low);
  EXPECT_EQ(steps()->currentIndex(), 1);
  EXPECT_EQ(window->step_offset(), 2);
  EXPECT_FALSE(window->high_band_list());
  EXPECT_EQ(log().size(), log_lines);
  EXPECT_EQ(prompts.beeps, 0);
}

struct Leaving {
  const char* name;
  const char* typed;
  const char* shown;
  QStringList list;
  bool high_band;
  QStringList warnings;
};
void PrintTo(const Leaving& c, std::ostream* out) { *out << c.name; }

class FrequencyLeaving : public FrequencyWindowTest, public ::testing::WithParamInterface<Leaving> {};

TEST_P(FrequencyLeaving, UnderR1) {
  const Leaving& c = GetParam();
  const int log_lines = log().size();
  enter_frequency(c.typed);

  EXPECT_EQ(frequency()->text(), c.shown);
  // Rewritten by the rule even when the value stays: no longer the user's edit.
  EXPECT_FALSE(frequency()->isModified());
  EXPECT_EQ(step_items(), c.list);
  EXPECT_EQ(steps()->currentIndex(), 0);
  EXPECT_EQ(window->high_band_list(), c.high_band);
  EXPECT_EQ(window->step_offset(), 2);
  EXPECT_EQ(log().mid(log_lines), c.warnings);
  EXPECT_EQ(prompts.beeps, c.warnings.size());
  EXPECT_NE(focused(), frequency());  // warnings never hold the technician
}

INSTANTIATE_TEST_SUITE_P(
    Values, FrequencyLeaving,
    ::testing::Values(Leaving{"OnTheRaster", "138.97500", "138.97500", kR1Low, false, {}},
                      Leaving{"SnapsToTheNearestChannel", "138.98000", "138.98125", kR1Low, false, {}},
                      Leaving{"At175TheLowListStays", "175.00000", "175.00000", kR1Low, false, {}},
                      Leaving{"Above175TheHighList", "280.00000", "280.00000", kR1High, true, {}},
                      Leaving{"TooLowWarns", "025.00000", "025.00000", kR1Low, false, {kWarnLow}},
                      Leaving{"ZeroWarnsOnce", "000.00000", "000.00000", kR1Low, false, {kWarnLow}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Pasted {
  const char* name;
  const char* text;  // pasted, so the key filter never saw it
  int chip;          // PLL_select item
  QStringList warnings;
};
void PrintTo(const Pasted& c, std::ostream* out) { *out << c.name; }

class PastedFrequency : public FrequencyWindowTest, public ::testing::WithParamInterface<Pasted> {};

// Only a pasted text can reach the upper counter limits; each warning comes
// with its own beep.
TEST_P(PastedFrequency, UpperLimitsFollowTheChip) {
  const Pasted& c = GetParam();
  window->ui.PLL_select->setCurrentIndex(c.chip);
  const int log_lines = log().size();
  focus_frequency();
  frequency()->setText(c.text);
  leave();
  EXPECT_EQ(log().mid(log_lines), c.warnings);
  EXPECT_EQ(prompts.beeps, c.warnings.size());
  EXPECT_EQ(frequency()->text().size(), 9);
  EXPECT_TRUE(window->high_band_list());
}

INSTANTIATE_TEST_SUITE_P(Chips, PastedFrequency,
                         ::testing::Values(Pasted{"Sm5170Above", "1700.0000", 1, {kWarnSm5170}},
                                           Pasted{"Ks8809StillBelow", "1700.0000", 0, {}},
                                           Pasted{"Ks8809Above", "3500.0000", 0, {kWarnKs8809}},
                                           Pasted{"Sm5170WarnsAlone", "3500.0000", 1, {kWarnSm5170}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Crossing 175 MHz rebuilds the list and drops the user's step; staying on
// one side keeps it.
TEST_F(FrequencyWindowTest, R2ListFollowsTheSideOf175) {
  set_firmware("R2");
  enter_frequency("180.00000");
  EXPECT_EQ(step_items(), kR2High);
  choose_step(3);  // "10kHz"

  enter_frequency("170.00000");
  EXPECT_EQ(step_items(), kR2Low);
  EXPECT_EQ(steps()->currentText(), "12.5kHz");
  EXPECT_EQ(window->step_offset(), 0);
  EXPECT_FALSE(window->high_band_list());

  choose_step(3);  // "5kHz"
  enter_frequency("171.00000");
  EXPECT_EQ(step_items(), kR2Low);
  EXPECT_EQ(steps()->currentText(), "5kHz");
  EXPECT_EQ(prompts.beeps, 0);
}

// --- The step list and the firmware version ----------------------------------------------

TEST_F(FrequencyWindowTest, ChoosingAStepSnapsTheFrequencyToItsRaster) {
  enter_frequency("138.98125");  // a 6.25 kHz channel
  ASSERT_EQ(frequency()->text(), "138.98125");
  choose_step(1);  // "5kHz"
  EXPECT_EQ(frequency()->text(), "138.98000");
  EXPECT_EQ(steps()->currentText(), "5kHz");
  EXPECT_EQ(window->step_offset(), 2);
}

TEST_F(FrequencyWindowTest, StepChosenWithTheMouseInTheOpenList) {
  enter_frequency("138.98125");
  QAbstractItemView* list = steps()->view();
  steps()->showPopup();
  ASSERT_TRUE(list->isVisible());
  const QRect item = list->visualRect(list->model()->index(1, 0));
  QTest::mouseMove(list->viewport(), item.center());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
  settle();
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(steps()->currentText(), "5kHz");
  EXPECT_EQ(frequency()->text(), "138.98000");
}

TEST_F(FrequencyWindowTest, FirmwareVersionSetByCodeRebuildsOnlyWithItsChangeRule) {
  enter_frequency("138.98125");
  choose_step(1);
  window->ui.FirmwareVer->setCurrentIndex(1);  // "R2", no event by itself
  EXPECT_EQ(step_items(), kR1Low);
  EXPECT_EQ(window->step_offset(), 2);

  window->FirmwareVerChange();
  EXPECT_EQ(step_items(), kR2Low);
  EXPECT_EQ(steps()->currentIndex(), 0);
  EXPECT_EQ(window->step_offset(), 0);
  EXPECT_FALSE(window->high_band_list());
  EXPECT_EQ(frequency()->text(), "138.97500");  // 138.98000 snapped to 12.5 kHz
}

TEST_F(FrequencyWindowTest, FirmwareVersionOnTheHighSide) {
  enter_frequency("280.00000");
  set_firmware("R2");
  EXPECT_EQ(step_items(), kR2High);
  EXPECT_EQ(steps()->currentIndex(), 0);
  EXPECT_EQ(window->step_offset(), 0);
  EXPECT_TRUE(window->high_band_list());

  set_firmware("R1");
  EXPECT_EQ(step_items(), kR1High);
  EXPECT_EQ(window->step_offset(), 2);
  EXPECT_EQ(frequency()->text(), "280.00000");
  EXPECT_EQ(prompts.beeps, 0);
}

}  // namespace
