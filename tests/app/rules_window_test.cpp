// The field rules as a technician meets them: keys typed into the real
// window, fields left with Tab or the mouse, boxes clicked, lists chosen.
// The value rules themselves are tested in tests/rules; here it is the
// window's part: which key reaches which field, where the focus ends, what
// beeps, what the log says and which controls grey out.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QWheelEvent>
#include <ostream>

#include "support/window_fixture.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

QString range_warning(int row) {
  return QString("Address [%1] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143").arg(row);
}

constexpr const char* kMessagesMaxWarning = "The number of message value range out,the max is 12  ";
constexpr const char* kMessagesRangeWarning = "The number of message value range out ";
constexpr const char* kVibrateWarning = "The Special vibrate time value range out,the max is 12 seconds ";

// Counts the focus arriving at a widget, to tell a settled focus from one
// that is still bouncing between fields.
class FocusInCounter : public QObject {
 public:
  explicit FocusInCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) ++count;
    return false;
  }
};

class RulesWindowTest : public WindowTest {
 protected:
  MainPageForm& ui() { return window->ui; }
  QLineEdit* address(int row) { return window->ui.sc_address[row]; }
  QWidget* focused() const { return QApplication::focusWidget(); }

  // Runs what is pending, such as a focus given back from a focus-out.
  static void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }

  void show_page_of(QWidget* widget) {
    QTabWidget* pages = window->ui.PageControl1;
    for (QWidget* w = widget; w; w = w->parentWidget()) {
      if (pages->indexOf(w) >= 0) pages->setCurrentWidget(w);
    }
  }

  // Puts the focus into a control as a click on it would (the field left
  // behind runs its exit rule).
  void focus(QWidget* widget) {
    show_page_of(widget);
    widget->setFocus(Qt::MouseFocusReason);
    settle();
    ASSERT_EQ(focused(), widget) << widget->objectName().toStdString();
  }

  void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(focused(), static_cast<Qt::Key>(key), modifiers);
    settle();
  }

  // Types over the whole text of an edit, key by key.
  void type_into(QLineEdit* edit, const QString& keys) {
    focus(edit);
    edit->selectAll();
    QTest::keyClicks(edit, keys);
    settle();
  }

  // Empties an edit with keys the field takes: Backspace where it passes the
  // key filter, Delete in the fields that refuse Backspace.
  void empty(QLineEdit* edit, Qt::Key key = Qt::Key_Backspace) {
    focus(edit);
    edit->selectAll();
    press(key);
    ASSERT_EQ(edit->text(), "");
  }

  void leave() { press(Qt::Key_Tab); }

  // A user's choice in a list: what a click on an item of the open list does.
  static void choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }

  // Every named control's enabled state and value, to see exactly what an
  // action changed.
  QMap<QString, QString> form_state() const {
    QMap<QString, QString> state;
    for (QWidget* w : window->ui.client->findChildren<QWidget*>()) {
      if (w->objectName().isEmpty()) continue;
      QString value;
      if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        value = edit->text();
      } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        value = QString::number(combo->currentIndex());
      } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
        value = static_cast<QAbstractButton*>(w)->isChecked() ? "on" : "off";
      } else {
        continue;
      }
      state.insert(w->objectName(), (w->isEnabled() ? "enabled " : "disabled ") + value);
    }
    return state;
  }

  static QStringList changed(const QMap<QString, QString>& before, const QMap<QString, QString>& after) {
    QStringList names;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
      if (before.value(it.key()) != it.value()) names.append(it.key());
    }
    return names;  // QMap keeps them sorted
  }
};

QStringList sorted(QStringList names) {
  names.sort();
  return names;
}

QStringList numbered(const QString& stem, int count) {
  QStringList names;
  for (int n = 1; n <= count; ++n) names.append(stem + QString::number(n));
  return names;
}

// --- Address rows -------------------------------------------------------------

struct TypedAddress {
  const char* keys;      // typed into the emptied field
  const char* shown;     // the text after leaving it
  const char* frame;     // the frame number afterwards ("5" = unchanged)
  bool warns;
};
void PrintTo(const TypedAddress& c, std::ostream* out) { *out << '"' << c.keys << '"'; }

class AddressTyping : public RulesWindowTest, public ::testing::WithParamInterface<TypedAddress> {};

