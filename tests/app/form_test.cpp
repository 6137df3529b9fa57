// The main window's controls as created: names, kinds, items, defaults,
// limits, captions, Tab order, and a layout that shows every text whole with
// the fonts this machine has.
#include "app/Q5_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/field_input.h"

namespace {

using q5::test::items;

std::string str(const QString& s) { return s.toStdString(); }

// "stem1" .. "stemN".
std::vector<std::string> numbered(const std::string& stem, int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back(stem + std::to_string(i));
  return names;
}

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.setup(&window);
    window.show();
  }

  template <class T>
  T* find(const std::string& name) {
    return window.findChild<T*>(QString::fromStdString(name));
  }

  // Every widget of the form below the central widget, without the page
  // tabs' own scroll buttons.
  std::vector<QWidget*> all_widgets() {
    std::vector<QWidget*> widgets;
    for (QWidget* w : form.client->findChildren<QWidget*>()) {
      if (!qobject_cast<QTabBar*>(w->parentWidget())) widgets.push_back(w);
    }
    return widgets;
  }

  QMainWindow window;
  MainPageForm form;
};

// ---------------------------------------------------------------- window

TEST_F(FormTest, WindowIsFixedWithClientAreaBelowTheMenu) {
  EXPECT_EQ(form.client->size(), QSize(561, 439));
  EXPECT_EQ(window.centralWidget(), form.client);
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_EQ(window.height(), 439 + form.MainMenu1->height());
  EXPECT_EQ(str(window.windowTitle()), "Q5 Pager Programmer");
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  // Pixel sizes, so that every screen shows the same layout.
  for (const QFont& font : {form.client->font(), form.Hello_msg->font(), form.Memo1->font(), form.File1->font()}) {
    EXPECT_EQ(font.pixelSize(), 11);
  }
}

TEST_F(FormTest, MenuBarHoldsMenusAndTwoDirectCommands) {
  std::vector<std::string> top;
  for (QAction* a : form.MainMenu1->actions()) top.push_back(str(a->text()));
  EXPECT_EQ(top, (std::vector<std::string>{"&File", "&LPT", "&Write_to_Pager", "&Read_From_Pager", "Re&gister",
                                             "&Help"}));
  EXPECT_EQ(form.MainMenu1->actions().at(2), form.WritetoPager1);
  EXPECT_EQ(form.MainMenu1->actions().at(3), form.ReadFromPager1);
  EXPECT_EQ(form.WritetoPager1->menu(), nullptr);
  EXPECT_EQ(form.ReadFromPager1->menu(), nullptr);
  EXPECT_EQ(form.File1->actions(), (QList<QAction*>{form.Open1, form.Save1, form.N1, form.Exit1}));
  EXPECT_TRUE(form.N1->isSeparator());
  EXPECT_EQ(form.LPT1->actions(), (QList<QAction*>{form.N11, form.N21, form.N31}));
  EXPECT_TRUE(form.N11->isCheckable() && form.N11->isChecked());
  EXPECT_TRUE(form.N21->isCheckable() && !form.N21->isChecked());
  EXPECT_TRUE(form.N31->isCheckable() && !form.N31->isChecked());
  EXPECT_EQ(form.Help1->actions(), QList<QAction*>{form.Aboutcpp1});
  const std::vector<std::tuple<QObject*, const char*, const char*>> named = {
      {form.MainMenu1, "MainMenu1", ""}, {form.File1, "File1", ""},         {form.Open1, "Open1", "&Open"},
      {form.Save1, "Save1", "&Save"},    {form.N1, "N1", ""},               {form.Exit1, "Exit1", "&Exit"},
      {form.LPT1, "LPT1", ""},           {form.N11, "N11", "1"},            {form.N21, "N21", "2"}, {form.N31, "N31", "USB (FT232H/FT2232H)"},
      {form.WritetoPager1, "WritetoPager1", ""}, {form.ReadFromPager1, "ReadFromPager1", ""},
      {form.Help1, "Help1", ""},         {form.Aboutcpp1, "Aboutcpp1", "&About cpp"}};
  for (const auto& [object, name, text] : named) {
    EXPECT_EQ(str(object->objectName()), name);
    if (auto* action = qobject_cast<QAction*>(object)) {
      EXPECT_TRUE(action->isEnabled()) << name;
      EXPECT_TRUE(!*text || str(action->text()) == text) << name;
    }
  }
}

