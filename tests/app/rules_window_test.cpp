// The field rules as a technician meets them: keys typed into the real
// window, fields left with Tab or the mouse, boxes clicked, lists chosen.
// The value rules themselves are tested in tests/rules; here it is the
// window's part: which key reaches which field, where the focus ends, what
// beeps, what the log says and which controls grey out.
#include <QAbstractItemView>
#include <QSignalSpy>
#include <QWheelEvent>

#include "support/form_snapshot.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using Names = std::set<std::string>;

QString range_warning(int row) {
  return QString("Address [%1] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143").arg(row);
}

constexpr const char* kMessagesMaxWarning = "The number of message value range out,the max is 12  ";
constexpr const char* kMessagesRangeWarning = "The number of message value range out ";
constexpr const char* kVibrateWarning = "The Special vibrate time value range out,the max is 12 seconds ";

class RulesWindowTest : public WindowTest {
 protected:
  QLineEdit* address(int row) { return window->ui.sc_address[row]; }
  FormSnapshot form() { return snapshot(ui()); }
};

// --- Address rows -------------------------------------------------------------

// Typed into the emptied field of row 1, which starts at 2004005 (frame 5) so
// that an unchanged frame number shows. The range edges themselves are the
// rules library's; these show the window pads, warns and sets the frame
// number on the way.
TEST_F(RulesWindowTest, AddressTypedAndLeft) {
  const std::tuple<const char*, const char*, bool> cases[] = {  // keys, frame afterwards, warning
      {"0000007", "5", true},  {"8", "0", false},       {"12", "4", false},     {"2007663", "7", false},
      {"2007664", "5", true},  {"2045064", "0", false}, {"2097144", "5", true}};
  for (const auto& [keys, frame, warns] : cases) {
    SCOPED_TRACE(keys);
    address(0)->setText("2004005");
    ASSERT_EQ(ui().sc_framno[0]->text(), "5");
    settle();
    prompts.clear();
    const int log_lines = log().size();
    empty(address(0));
    QTest::keyClicks(address(0), keys);
    leave();
    EXPECT_EQ(address(0)->text(), QString(keys).rightJustified(7, '0'));
    EXPECT_EQ(ui().sc_framno[0]->text(), frame);
    EXPECT_EQ(log().mid(log_lines), warns ? QStringList{range_warning(1)} : QStringList{});
    EXPECT_EQ(prompts.beeps, warns ? 1 : 0);
    EXPECT_EQ(focused() == address(0), warns);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.errors.isEmpty());
  }
}

// A field left short is padded to a number out of range: the warning names
// the row and the technician stays in the field to mend it.
TEST_F(RulesWindowTest, ShortInvalidAddressWarnsWithItsRowAndHoldsTheFocus) {
  for (int row = 0; row < 4; ++row) {
    SCOPED_TRACE(row + 1);
    prompts.clear();
    const int log_lines = log().size();
    const QString frame = ui().sc_framno[row]->text();
    empty(address(row));
    QTest::keyClick(address(row), Qt::Key_7);
    leave();
    EXPECT_EQ(address(row)->text(), "0000007");
    EXPECT_EQ(ui().sc_framno[row]->text(), frame);
    EXPECT_EQ(log().mid(log_lines), QStringList{range_warning(row + 1)});
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(focused(), address(row));
    address(row)->setText(QString::number(2004000 + 8 * row));  // mend it for the next row
  }
}

TEST_F(RulesWindowTest, EmptiedFieldBecomesZerosOneZeroAtATimeAndStays) {
  QSignalSpy texts(address(1), &QLineEdit::textChanged);
  empty(address(1));
  leave();
  EXPECT_EQ(address(1)->text(), "0000000");
  EXPECT_EQ(focused(), address(1));
  EXPECT_EQ(last_log(), range_warning(2));
  EXPECT_EQ(prompts.beeps, 1);
  QStringList seen;
  for (const QList<QVariant>& signal : texts) seen.append(signal.at(0).toString());
  EXPECT_EQ(seen, (QStringList{"", "0", "00", "000", "0000", "00000", "000000", "0000000"}));
}

// Pasted letters are no address: the change rule says so as the seventh
// character goes in, and leaving the field does not say it again.
TEST_F(RulesWindowTest, PastedNonDigitsInAnAddressGiveOneErrorBox) {
  focus(address(1));
  address(1)->setText("1a");  // as a paste through the context menu
  prompts.clear();
  leave();
  EXPECT_EQ(address(1)->text(), "000001a");
  EXPECT_EQ(prompts.errors, QStringList{"'000001a' is not a valid integer value"});
}

