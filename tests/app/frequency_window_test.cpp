// The frequency field and its step list through the window: keys typed into
// the field, leaving it with Tab, choosing a step, a new firmware version.
// The arithmetic (counts, rasters, snapping) is tested in tests/image; here
// it is the window's part: the key filter, the list on screen, the beeps and
// log lines, and what the field shows afterwards.
#include <QAbstractItemView>

#include "support/window_fixture.h"

namespace {

using namespace q5::test;
// The log's own texts, written out rather than taken from the library, so
// that a changed text shows here.
constexpr const char* kWarnLowFrequency = "Frequency counter overflow, pager can't work in this lower frequency";
constexpr const char* kWarnSm5170High =
    "Frequency counter overflow in 5170 PLL, pager can't work in this higher frequency range";
constexpr const char* kWarnKs8809High = "Frequency counter overflow in KS8809/RX8308 PLL, please use SM5170";

const QStringList kR1Low{"6.25kHz", "5kHz"};
const QStringList kR1High{"12.5kHz", "10kHz"};
const QStringList kR2Low{"12.5kHz", "10kHz", "6.25kHz", "5kHz"};
const QStringList kR2High{"25kHz", "20kHz", "12.5kHz", "10kHz"};

class FrequencyWindowTest : public WindowTest {
 protected:
  QLineEdit* frequency() { return window->ui.Frequency; }
  QComboBox* steps() { return window->ui.Frequency_step; }

  // A frequency typed digit by digit into the emptied field, which is then
  // left, as a technician enters one: "280.00000" is typed as 28000000.
  void enter_frequency(QString text) {
    empty(frequency());
    QTest::keyClicks(frequency(), text.remove('.'));
    leave();
  }