TEST_F(FormTest, PagesAreTabbedOnTheLeftWithPageOneCurrent) {
  QTabWidget* pages = form.PageControl1;
  EXPECT_EQ(pages->tabPosition(), QTabWidget::West);
  ASSERT_EQ(pages->count(), 4);
  const QWidget* sheets[4] = {form.TabSheet1, form.TabSheet2, form.TabSheet3, form.TabSheet4};
  const char* captions[4] = {"Page 1", "Page 2", "Page 3", "Test"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(pages->widget(i), sheets[i]);
    EXPECT_EQ(str(pages->tabText(i)), captions[i]);
    EXPECT_EQ(str(sheets[i]->objectName()), "TabSheet" + std::to_string(i + 1));
  }
  EXPECT_EQ(pages->currentIndex(), 0);
}

TEST_F(FormTest, MessageLogIsAnEmptyReadOnlyRedFixedPitchBox) {
  EXPECT_EQ(str(form.Memo1->objectName()), "Memo1");
  EXPECT_TRUE(form.Memo1->isReadOnly());
  EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Text), QColor(Qt::red));
  EXPECT_TRUE(QFontInfo(form.Memo1->font()).fixedPitch());
}

// ---------------------------------------------------------------- controls

// Each widget shows its catalogue entry: the form's items, default, limit
// and capitals, with the window's own look (read-only frame numbers, bold
// address rows, drop-down lists nobody types into).
TEST_F(FormTest, EveryWidgetMirrorsItsCatalogueEntry) {
  constexpr int kNoLimit = 32767;
  q5::rules::Form catalogue;
  std::map<std::string, int> kinds;
  for (const q5::rules::NamedControl& named : catalogue.controls()) {
    const std::string name(named.name);
    SCOPED_TRACE(name);
    std::visit(
        [&](auto* c) {
          using T = std::remove_pointer_t<decltype(c)>;
          if constexpr (std::is_same_v<T, q5::rules::Edit>) {
            auto* edit = find<QLineEdit>(name);
            ASSERT_NE(edit, nullptr);
            ++kinds["edit"];
            EXPECT_EQ(edit->text().toLatin1().toStdString(), c->text);
            EXPECT_EQ(edit->maxLength(), c->max_length == 0 ? kNoLimit : static_cast<int>(c->max_length));
            EXPECT_EQ(edit->validator() != nullptr, c->upper_case);
            EXPECT_EQ(edit->isReadOnly(), name.starts_with("sc_framno"));
            EXPECT_EQ(edit->font().bold(), name.starts_with("sc_"));
          } else if constexpr (std::is_same_v<T, q5::rules::List>) {
            auto* combo = find<QComboBox>(name);
            ASSERT_NE(combo, nullptr);
            ++kinds["list"];
            EXPECT_FALSE(combo->isEditable());
            QStringList expected;
            for (const std::string& item : c->items) expected << QString::fromLatin1(item.c_str());
            EXPECT_EQ(items(combo), expected);
            EXPECT_EQ(combo->currentIndex(), c->index);
            EXPECT_EQ(combo->isEnabled(), c->enabled);
          } else if constexpr (std::is_same_v<T, q5::rules::Check>) {
            auto* check = find<QCheckBox>(name);
            ASSERT_NE(check, nullptr);
            ++kinds["check"];
            EXPECT_EQ(check->isChecked(), c->checked);
          } else {
            EXPECT_EQ(form.ct_radio_index(), c->index);
            for (std::size_t i = 0; i < c->items.size(); ++i) {
              EXPECT_EQ(form.CtRadioButton[i]->text().toLatin1().toStdString(), c->items[i]);
            }
          }
        },
        named.control);
  }
  // No widget outside the catalogue.
  EXPECT_EQ(form.client->findChildren<QLineEdit*>().size(), kinds["edit"]);
  EXPECT_EQ(form.client->findChildren<QComboBox*>().size(), kinds["list"]);
  EXPECT_EQ(form.client->findChildren<QCheckBox*>().size(), kinds["check"]);
}