TEST_F(RulesWindowTest, DeletingADigitKeepsTheFrameUntilTheSeventhIsBack) {
  type_into(address(2), "2004021");
  ASSERT_EQ(ui().sc_framno[2]->text(), "5");
  press(Qt::Key_Backspace);
  EXPECT_EQ(address(2)->text(), "200402");
  EXPECT_EQ(ui().sc_framno[2]->text(), "5");
  QTest::keyClick(address(2), Qt::Key_3);
  EXPECT_EQ(ui().sc_framno[2]->text(), "7");
  EXPECT_EQ(prompts.beeps, 0);
}

TEST_F(RulesWindowTest, FieldRepeatingAnotherAddressHoldsTheFocusSilently) {
  const int log_lines = log().size();
  type_into(address(1), "2004000");  // equal to address 1
  leave();
  EXPECT_EQ(focused(), address(1));
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_EQ(log().size(), log_lines);
  EXPECT_TRUE(prompts.messages.isEmpty());

  type_into(address(1), "2004040");  // mended: the technician goes on
  leave();
  EXPECT_NE(focused(), address(1));

  ui().sc_addractv[2]->click();  // a row switched off still counts
  type_into(address(0), "2004016");
  leave();
  EXPECT_EQ(focused(), address(0));
}

// Only the fields of the equal pair are held; the others stay free, so the
// technician can walk to the pair and mend it.
class EqualPair : public RulesWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(EqualPair, HoldsOnlyItsOwnFields) {
  const int row = GetParam();
  address(3)->setText(address(2)->text());  // 3 and 4 equal
  focus(address(row));
  leave();
  EXPECT_EQ(focused() == address(row), row >= 2);
  EXPECT_EQ(prompts.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, EqualPair, ::testing::Range(0, 4));

// Counts the focus arriving at a widget, to tell a settled focus from one
// that is still bouncing between fields.
class FocusInCounter : public QObject {
 public:
  explicit FocusInCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::FocusIn;
    return false;
  }
};

// Giving the focus back happens after the focus-out; the field the focus
// passed through must not run its own exit rule then, or two held fields
// would pass the focus back and forth for ever.
TEST_F(RulesWindowTest, TwoHeldFieldsSettleWhenTheUserMovesBetweenThem) {
  address(1)->setText("0000000");  // warns, row 2
  settle();
  empty(address(0));
  leave();  // pads to 0000000: warns and repeats address 2
  ASSERT_EQ(focused(), address(0));
  EXPECT_EQ(log().mid(log().size() - 2), (QStringList{range_warning(2), range_warning(1)}));
  EXPECT_EQ(prompts.beeps, 2);

  FocusInCounter into_first(address(0)), into_second(address(1));
  for (int attempt = 0; attempt < 3; ++attempt) {
    QTest::mouseClick(address(1), Qt::LeftButton);
    settle();
    EXPECT_EQ(focused(), address(0));
    press(Qt::Key_Backtab);
    EXPECT_EQ(focused(), address(0));
  }
  const int first = into_first.count, second = into_second.count;
  EXPECT_LE(first + second, 9);  // per attempt: into field 2, back, back after Backtab
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(into_first.count, first);
  EXPECT_EQ(into_second.count, second);
  EXPECT_EQ(focused(), address(0));
  EXPECT_EQ(prompts.beeps, 2);  // leaving without a change warns no more
}

TEST_F(RulesWindowTest, EnableBoxGreysItsRowAndKeepsTheValues) {
  const auto before = form();
  ui().sc_addractv[2]->click();
  EXPECT_EQ(changed_controls(before, form()), (Names{"sc_addractv3", "sc_address3", "sc_autoinc3", "sc_framno3"}));
  EXPECT_FALSE(address(2)->isEnabled());
  EXPECT_FALSE(ui().sc_autoinc[2]->isEnabled());
  ui().sc_addractv[2]->click();
  EXPECT_EQ(form(), before);
  ui().Date_time_disp_checkbox->click();  // a box that greys other boxes
  EXPECT_FALSE(ui().Daily_Alarm_checkbox->isEnabled());
}

struct Advance {
  const char* name;
  std::array<int, 4> offsets;
  int disabled_row;                // -1: all enabled
  const char* row4_start;          // address 4 before the write
  std::array<const char*, 4> after;
  int focus_row;                   // where the focus ends; -1: it stays put
  QStringList log;
};
void PrintTo(const Advance& c, std::ostream* out) { *out << c.name; }

class AddressAdvance : public RulesWindowTest, public ::testing::WithParamInterface<Advance> {};