// Row 1 starts at 2004005 (frame 5) so that an unchanged frame number shows.
TEST_P(AddressTyping, RangeEdgesThroughTheKeyboard) {
  const TypedAddress c = GetParam();
  address(0)->setText("2004005");
  ASSERT_EQ(ui().sc_framno[0]->text(), "5");
  const int log_lines = log().size();

  empty(address(0));
  QTest::keyClicks(address(0), c.keys);
  settle();
  leave();

  EXPECT_EQ(address(0)->text(), c.shown);
  EXPECT_EQ(ui().sc_framno[0]->text(), c.frame);
  if (c.warns) {
    EXPECT_EQ(log().mid(log_lines), QStringList{range_warning(1)});
    EXPECT_EQ(prompts.beeps, 1);
  } else {
    EXPECT_EQ(log().size(), log_lines);
    EXPECT_EQ(prompts.beeps, 0);
  }
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Edges, AddressTyping,
    ::testing::Values(TypedAddress{"0000007", "0000007", "5", true}, TypedAddress{"0000008", "0000008", "0", false},
                      TypedAddress{"8", "0000008", "0", false}, TypedAddress{"12", "0000012", "4", false},
                      TypedAddress{"2007663", "2007663", "7", false}, TypedAddress{"2007664", "2007664", "5", true},
                      TypedAddress{"2007671", "2007671", "5", true}, TypedAddress{"2007672", "2007672", "0", false},
                      TypedAddress{"2045055", "2045055", "7", false}, TypedAddress{"2045056", "2045056", "5", true},
                      TypedAddress{"2045063", "2045063", "5", true}, TypedAddress{"2045064", "2045064", "0", false},
                      TypedAddress{"2097143", "2097143", "7", false}, TypedAddress{"2097144", "2097144", "5", true},
                      TypedAddress{"9999999", "9999999", "5", true}));

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

  // Mended, the field lets the technician go on.
  type_into(address(1), "2004040");
  leave();
  EXPECT_NE(focused(), address(1));
}

// Only the fields of the equal pair are held; the others stay free, so the
// technician can walk to the pair and mend it.
class EqualPair : public RulesWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(EqualPair, HoldsOnlyItsOwnFields) {
  const int row = GetParam();
  address(3)->setText(address(2)->text());  // 3 and 4 equal
  focus(address(row));
  leave();
  const bool in_pair = row >= 2;
  EXPECT_EQ(focused() == address(row), in_pair);
  EXPECT_EQ(prompts.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, EqualPair, ::testing::Range(0, 4));

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
  const auto before = form_state();
  ui().sc_addractv[2]->click();
  EXPECT_EQ(changed(before, form_state()), sorted({"sc_addractv3", "sc_address3", "sc_autoinc3", "sc_framno3"}));
  EXPECT_FALSE(address(2)->isEnabled());
  ui().sc_addractv[2]->click();
  EXPECT_EQ(form_state(), before);
}