TEST_F(FormTest, EveryCheckBoxHasItsCaptionAndDefault) {
  const std::map<std::string, std::pair<const char*, bool>> cases = {
      {"sc_addractv1", {"1", true}}, {"sc_addractv2", {"2", true}},
      {"sc_addractv3", {"3", true}}, {"sc_addractv4", {"4", true}}, {"CheckBox1", {"Auto", false}},
      {"Daily_Alarm_checkbox", {"Daily Alarm", true}}, {"Date_time_disp_checkbox", {"Date/Time display", true}},
      {"Sleep_timer_checkbox", {"Sleep Timer ", true}}, {"Pager_off_menu_checkbox", {"Pager Off menu", true}},
      {"CanMsg_checkbox", {"Canned message", true}}, {"Dup_msg_rejection_chekbox", {"Dup Msg rejection", true}},
      {"Msg_time_stamp_checkbox", {"Message time stamp", true}}, {"Message_status_checkbox", {"Message status", true}},
      {"Unread_disp_checkbox", {"Unread display", true}}, {"Unread_reminder", {"Unread reminder", true}},
      {"Full_msg", {"Full message icon ", true}}, {"Error_eduction_checkbox", {"Error correction", true}},
      {"Protect_menu_checkbox", {"Protect  menu", true}}, {"Hand_code_pss_checkbox", {"Hand coding password", true}},
      {"Baud_handcode_checkbox", {"Baud rate hand coding", true}},
      {"Freq_handcode_checkbox", {"Freq hand coding", true}}, {"Addr_handcode_checkbox", {"Address hand coding", true}},
      {"OTA_autotime_checkbox", {"OTA Auto Time", true}}, {"OTA_poweroff_checkbox", {"OTA Power OFF", true}},
      {"OTA_msgdel_checkbox", {"OTA Msg Del", true}}, {"OTA_alertmode_checkbox", {"OTA Alert Mode", true}},
      {"Out_range_func_checkbox", {"Out of range function", true}}, {"No_service", {"\"No service\"display", true}},
      {"Re1Chk", {"RE1 active", false}}, {"Re2Chk", {"RE2 active", false}},
      {"Re3Chk", {"RE3 active", false}}, {"ORCTChk", {"ORCTL-DS", false}},
  };
  EXPECT_EQ(form.client->findChildren<QCheckBox*>().size(), qsizetype(cases.size()));
  for (const auto& [name, expected] : cases) {
    SCOPED_TRACE(name);
    auto* check = find<QCheckBox>(name);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(str(check->text()), expected.first);
    EXPECT_EQ(check->isChecked(), expected.second);
  }
}

TEST_F(FormTest, CallTerminationGroupStartsOnItsFourthButtonAndHoldsOneAtMost) {
  for (int i = 0; i < 4; ++i) {  // the texts are the catalogue's, checked above
    EXPECT_EQ(form.CtRadioGroup->button(i), form.CtRadioButton[i]);
    EXPECT_EQ(form.CtRadioButton[i]->parentWidget(), form.CtRadio);
  }
  // Each position selects its one button; one the group does not have
  // selects none, and the group is exclusive again afterwards.
  for (int index : {3, 0, 2, -1, 1, 4}) {
    if (index != 3) form.set_ct_radio_index(index);
    const int expected = index == 4 ? -1 : index;
    EXPECT_EQ(form.ct_radio_index(), expected);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(form.CtRadioButton[i]->isChecked(), i == expected) << index;
  }
  form.CtRadioButton[0]->click();
  form.CtRadioButton[2]->click();
  EXPECT_EQ(form.ct_radio_index(), 2);
  EXPECT_FALSE(form.CtRadioButton[0]->isChecked());
}