TEST_P(AddressAdvance, AfterAWrite) {
  const Advance& c = GetParam();
  for (int row = 0; row < 4; ++row) ui().sc_autoinc[row]->setCurrentIndex(c.offsets[row]);
  if (c.disabled_row >= 0) ui().sc_addractv[c.disabled_row]->click();
  address(3)->setText(c.row4_start);
  settle();  // an invalid address takes the focus back first
  focus(ui().Hello_msg);
  prompts.clear();
  const int log_lines = log().size();

  window->run_rule(&q5::rules::Form::advance_addresses);
  settle();

  for (int row = 0; row < 4; ++row) EXPECT_EQ(address(row)->text(), c.after[row]) << row + 1;
  EXPECT_EQ(focused(), c.focus_row < 0 ? static_cast<QWidget*>(ui().Hello_msg) : address(c.focus_row));
  EXPECT_EQ(log().mid(log_lines), c.log);
  EXPECT_EQ(prompts.beeps, c.log.size());
  EXPECT_TRUE(c.disabled_row < 0 || !address(c.disabled_row)->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AddressAdvance,
    ::testing::Values(
        Advance{"AllByEight", {8, 8, 8, 8}, -1, "2004024", {"2004008", "2004016", "2004024", "2004032"}, -1, {}},
        Advance{"DisabledRowAdvancesToo", {8, 8, 8, 8}, 2, "2004024",
                {"2004008", "2004016", "2004024", "2004032"}, -1, {}},
        // Address 1 catches up with address 2: the focus ends in the later
        // field of the pair, not in field 4.
        Advance{"FirstRowOnlyMakesAPair", {8, 0, 0, 0}, -1, "2004024",
                {"2004008", "2004008", "2004016", "2004024"}, 1, {}},
        // The new text runs the change rule, and the advance runs it once
        // more for every row (an unchanged text raises no change event).
        Advance{"PastTheTopWarns", {0, 0, 0, 1}, -1, "2097143",
                {"2004000", "2004008", "2004016", "2097144"}, 3, {range_warning(4), range_warning(4)}},
        Advance{"InvalidAddressWarnsEvenUnchanged", {0, 0, 0, 0}, -1, "2097144",
                {"2004000", "2004008", "2004016", "2097144"}, 3, {range_warning(4)}},
        // Past seven digits the number stays whole and is warned, rather than
        // cut to "1000000", another valid address.
        Advance{"PastSevenDigitsStaysWhole", {0, 0, 0, 8}, -1, "9999999",
                {"2004000", "2004008", "2004016", "10000007"}, 3, {range_warning(4), range_warning(4)}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Interlocks ---------------------------------------------------------------

// The interlocks themselves are tested on the form (tests/rules); here a
// box's click and a list's choice reach the form and grey the widgets.
TEST_F(RulesWindowTest, UrgentCallToneFollowsTheUrgentCallAddress) {
  const auto start = form();
  choose(ui().Urgent_call_addr, 3);
  EXPECT_EQ(changed_controls(start, form()), (Names{"Urgent_call_addr", "Urgent_call_tone"}));
  EXPECT_TRUE(ui().Urgent_call_tone->isEnabled());
  choose(ui().Urgent_call_addr, 0);
  EXPECT_EQ(form(), start);
}

// --- Numeric fields -------------------------------------------------------------

TEST_F(RulesWindowTest, NumberLimitsWhileTypingAndOnLeaving) {
  const auto count = &MainPageForm::Num_message, vibrate = &MainPageForm::Special_vib_time;
  // Field, keys typed, the text while typing, the text after leaving, the warning.
  const std::tuple<QLineEdit* MainPageForm::*, const char*, const char*, const char*, QStringList> cases[] = {
      {count, "13", "12", "12", {kMessagesMaxWarning}}, {count, "0", "0", "1", {kMessagesRangeWarning}},
      {count, "1", "1", "1", {}},                        {count, "12", "12", "12", {}},
      {vibrate, "13", "12", "12", {kVibrateWarning}},    {vibrate, "0", "0", "0", {}},
      {vibrate, "12", "12", "12", {}}};
  choose(ui().Vib_pattern, 2);  // "Special" lets the time be edited
  for (const auto& [field, keys, while_typing, after_leaving, warnings] : cases) {
    SCOPED_TRACE((ui().*field)->objectName().toStdString() + " " + keys);
    prompts.clear();
    const int log_lines = log().size();
    type_into(ui().*field, keys);
    EXPECT_EQ((ui().*field)->text(), while_typing);
    leave();
    EXPECT_EQ((ui().*field)->text(), after_leaving);
    EXPECT_EQ(log().mid(log_lines), warnings);
    EXPECT_EQ(prompts.beeps, warnings.size());
  }
}

// Delete is how these fields are emptied; the empty text is no number: the
// error box says so each time a rule reads it, and the field keeps it.
TEST_F(RulesWindowTest, EmptiedNumberFieldsReportTheBadValue) {
  const QString error = "'' is not a valid integer value";
  empty(ui().Num_message, Qt::Key_Delete);
  EXPECT_EQ(prompts.errors, QStringList{error});  // the change rule
  leave();
  EXPECT_EQ(prompts.errors, (QStringList{error, error}));  // the exit rule
  EXPECT_EQ(ui().Num_message->text(), "");

  prompts.clear();
  choose(ui().Vib_pattern, 2);
  empty(ui().Special_vib_time, Qt::Key_Delete);
  EXPECT_EQ(prompts.errors, QStringList{error});
  EXPECT_EQ(ui().Special_vib_time->text(), "");
  EXPECT_EQ(prompts.beeps, 0);
}

TEST_F(RulesWindowTest, ZeroPaddingOnLeaving) {
  // Field, keys typed over its whole text ("": emptied with Delete), the
  // field then left with Tab, and the padded text. When another field is
  // left, the keys are set by code, since going there would leave the first.
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"Serial_no", "123", "Serial_no", "00000123"}, {"Serial_no", "", "Serial_no", "00000000"},
      {"Serial_no", "87654321", "Serial_no", "87654321"}, {"Password", "5", "Password", "0005"},
      {"Password", "", "Password", "0000"}, {"Password", "1234", "Password", "1234"},
      // The vibrate time's exit rule is the password's.
      {"Password", "5", "Special_vib_time", "0005"}};
  choose(ui().Vib_pattern, 2);  // Special_vib_time takes the focus only when enabled
  for (const auto& [name, keys, left_name, padded] : cases) {
    SCOPED_TRACE(std::string(name) + " \"" + keys + "\", leaving " + left_name);
    auto* field = window->findChild<QLineEdit*>(name);
    auto* left = window->findChild<QLineEdit*>(left_name);
    const QString left_text = left->text();
    if (left != field) {
      field->setText(keys);
      focus(left);
    } else if (*keys) {
      type_into(field, keys);
    } else {
      empty(field, Qt::Key_Delete);
    }
    leave();
    EXPECT_EQ(field->text(), padded);
    EXPECT_EQ(left->text(), left == field ? field->text() : left_text);
  }
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(prompts.beeps, 0);
}

// --- Key filters ------------------------------------------------------------------

// Num_message, Serial_no, Special_vib_time and Password take digits only and
// refuse even Backspace (Delete removes text), quietly. The address fields and
// the six RE edits take digits and Backspace, and beep at anything else.
TEST_F(RulesWindowTest, DigitFieldsRefuseEveryOtherKey) {
  const std::pair<int, QString> refused[] = {
      {Qt::Key_A, "a"},     {Qt::Key_Z, "Z"},     {Qt::Key_Minus, "-"},     {Qt::Key_Period, "."},
      {Qt::Key_Space, " "}, {Qt::Key_Plus, "+"},  {Qt::Key_Eacute, QString(QChar(0xE9))}};
  choose(ui().Vib_pattern, 2);
  for (QLineEdit* re : {ui().E512bs1, ui().E512bs3, ui().E1200bs1, ui().E1200bs3, ui().E2400bs1, ui().E2400bs3}) {
    re->setVisible(true);  // shown on the test page's request only
  }
  const std::vector<std::pair<QLineEdit*, bool>> fields = {
      {ui().Num_message, false}, {ui().Serial_no, false}, {ui().Special_vib_time, false}, {ui().Password, false},
      {address(0), true}, {address(1), true}, {address(2), true}, {address(3), true},
      {ui().E512bs1, true}, {ui().E512bs3, true}, {ui().E1200bs1, true}, {ui().E1200bs3, true},
      {ui().E2400bs1, true}, {ui().E2400bs3, true}};
  for (const auto& [field, beeps_and_backspaces] : fields) {
    SCOPED_TRACE(field->objectName().toStdString());
    prompts.clear();
    focus(field);
    const QString text = field->text();
    for (const auto& [key, typed] : refused) {
      field->selectAll();  // a key that got through would replace the text
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed), release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
      QApplication::sendEvent(field, &press);
      QApplication::sendEvent(field, &release);
      EXPECT_EQ(field->text(), text) << typed.toStdString();
    }
    const int beeps = beeps_and_backspaces ? static_cast<int>(std::size(refused)) : 0;
    EXPECT_EQ(prompts.beeps, beeps);
    field->end(false);
    press(Qt::Key_Backspace);
    EXPECT_EQ(field->text(), beeps_and_backspaces ? text.chopped(1) : text);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_7);
    EXPECT_EQ(field->text(), "7");
    EXPECT_EQ(prompts.beeps, beeps);
    field->setText(text);
  }
}