TEST_F(RulesWindowTest, DisabledRowStillCountsAsADuplicate) {
  ui().sc_addractv[2]->click();
  type_into(address(0), "2004016");  // address 3's
  leave();
  EXPECT_EQ(focused(), address(0));
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
  settle();
  focus(ui().Hello_msg);
  prompts.clear();
  const int log_lines = log().size();

  window->advance_addresses();
  settle();

  for (int row = 0; row < 4; ++row) EXPECT_EQ(address(row)->text(), c.after[row]) << row + 1;
  EXPECT_EQ(focused(), c.focus_row < 0 ? static_cast<QWidget*>(ui().Hello_msg) : address(c.focus_row));
  EXPECT_EQ(log().mid(log_lines), c.log);
  EXPECT_EQ(prompts.beeps, c.log.size());
  if (c.disabled_row >= 0) {
    EXPECT_FALSE(address(c.disabled_row)->isEnabled());
  }
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
                {"2004000", "2004008", "2004016", "2097144"}, 3, {range_warning(4)}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Interlocks ---------------------------------------------------------------

struct BoxRule {
  const char* box;
  QStringList greyed;  // what unticking the box greys, nothing else changes
};
void PrintTo(const BoxRule& c, std::ostream* out) { *out << c.box; }

class BoxInterlock : public RulesWindowTest, public ::testing::WithParamInterface<BoxRule> {};

TEST_P(BoxInterlock, UntickGreysExactlyItsControlsAndTickBringsThemBack) {
  const BoxRule& rule = GetParam();
  auto* box = window->findChild<QCheckBox*>(rule.box);
  ASSERT_NE(box, nullptr);
  if (!box->isChecked()) box->click();  // from the ticked state
  const auto ticked = form_state();

  box->click();
  EXPECT_EQ(changed(ticked, form_state()), sorted(rule.greyed + QStringList{rule.box}));
  for (const QString& name : rule.greyed) EXPECT_FALSE(window->findChild<QWidget*>(name)->isEnabled()) << name.toStdString();

  box->click();
  EXPECT_EQ(form_state(), ticked);
  EXPECT_EQ(prompts.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoxInterlock,
    ::testing::Values(
        BoxRule{"CanMsg_checkbox", numbered("N_canned_msg", 20) + numbered("T_only_msg", 4) + QStringList{"CannedMsg_command"}},
        BoxRule{"Date_time_disp_checkbox", {"Msg_time_stamp_checkbox", "Daily_Alarm_checkbox", "Sleep_timer_checkbox"}},
        BoxRule{"Unread_reminder", {"Uread_reminder_time"}},
        BoxRule{"Dup_msg_rejection_chekbox", {"Dup_msg_time"}},
        BoxRule{"Out_range_func_checkbox", {"In_out_range"}},
        BoxRule{"Hand_code_pss_checkbox", {"Password"}},
        // They share a handler with the boxes above but the rule reads only
        // those boxes.
        BoxRule{"Full_msg", {}}, BoxRule{"Re2Chk", {}}),
    [](const auto& info) { return std::string(info.param.box); });

// The shared handlers read their own box, not the sender: with the canned
// messages off, ticking Full_msg must not bring them back.
TEST_F(RulesWindowTest, SharedHandlerFollowsItsOwnBoxWhicheverBoxWasClicked) {
  ui().CanMsg_checkbox->click();
  ui().Date_time_disp_checkbox->setChecked(false);
  auto before = form_state();
  for (QCheckBox* box : {ui().Full_msg, ui().Full_msg, ui().Re2Chk, ui().Re2Chk}) {
    box->click();
    const auto after = form_state();
    EXPECT_EQ(changed(before, after), QStringList{box->objectName()});
    before = after;
  }
}

TEST_F(RulesWindowTest, AlertTypesWithoutVibrationGreyThePatternAndItsTime) {
  choose(ui().Vib_pattern, 2);  // "Special"
  ASSERT_TRUE(ui().Special_vib_time->isEnabled());
  for (int item = 0; item < ui().Alert_type->count(); ++item) {
    SCOPED_TRACE(ui().Alert_type->itemText(item).toStdString());
    choose(ui().Alert_type, item);
    const bool vibrates = item != 4 && item != 6;
    EXPECT_EQ(ui().Vib_pattern->isEnabled(), vibrates);
    EXPECT_EQ(ui().Special_vib_time->isEnabled(), vibrates);
    EXPECT_EQ(ui().Vib_pattern->currentIndex(), 2);
  }
  // Back from "T only" with a plain pattern: the time stays grey.
  choose(ui().Alert_type, 6);
  ui().Vib_pattern->setCurrentIndex(3);  // "Continuous", as an image would set it
  choose(ui().Alert_type, 0);
  EXPECT_TRUE(ui().Vib_pattern->isEnabled());
  EXPECT_FALSE(ui().Special_vib_time->isEnabled());
}

TEST_F(RulesWindowTest, VibratePatternEnablesTheTimeForSpecialOnly) {
  for (int item = 0; item < ui().Vib_pattern->count(); ++item) {
    choose(ui().Vib_pattern, item);
    EXPECT_EQ(ui().Special_vib_time->isEnabled(), ui().Vib_pattern->itemText(item) == "Special") << item;
  }
}

TEST_F(RulesWindowTest, UrgentCallToneFollowsTheUrgentCallAddress) {
  const auto start = form_state();
  choose(ui().Urgent_call_addr, 3);
  EXPECT_EQ(changed(start, form_state()), sorted({"Urgent_call_addr", "Urgent_call_tone"}));
  EXPECT_TRUE(ui().Urgent_call_tone->isEnabled());
  choose(ui().Urgent_call_addr, 0);
  EXPECT_EQ(form_state(), start);
}

TEST_F(RulesWindowTest, ManualLcdOrderDisabledForcesLeftAndGreysTheOrder) {
  choose(ui().LcdorderComb, 1);  // "Right"
  const auto before = form_state();
  choose(ui().lcdmannulCB, 0);  // "DISABLE"
  EXPECT_EQ(changed(before, form_state()), sorted({"LcdorderComb", "lcdmannulCB"}));
  EXPECT_EQ(ui().LcdorderComb->currentText(), "Left");
  EXPECT_FALSE(ui().LcdorderComb->isEnabled());

  choose(ui().lcdmannulCB, 1);  // "ENABLE": the order comes back, still "Left"
  EXPECT_EQ(ui().LcdorderComb->currentText(), "Left");
  EXPECT_TRUE(ui().LcdorderComb->isEnabled());
}

// --- Numeric fields -------------------------------------------------------------

struct NumberEntry {
  const char* keys;
  const char* while_typing;
  const char* after_leaving;
  QStringList log;
};
void PrintTo(const NumberEntry& c, std::ostream* out) { *out << '"' << c.keys << '"'; }

class MessageCount : public RulesWindowTest, public ::testing::WithParamInterface<NumberEntry> {};

TEST_P(MessageCount, HeldBetweenOneAndTwelve) {
  const NumberEntry& c = GetParam();
  const int log_lines = log().size();
  type_into(ui().Num_message, c.keys);
  EXPECT_EQ(ui().Num_message->text(), c.while_typing);
  leave();
  EXPECT_EQ(ui().Num_message->text(), c.after_leaving);
  EXPECT_EQ(log().mid(log_lines), c.log);
  EXPECT_EQ(prompts.beeps, c.log.size());
}

INSTANTIATE_TEST_SUITE_P(Values, MessageCount,
                         ::testing::Values(NumberEntry{"13", "12", "12", {kMessagesMaxWarning}},
                                           NumberEntry{"99", "12", "12", {kMessagesMaxWarning}},
                                           NumberEntry{"0", "0", "1", {kMessagesRangeWarning}},
                                           NumberEntry{"00", "00", "1", {kMessagesRangeWarning}},
                                           NumberEntry{"1", "1", "1", {}}, NumberEntry{"12", "12", "12", {}}));

class VibrateTime : public RulesWindowTest, public ::testing::WithParamInterface<NumberEntry> {};

TEST_P(VibrateTime, HeldAtTwelveSecondsOrLess) {
  const NumberEntry& c = GetParam();
  choose(ui().Vib_pattern, 2);  // "Special" lets the time be edited
  const int log_lines = log().size();
  type_into(ui().Special_vib_time, c.keys);
  EXPECT_EQ(ui().Special_vib_time->text(), c.while_typing);
  leave();
  EXPECT_EQ(ui().Special_vib_time->text(), c.after_leaving);
  EXPECT_EQ(log().mid(log_lines), c.log);
  EXPECT_EQ(prompts.beeps, c.log.size());
}

INSTANTIATE_TEST_SUITE_P(Values, VibrateTime,
                         ::testing::Values(NumberEntry{"13", "12", "12", {kVibrateWarning}},
                                           NumberEntry{"99", "12", "12", {kVibrateWarning}},
                                           NumberEntry{"0", "0", "0", {}}, NumberEntry{"12", "12", "12", {}}));

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

struct Padding {
  const char* field;
  const char* keys;     // typed over the whole text; empty: emptied with Delete
  const char* left;     // the field that is left with Tab (another: `keys` set by code,
                        // since going there would leave `field` first)
  const char* padded;   // `field` afterwards
};
void PrintTo(const Padding& c, std::ostream* out) {
  *out << c.field << " \"" << c.keys << "\", leaving " << c.left;
}

class ZeroPadding : public RulesWindowTest, public ::testing::WithParamInterface<Padding> {};

TEST_P(ZeroPadding, OnLeaving) {
  const Padding& c = GetParam();
  choose(ui().Vib_pattern, 2);  // Special_vib_time takes the focus only when enabled
  auto* field = window->findChild<QLineEdit*>(c.field);
  auto* left = window->findChild<QLineEdit*>(c.left);
  const QString left_text = left->text();
  if (left != field) {
    field->setText(c.keys);
    focus(left);
  } else if (*c.keys) {
    type_into(field, c.keys);
  } else {
    empty(field, Qt::Key_Delete);
  }
  leave();
  EXPECT_EQ(field->text(), c.padded);
  if (left != field) {
    EXPECT_EQ(left->text(), left_text);
  }
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(prompts.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(Fields, ZeroPadding,
                         ::testing::Values(Padding{"Serial_no", "123", "Serial_no", "00000123"},
                                           Padding{"Serial_no", "", "Serial_no", "00000000"},
                                           Padding{"Serial_no", "87654321", "Serial_no", "87654321"},
                                           Padding{"Password", "5", "Password", "0005"},
                                           Padding{"Password", "", "Password", "0000"},
                                           Padding{"Password", "1234", "Password", "1234"},
                                           // The vibrate time's exit rule is the password's.
                                           Padding{"Password", "5", "Special_vib_time", "0005"}));

// --- Key filters ------------------------------------------------------------------

struct Keystroke {
  const char* name;
  int key;
  QString text;
};

const Keystroke kRefused[] = {
    {"letter", Qt::Key_A, "a"}, {"capital", Qt::Key_Z, "Z"},      {"minus", Qt::Key_Minus, "-"},
    {"point", Qt::Key_Period, "."}, {"space", Qt::Key_Space, " "}, {"plus", Qt::Key_Plus, "+"},
    {"e acute", Qt::Key_Eacute, QString(QChar(0xE9))},
};

void send_key(QWidget* widget, const Keystroke& k) {
  QKeyEvent press(QEvent::KeyPress, k.key, Qt::NoModifier, k.text);
  QKeyEvent release(QEvent::KeyRelease, k.key, Qt::NoModifier, k.text);
  QApplication::sendEvent(widget, &press);
  QApplication::sendEvent(widget, &release);
}

// Num_message, Serial_no, Special_vib_time and Password: digits only; even
// Backspace is refused (Delete removes text), and quietly.
TEST_F(RulesWindowTest, CountFieldsTakeDigitsOnlyWithoutABeep) {
  choose(ui().Vib_pattern, 2);
  for (QLineEdit* field : {ui().Num_message, ui().Serial_no, ui().Special_vib_time, ui().Password}) {
    SCOPED_TRACE(field->objectName().toStdString());
    focus(field);
    const QString text = field->text();
    for (const Keystroke& k : kRefused) {
      field->selectAll();  // a key that got through would replace the text
      send_key(field, k);
      EXPECT_EQ(field->text(), text) << k.name;
    }
    field->end(false);
    press(Qt::Key_Backspace);
    EXPECT_EQ(field->text(), text) << "Backspace";

    field->selectAll();
    QTest::keyClick(field, Qt::Key_7);
    EXPECT_EQ(field->text(), "7");
  }
  EXPECT_EQ(prompts.beeps, 0);
}

// The address fields and the six RE edits: digits and Backspace; anything
// else is swallowed with a beep.
TEST_F(RulesWindowTest, AddressAndReFieldsTakeDigitsAndBackspaceAndBeepAtTheRest) {
  for (QWidget* re : {ui().E512bs1, ui().E512bs3, ui().E1200bs1, ui().E1200bs3, ui().E2400bs1, ui().E2400bs3}) {
    re->setVisible(true);  // shown on the test page's request only
  }
  const std::vector<QLineEdit*> fields{address(0), address(1), address(2), address(3), ui().E512bs1, ui().E512bs3,
                                       ui().E1200bs1, ui().E1200bs3, ui().E2400bs1, ui().E2400bs3};
  for (QLineEdit* field : fields) {
    SCOPED_TRACE(field->objectName().toStdString());
    prompts.clear();
    focus(field);
    const QString text = field->text();
    for (const Keystroke& k : kRefused) {
      field->selectAll();
      send_key(field, k);
      EXPECT_EQ(field->text(), text) << k.name;
    }
    EXPECT_EQ(prompts.beeps, static_cast<int>(std::size(kRefused)));

    field->end(false);
    press(Qt::Key_Backspace);
    EXPECT_EQ(field->text(), text.chopped(1));
    QTest::keyClick(field, Qt::Key_9);
    EXPECT_EQ(field->text(), text.chopped(1) + "9");
    EXPECT_EQ(prompts.beeps, static_cast<int>(std::size(kRefused)));
    field->setText(text);
  }
}

// --- Mouse-only lists ---------------------------------------------------------------

struct ListKey {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};

const ListKey kListKeys[] = {
    {"Down", Qt::Key_Down, Qt::NoModifier},         {"Up", Qt::Key_Up, Qt::NoModifier},
    {"PageDown", Qt::Key_PageDown, Qt::NoModifier}, {"PageUp", Qt::Key_PageUp, Qt::NoModifier},
    {"Home", Qt::Key_Home, Qt::NoModifier},         {"End", Qt::Key_End, Qt::NoModifier},
    {"F4", Qt::Key_F4, Qt::NoModifier},             {"Alt+Down", Qt::Key_Down, Qt::AltModifier},
    {"Alt+Up", Qt::Key_Up, Qt::AltModifier},        {"Space", Qt::Key_Space, Qt::NoModifier},
    {"Return", Qt::Key_Return, Qt::NoModifier},     {"Enter", Qt::Key_Enter, Qt::NoModifier},
};

class MouseOnlyLists : public RulesWindowTest {
 protected:
  // Every list but FirmwareVer, enabled so that keys would reach it.
  std::vector<QComboBox*> lists() {
    std::vector<QComboBox*> result;
    for (QComboBox* combo : ui().client->findChildren<QComboBox*>()) {
      if (combo == ui().FirmwareVer) continue;
      combo->setEnabled(true);
      result.push_back(combo);
    }
    return result;
  }

  // Keys and the first letters of every item, sent to `target`.
  static void send_every_key(QWidget* target, QComboBox* combo) {
    for (const ListKey& k : kListKeys) QTest::keyClick(target, k.key, k.modifiers);
    for (int item = 0; item < combo->count(); ++item) QTest::keyClicks(target, combo->itemText(item).left(1));
    settle();
  }
};

TEST_F(MouseOnlyLists, NoKeyChangesOrOpensAList) {
  const std::vector<QComboBox*> combos = lists();
  ASSERT_EQ(combos.size(), 29u);
  for (QComboBox* combo : combos) {
    SCOPED_TRACE(combo->objectName().toStdString());
    combo->setCurrentIndex(combo->count() / 2);  // room to move both ways
    const int index = combo->currentIndex();
    QSignalSpy choices(combo, &QComboBox::activated);
    focus(combo);
    send_every_key(combo, combo);
    EXPECT_EQ(combo->currentIndex(), index);
    EXPECT_EQ(choices.count(), 0);
    EXPECT_FALSE(combo->view()->isVisible());
    combo->hidePopup();

    press(Qt::Key_Tab);  // Tab still moves on
    EXPECT_NE(focused(), combo);
  }
}

TEST_F(MouseOnlyLists, KeysInAListOpenedWithTheMouseChooseNothing) {
  for (QComboBox* combo : lists()) {
    SCOPED_TRACE(combo->objectName().toStdString());
    combo->setCurrentIndex(combo->count() / 2);
    const int index = combo->currentIndex();
    QSignalSpy choices(combo, &QComboBox::activated);
    show_page_of(combo);
    combo->showPopup();
    ASSERT_TRUE(combo->view()->isVisible());
    send_every_key(combo->view(), combo);
    EXPECT_EQ(combo->currentIndex(), index);
    EXPECT_EQ(choices.count(), 0);
    EXPECT_TRUE(combo->view()->isVisible());
    // Escape still closes it without a choice.
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(combo->view()->isVisible());
    EXPECT_EQ(combo->currentIndex(), index);
    combo->hidePopup();
  }
}

TEST_F(MouseOnlyLists, FirmwareVersionIsNotFiltered) {
  ui().FirmwareVer->setEnabled(true);
  focus(ui().FirmwareVer);
  press(Qt::Key_Down);
  EXPECT_EQ(ui().FirmwareVer->currentText(), "R2");
}

void wheel_down(QComboBox* combo) {
  const QPointF at(combo->width() / 2.0, combo->height() / 2.0);
  QWheelEvent wheel(at, combo->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(combo, &wheel);
  QCoreApplication::processEvents();
}

// Scrolling over the form must not change settings on the way; the wheel
// acts on the list the user is in, and then as a choice.
TEST_F(MouseOnlyLists, WheelChangesOnlyTheFocusedList) {
  QComboBox* urgent = ui().Urgent_call_addr;
  focus(ui().Hello_msg);
  wheel_down(urgent);
  EXPECT_EQ(urgent->currentIndex(), 0);
  EXPECT_FALSE(ui().Urgent_call_tone->isEnabled());

  focus(urgent);
  wheel_down(urgent);
  EXPECT_EQ(urgent->currentIndex(), 1);
  EXPECT_TRUE(ui().Urgent_call_tone->isEnabled());  // its rule ran
}

}  // namespace