TEST_F(FormTest, GroupsHaveTheirTitlesAndPlaces) {
  const std::vector<std::tuple<const char*, const char*, QWidget*>> cases = {
      {"Address", "Address", form.TabSheet1},
      {"CannedMsg", "Canned Message", form.TabSheet2},
      {"GroupBox_T_only", "Tone Only Canned Message", form.CannedMsg},
      {"GroupBox_Normal", "Normal Canned Message", form.CannedMsg},
      {"GroupBox3", "Message Set", form.TabSheet3},
      {"GroupBox2", "Hand coding", form.TabSheet3},
      {"GroupBox1", "OTA", form.TabSheet3},
      {"CtRadio", "Call termination criteria", form.TabSheet4},
  };
  EXPECT_EQ(form.client->findChildren<QGroupBox*>().size(), qsizetype(cases.size()));
  for (const auto& [name, title, parent] : cases) {
    auto* group = find<QGroupBox>(name);
    ASSERT_NE(group, nullptr) << name;
    EXPECT_EQ(str(group->title()), title);
    EXPECT_EQ(group->parentWidget(), parent) << name;
  }
}

// The numbered families are arrays in number order.
TEST_F(FormTest, FamilyMembersAreInNumberOrder) {
  auto family = [](const auto& members, const std::string& stem) {
    std::vector<std::string> names;
    for (const auto* member : members) names.push_back(str(member->objectName()));
    EXPECT_EQ(names, numbered(stem, static_cast<int>(members.size())));
  };
  family(form.sc_addractv, "sc_addractv");
  family(form.sc_address, "sc_address");
  family(form.sc_framno, "sc_framno");
  family(form.sc_autoinc, "sc_autoinc");
  family(form.T_only_msg, "T_only_msg");
  family(form.N_canned_msg, "N_canned_msg");
  family(form.CtRadioButton, "CtRadioButton");
}

TEST_F(FormTest, OnlyModelAndFirmwareAreDisabled) {
  std::set<std::string> disabled;
  for (QWidget* w : all_widgets()) {
    if (!w->isEnabled()) disabled.insert(str(w->objectName()));
  }
  EXPECT_EQ(disabled, (std::set<std::string>{"ModelCB", "FirmwareVer"}));
}

TEST_F(FormTest, HintsAreShownExactlyWhereTheFormHasThem) {
  const std::string range = "Address range: 0000008-2007663; 2007672-2045055; 2045064-2097143";
  const std::string t_hint = "Maximun 12 character. M, T W, X will be counted as double character.";
  std::map<std::string, std::string> hints = {
      {"sc_address1", "Address range:0000008-2007663; 2007672-2045055; 2045064-2097143"},
      {"sc_address2", range},
      {"sc_address3", range},
      {"sc_address4", range},
      {"PLL_select", "W4 will not support SM5170"},
      {"CheckBox1", "Automatic inc by one"},
      {"Hello_msg", "Maximun 14 character."},
      {"Alert_type", "T:Tone V:vibrate M:mute"},
      {"T_only_msg1", t_hint},
      {"T_only_msg2", t_hint},
      {"T_only_msg3", "Maximun 12 character. M, t, W, X will be counted as double character."},
      {"T_only_msg4", "Maximun 12 character. M, T, W, X will be counted as double character."},
  };
  for (int i = 1; i <= 4; ++i) {
    const std::string n = std::to_string(i);
    hints["sc_addractv" + n] = "Enable/Disable address " + n;
    hints["sc_framno" + n] = "Frame No.";
    hints["sc_autoinc" + n] = "Auto increase the address by offset value.";
  }
  for (const std::string& name : numbered("N_canned_msg", 20)) {
    hints[name] = "Maximun 6 character. M, T, W, X will be counted as double character.";
  }
  std::map<std::string, std::string> shown;
  for (QWidget* w : all_widgets()) {
    if (!w->toolTip().isEmpty()) shown[str(w->objectName())] = str(w->toolTip());
  }
  EXPECT_EQ(shown, hints);
}