// The message texts take digits, letters (as capitals) and space, and beep at
// anything else; a paste keeps only what the pager can show.
TEST_F(RulesWindowTest, MessageTextsTakeOnlyWhatThePagerCanShow) {
  for (QLineEdit* field : {ui().Hello_msg, ui().T_only_msg[1], ui().N_canned_msg[19]}) {
    SCOPED_TRACE(field->objectName().toStdString());
    prompts.clear();
    focus(field);
    field->selectAll();
    QTest::keyClicks(field, "a!b-1 .");
    EXPECT_EQ(field->text(), "AB1 ");
    EXPECT_EQ(prompts.beeps, 3);
    field->selectAll();
    field->insert("x?y\u00e9z");  // as a paste
    EXPECT_EQ(field->text(), "XYZ");
    EXPECT_EQ(window->form().Hello_msg.text, ui().Hello_msg->text().toStdString());
  }
  EXPECT_EQ(prompts.beeps, 3);
}

// --- Mouse-only lists ---------------------------------------------------------------

class MouseOnlyLists : public RulesWindowTest {
 protected:
  // Every list but FirmwareVer, enabled so that keys would reach it, left in
  // its middle so that keys have room to move it both ways.
  std::vector<QComboBox*> lists() {
    std::vector<QComboBox*> result;
    for (QComboBox* combo : ui().client->findChildren<QComboBox*>()) {
      if (combo == ui().FirmwareVer) continue;
      combo->setEnabled(true);
      combo->setCurrentIndex(combo->count() / 2);
      result.push_back(combo);
    }
    return result;
  }