  // The firmware version as the decoder and the write command set it: by
  // code, then its rebuild.
  void set_firmware(const char* version) {
    window->ui.FirmwareVer->setCurrentText(version);
    window->run_rule(&q5::rules::Form::FirmwareVerChange);
  }
};

// --- Key filter -----------------------------------------------------------------

struct FrequencyKeys {
  const char* name;
  const char* start;  // the text before typing
  int caret;          // where typing starts: -1 all selected, else a position
  const char* keys;   // '\b' is Backspace
  const char* shown;
  int beeps;
};
void PrintTo(const FrequencyKeys& c, std::ostream* out) { *out << c.name; }

class FrequencyKeyFilter : public FrequencyWindowTest, public ::testing::WithParamInterface<FrequencyKeys> {};

TEST_P(FrequencyKeyFilter, Typing) {
  const FrequencyKeys& c = GetParam();
  focus(frequency());
  frequency()->setText(c.start);
  if (c.caret < 0) {
    frequency()->selectAll();
  } else {
    frequency()->setCursorPosition(c.caret);
  }
  for (const char key : std::string(c.keys)) {
    if (key == '\b') {
      QTest::keyClick(frequency(), Qt::Key_Backspace);
    } else {
      QTest::keyClicks(frequency(), QString(QChar(key)));
    }
  }
  EXPECT_EQ(frequency()->text(), c.shown);
  EXPECT_EQ(prompts.beeps, c.beeps);
  EXPECT_TRUE(prompts.errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FrequencyKeyFilter,
    ::testing::Values(FrequencyKeys{"ThirdDigitBringsThePoint", "", 0, "138", "138.", 0},
                      FrequencyKeys{"DecimalsFollowThePoint", "", 0, "13897500", "138.97500", 0},
                      FrequencyKeys{"NinthCharacterIsTheLast", "", 0, "138975001", "138.97500", 0},
                      FrequencyKeys{"ThirdDigitGoesToTheEnd", "13", 0, "8", "138.", 0},
                      FrequencyKeys{"ThirdDigitDropsTheSelection", "13", -1, "8", "138.", 0},
                      FrequencyKeys{"BackspacePasses", "138.97500", 9, "\b\b", "138.975", 0},
                      FrequencyKeys{"BackspaceToTwoDigitsThenThePointAgain", "138", 3, "\b9", "139.", 0},
                      FrequencyKeys{"LetterBeepsAndInsertsNothing", "", 0, "13a", "13", 1},
                      FrequencyKeys{"PointBeepsAndInsertsNothing", "", 0, "1.3", "13", 1},
                      FrequencyKeys{"EachRefusedKeyBeeps", "", 0, "-1 ,x", "1", 4}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Leaving the field ---------------------------------------------------------------

TEST_F(FrequencyWindowTest, TextThatIsNoNumberChangesNothing) {
  choose(steps(), 1);  // "5kHz": the user's choice must survive too
  const int log_lines = log().size();
  empty(frequency());
  leave();
  EXPECT_EQ(prompts.errors, QStringList{"'' is not a valid floating point value"});
  EXPECT_EQ(frequency()->text(), "");
  EXPECT_EQ(items(steps()), kR1Low);
  EXPECT_EQ(steps()->currentIndex(), 1);
  EXPECT_EQ(window->step_offset(), 2);
  EXPECT_FALSE(window->high_band_list());
  EXPECT_EQ(log().size(), log_lines);
  EXPECT_EQ(prompts.beeps, 0);
}

TEST_F(FrequencyWindowTest, LeavingTheFieldUnderR1) {
  const std::tuple<const char*, const char*, QStringList, QStringList> cases[] = {  // typed, shown, list, log
      {"138.97500", "138.97500", kR1Low, {}},
      {"138.98000", "138.98125", kR1Low, {}},  // the nearest channel
      {"175.00000", "175.00000", kR1Low, {}},  {"280.00000", "280.00000", kR1High, {}},
      {"025.00000", "025.00000", kR1Low, {kWarnLowFrequency}},
      {"000.00000", "000.00000", kR1Low, {kWarnLowFrequency}}};
  for (const auto& [typed, shown, list, warnings] : cases) {
    SCOPED_TRACE(typed);
    prompts.clear();
    const int log_lines = log().size();
    enter_frequency(typed);
    EXPECT_EQ(frequency()->text(), shown);
    // Rewritten by the rule even when the value stays: no longer the user's edit.
    EXPECT_FALSE(frequency()->isModified());
    EXPECT_EQ(items(steps()), list);
    EXPECT_EQ(steps()->currentIndex(), 0);
    EXPECT_EQ(window->high_band_list(), list == kR1High);
    EXPECT_EQ(window->step_offset(), 2);
    EXPECT_EQ(log().mid(log_lines), warnings);
    EXPECT_EQ(prompts.beeps, warnings.size());
    EXPECT_NE(focused(), frequency());  // warnings never hold the technician
  }
}

// Only a pasted text can reach the upper counter limits; each warning comes
// with its own beep.
TEST_F(FrequencyWindowTest, PastedFrequencyWarnsAtTheLimitOfTheChip) {
  const std::tuple<const char*, int, QStringList> cases[] = {
      {"1700.0000", 1, {kWarnSm5170High}}, {"1700.0000", 0, {}},
      {"3500.0000", 0, {kWarnKs8809High}}, {"3500.0000", 1, {kWarnSm5170High}}};
  for (const auto& [text, chip, warnings] : cases) {
    SCOPED_TRACE(std::string(text) + " chip " + std::to_string(chip));
    ui().PLL_select->setCurrentIndex(chip);
    prompts.clear();
    const int log_lines = log().size();
    focus(frequency());
    frequency()->setText(text);
    leave();
    EXPECT_EQ(log().mid(log_lines), warnings);
    EXPECT_EQ(prompts.beeps, warnings.size());
    EXPECT_EQ(frequency()->text().size(), 9);
    EXPECT_TRUE(window->high_band_list());
  }
}

// Crossing 175 MHz rebuilds the list and drops the user's step; staying on
// one side keeps it.
TEST_F(FrequencyWindowTest, R2ListFollowsTheSideOf175) {
  set_firmware("R2");
  enter_frequency("180.00000");
  EXPECT_EQ(items(steps()), kR2High);
  choose(steps(), 3);  // "10kHz"

  enter_frequency("170.00000");
  EXPECT_EQ(items(steps()), kR2Low);
  EXPECT_EQ(steps()->currentText(), "12.5kHz");
  EXPECT_EQ(window->step_offset(), 0);
  EXPECT_FALSE(window->high_band_list());

  choose(steps(), 3);  // "5kHz"
  enter_frequency("171.00000");
  EXPECT_EQ(items(steps()), kR2Low);
  EXPECT_EQ(steps()->currentText(), "5kHz");
  EXPECT_EQ(prompts.beeps, 0);
}

// --- The step list and the firmware version ----------------------------------------------

// A click on an item of the open list: the step is chosen and the frequency
// snapped to its raster.
TEST_F(FrequencyWindowTest, StepChosenWithTheMouseSnapsTheFrequency) {
  enter_frequency("138.98125");  // a 6.25 kHz channel
  ASSERT_EQ(frequency()->text(), "138.98125");
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
  EXPECT_EQ(window->step_offset(), 2);
}

TEST_F(FrequencyWindowTest, FirmwareVersionSetByCodeRebuildsOnlyWithItsChangeRule) {
  enter_frequency("138.98125");
  choose(steps(), 1);
  ui().FirmwareVer->setCurrentIndex(1);  // "R2", no event by itself
  EXPECT_EQ(items(steps()), kR1Low);
  EXPECT_EQ(window->step_offset(), 2);

  window->run_rule(&q5::rules::Form::FirmwareVerChange);
  EXPECT_EQ(items(steps()), kR2Low);
  EXPECT_EQ(steps()->currentIndex(), 0);
  EXPECT_EQ(window->step_offset(), 0);
  EXPECT_FALSE(window->high_band_list());
  EXPECT_EQ(frequency()->text(), "138.97500");  // 138.98000 snapped to 12.5 kHz
}

TEST_F(FrequencyWindowTest, FirmwareVersionOnTheHighSide) {
  enter_frequency("280.00000");
  set_firmware("R2");
  EXPECT_EQ(items(steps()), kR2High);
  EXPECT_EQ(steps()->currentIndex(), 0);
  EXPECT_EQ(window->step_offset(), 0);
  EXPECT_TRUE(window->high_band_list());

  set_firmware("R1");
  EXPECT_EQ(items(steps()), kR1High);
  EXPECT_EQ(window->step_offset(), 2);
  EXPECT_EQ(frequency()->text(), "280.00000");
  EXPECT_EQ(prompts.beeps, 0);
}

}  // namespace