// Caption beside a control: a label of the same parent on the control's
// line, just before it (or just after it, for units).
TEST_F(FormTest, CaptionsStandBesideTheirControls) {
  struct Caption {
    std::string text, control;
    bool after = false;
  };
  std::vector<Caption> cases = {
      {"PLL select", "PLL_select"},       {"Baud rate", "Baud_rate"},
      {"Frequency", "Frequency"},         {"MHz@", "Frequency", true},
      {"MHz@", "Frequency_step"},         {"Data polarity", "Date_polarity"},
      {"Serial No.", "Serial_no"},        {"Hello Message", "Hello_msg"},
      {"Model No.", "ModelCB"},           {"Firmware Ver.", "FirmwareVer"},
      {"512", "E512bs1"},                 {"1200", "E1200bs1"},
      {"2400", "E2400bs1"},               {"Alert_reset", "Alert_reset"},
      {"Urgent call addr.", "Urgent_call_addr"}, {"Urgent call tone", "Urgent_call_tone"},
      {"Tone type sel", "Select_tone"},   {"Alert duration", "Alert_duration"},
      {"Sec", "Alert_duration", true},    {"Alert type", "Alert_type"},
      {"Vibrate pattern", "Vib_pattern"}, {"Specail Vib A time", "Special_vib_time"},
      {"Sec", "Special_vib_time", true},  {"Time format", "Time_format"},
      {"Date format", "Date_format"},     {"Num. char set", "Char_set"},
      {"Normal CannedMsg command", "CannedMsg_command"},
      {"A", "T_only_msg1"}, {"B", "T_only_msg2"}, {"C", "T_only_msg3"}, {"D", "T_only_msg4"},
      {"Dup Msg time", "Dup_msg_time"},   {"Repeat message tone ", "Repeat_msg_tone"},
      {"Unread reminder time", "Uread_reminder_time"}, {"Message order", "Message_order"},
      {"Number of message", "Num_message"}, {"Hand code password", "Password"},
      {"In/Out Range", "In_out_range"},   {"Outrange Detect time", "Outrange_time"},
      {"Low Batt Reminder", "LowbattComb"}, {"Lcd disp Order", "LcdorderComb"},
      {"Manual  Lcd disp order ", "lcdmannulCB"},
  };
  const auto canned = numbered("N_canned_msg", 20);
  for (int i = 0; i < 20; ++i) cases.push_back({std::to_string(i), canned[i]});

  for (const Caption& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.control);
    auto* control = find<QWidget>(c.control);
    ASSERT_NE(control, nullptr);
    const QRect at = control->geometry();
    bool found = false;
    for (QLabel* label : control->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      const QRect g = label->geometry();
      const bool same_line = g.top() <= at.center().y() && at.center().y() <= g.bottom();
      const int gap = c.after ? g.left() - at.right() : at.left() - g.right();
      if (str(label->text()) == c.text && same_line && gap > 0 && gap < 16) found = true;
    }
    EXPECT_TRUE(found);
  }
  EXPECT_EQ(str(form.LRe1->text()), "RE1");
  EXPECT_EQ(str(form.LRe3->text()), "RE3");
  EXPECT_EQ(form.E512bs1->x(), form.LRe1->x());  // the grid's columns stand under their captions
  EXPECT_EQ(form.E2400bs3->x(), form.LRe3->x());
}

// ---------------------------------------------------------------- Tab order