  // Moving, opening and choosing keys, and the first letters of every item.
  static void send_every_key(QWidget* target, QComboBox* combo) {
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End,
                        Qt::Key_F4, Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
      QTest::keyClick(target, key);
    }
    QTest::keyClick(target, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(target, Qt::Key_Up, Qt::AltModifier);
    for (const QString& item : items(combo)) QTest::keyClicks(target, item.left(1));
    settle();
  }
};

// Neither in the focused list nor in one opened with the mouse does a key
// choose or open anything; Tab still moves on, Escape still closes the list.
TEST_F(MouseOnlyLists, NoKeyChangesOrOpensAList) {
  const std::vector<QComboBox*> combos = lists();
  ASSERT_EQ(combos.size(), 29u);
  for (QComboBox* combo : combos) {
    SCOPED_TRACE(combo->objectName().toStdString());
    const int index = combo->currentIndex();
    QSignalSpy choices(combo, &QComboBox::activated);
    focus(combo);
    send_every_key(combo, combo);
    EXPECT_FALSE(combo->view()->isVisible());
    combo->hidePopup();

    combo->showPopup();
    ASSERT_TRUE(combo->view()->isVisible());
    send_every_key(combo->view(), combo);
    EXPECT_TRUE(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(combo->view()->isVisible());
    combo->hidePopup();
    EXPECT_EQ(combo->currentIndex(), index);
    EXPECT_EQ(choices.count(), 0);

    focus(combo);
    leave();
    EXPECT_NE(focused(), combo);
  }
}

TEST_F(MouseOnlyLists, FirmwareVersionIsNotFiltered) {
  ui().FirmwareVer->setEnabled(true);
  focus(ui().FirmwareVer);
  press(Qt::Key_Down);
  EXPECT_EQ(ui().FirmwareVer->currentText(), "R2");
}

// Scrolling over the form must not change settings on the way; the wheel
// acts on the list the user is in, and then as a choice.
TEST_F(MouseOnlyLists, WheelChangesOnlyTheFocusedList) {
  QComboBox* urgent = ui().Urgent_call_addr;
  auto wheel_down = [urgent] {
    const QPointF at(urgent->width() / 2.0, urgent->height() / 2.0);
    QWheelEvent wheel(at, urgent->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(urgent, &wheel);
    settle();
  };
  focus(ui().Hello_msg);
  wheel_down();
  EXPECT_EQ(urgent->currentIndex(), 0);
  EXPECT_FALSE(ui().Urgent_call_tone->isEnabled());

  focus(urgent);
  wheel_down();
  EXPECT_EQ(urgent->currentIndex(), 1);
  EXPECT_TRUE(ui().Urgent_call_tone->isEnabled());  // its rule ran
}

}  // namespace