TEST_F(FormTest, TabOrderFollowsTheFormPageByPage) {
  std::vector<std::string> expected;
  for (int i = 1; i <= 4; ++i) {
    const std::string n = std::to_string(i);
    expected.insert(expected.end(), {"sc_addractv" + n, "sc_address" + n, "sc_autoinc" + n});
  }
  auto add = [&expected](std::initializer_list<const char*> names) { expected.insert(expected.end(), names.begin(), names.end()); };
  auto add_all = [&expected](const std::vector<std::string>& names) { expected.insert(expected.end(), names.begin(), names.end()); };
  add({"Daily_Alarm_checkbox", "Date_time_disp_checkbox", "Sleep_timer_checkbox", "Pager_off_menu_checkbox",
       "PLL_select", "Baud_rate", "Frequency", "Frequency_step", "Date_polarity", "Serial_no", "CheckBox1",
       "Hello_msg", "Alert_reset", "Urgent_call_addr", "Urgent_call_tone", "Select_tone", "Alert_duration",
       "Alert_type", "Vib_pattern", "Special_vib_time", "Time_format", "Date_format", "Char_set", "E2400bs1",
       "E2400bs3", "E512bs1", "E512bs3", "E1200bs1", "E1200bs3", "ModelCB", "FirmwareVer", "CanMsg_checkbox",
       "CannedMsg_command"});
  add_all(numbered("T_only_msg", 4));
  add_all(numbered("N_canned_msg", 20));
  add({"Dup_msg_rejection_chekbox", "Dup_msg_time", "Repeat_msg_tone", "Msg_time_stamp_checkbox",
       "Message_status_checkbox", "Unread_disp_checkbox", "Unread_reminder", "Uread_reminder_time", "Full_msg",
       "Error_eduction_checkbox", "Protect_menu_checkbox", "Message_order", "Num_message", "Hand_code_pss_checkbox",
       "Baud_handcode_checkbox", "Freq_handcode_checkbox", "Addr_handcode_checkbox", "Password",
       "OTA_autotime_checkbox", "OTA_poweroff_checkbox", "OTA_msgdel_checkbox", "OTA_alertmode_checkbox",
       "Out_range_func_checkbox", "In_out_range", "No_service", "Outrange_time", "LowbattComb", "LcdorderComb",
       "lcdmannulCB", "Re1Chk", "Re2Chk", "Re3Chk", "ORCTChk"});
  add_all(numbered("CtRadioButton", 4));
  add({"Memo1"});

  // The whole focus chain once, from the page tabs, keeping every widget
  // Tab can stop on (the read-only frame numbers take no stop).
  std::vector<std::string> chain;
  QWidget* start = form.PageControl1->tabBar();
  QWidget* w = start->nextInFocusChain();
  for (int guard = 0; w != start && guard < 1000; ++guard, w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() && w != form.PageControl1 &&
        w->parentWidget() != start) {
      chain.push_back(str(w->objectName()));
    }
  }
  EXPECT_EQ(chain, expected);
}

// ---------------------------------------------------------------- entry

TEST_F(FormTest, UpperCaseFieldsShowCapitalsUpToTheirLimit) {
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const std::vector<std::tuple<std::string, const char*, const char*>> cases = {
      {"Hello_msg", "happy birthday to you", "HAPPY BIRTHDAY"},
      {"T_only_msg2", "tone b, mixed Case!", "TONE B, MIXE"},
      {"N_canned_msg1", "abcdefg", "ABCDEF"},
      {"N_canned_msg20", "x1y2", "X1Y2"},
      // A letter whose capital is two letters must not push the text past
      // the limit: it stays as it is.
      {"N_canned_msg5", "\u00df\u00df\u00df\u00df\u00df\u00df\u00df", "\u00df\u00df\u00df\u00df\u00df\u00df"},
  };
  for (const auto& [name, typed, shown] : cases) {
    auto* edit = find<QLineEdit>(name);
    ASSERT_NE(edit, nullptr) << name;
    q5::test::type_into(edit, QString::fromUtf8(typed));
    EXPECT_EQ(str(edit->text()), shown) << name;
  }
  // Set or pasted text too; other fields keep the case they are given.
  form.Hello_msg->setText("good morning");
  EXPECT_EQ(str(form.Hello_msg->text()), "GOOD MORNING");
  form.N_canned_msg[2]->clear();
  form.N_canned_msg[2]->insert("meeting");
  EXPECT_EQ(str(form.N_canned_msg[2]->text()), "MEETIN");
  form.Frequency->setText("abc");
  EXPECT_EQ(str(form.Frequency->text()), "abc");
}

// ---------------------------------------------------------------- layout

std::string describe(const QWidget* w) {
  const QString name = w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName();
  const auto* label = qobject_cast<const QLabel*>(w);
  return str(label ? name + " \"" + label->text() + "\"" : name);
}

TEST_F(FormTest, NoTwoNeighboursOverlapAndAllStayInsideTheirFrame) {
  const std::vector<QWidget*> containers = {
      form.client,  form.TabSheet1, form.TabSheet2,       form.TabSheet3,       form.TabSheet4,
      form.Address, form.CannedMsg, form.GroupBox_T_only, form.GroupBox_Normal, form.GroupBox3,
      form.GroupBox2, form.GroupBox1, form.CtRadio};
  for (int page = 0; page < 4; ++page) {
    form.PageControl1->setCurrentIndex(page);  // lays the page out at its real size
    for (QWidget* parent : containers) {
      const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
      QRect inner = parent->rect();
      if (auto* group = qobject_cast<QGroupBox*>(parent)) {
        // Clear of the frame line and below the title's line: styles that
        // draw the frame under the title, not through it, would cut through
        // the first row of controls.
        QStyleOptionGroupBox opt;
        opt.initFrom(group);
        opt.text = group->title();
        opt.lineWidth = 1;
        opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        opt.textAlignment = group->alignment();
        const QRect title =
            group->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, group);
        inner.adjust(2, 2, -2, -2);
        inner.setTop(std::max(inner.top(), title.bottom() + 1));
      }
      for (int i = 0; i < children.size(); ++i) {
        const QRect a = children[i]->geometry();
        EXPECT_TRUE(inner.contains(a)) << describe(children[i]) << " leaves " << describe(parent);
        for (int j = i + 1; j < children.size(); ++j) {
          EXPECT_FALSE(a.intersects(children[j]->geometry()))
              << describe(children[i]) << " overlaps " << describe(children[j]);
        }
      }
    }
  }
  EXPECT_GE(form.TabSheet1->width(), 520);  // the widest group reaches x = 520
  EXPECT_GE(form.TabSheet1->height(), 375);
}

TEST_F(FormTest, EveryTextFitsItsControl) {
  for (int page = 0; page < 4; ++page) form.PageControl1->setCurrentIndex(page);
  for (QWidget* w : all_widgets()) {
    const QFontMetrics fm = w->fontMetrics();
    QStyle* style = w->style();
    if (auto* label = qobject_cast<QLabel*>(w)) {
      const QRect room = label->contentsRect();
      EXPECT_LE(fm.horizontalAdvance(label->text()), room.width()) << describe(w);
      EXPECT_LE(fm.tightBoundingRect(label->text()).height(), room.height()) << describe(w);
    } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
      auto* button = static_cast<QAbstractButton*>(w);
      QStyleOptionButton opt;
      opt.initFrom(button);
      opt.text = button->text();
      const auto element = qobject_cast<QRadioButton*>(w) ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents;
      EXPECT_LE(fm.horizontalAdvance(button->text()), style->subElementRect(element, &opt, button).width())
          << describe(w);
      EXPECT_LE(fm.height(), button->height()) << describe(w);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox opt;
      opt.initFrom(combo);
      opt.editable = false;
      const QRect field = style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
      for (const QString& item : items(combo)) {
        // The label is drawn one pixel in from each side of the field.
        EXPECT_LE(fm.horizontalAdvance(item), field.width() - 2) << describe(w) << " item " << str(item);
      }
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      QStyleOptionFrame opt;
      opt.initFrom(edit);
      opt.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit);
      const QRect room = style->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
      // Qt keeps two pixels free on either side of the text.
      EXPECT_LE(fm.horizontalAdvance(edit->text()), room.width() - 4) << describe(w);
      EXPECT_LE(fm.height(), room.height()) << describe(w);
    }
  }
}

// Pictures of the four pages for a person to look at.
TEST_F(FormTest, PagesRenderToPictures) {
  for (int page = 0; page < 4; ++page) {
    form.PageControl1->setCurrentIndex(page);
    const QPixmap picture = window.grab();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), window.size());
    const QString file = QDir(Q5_SCREENSHOT_DIR).filePath(QString("page%1.png").arg(page + 1));
    EXPECT_TRUE(picture.save(file)) << str(file);
  }
}

}  // namespace
