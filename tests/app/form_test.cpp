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
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string str(const QString& s) { return s.toStdString(); }

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.setup(&window);
    window.show();
  }

  template <class T>
  T* find(const char* name) {
    return window.findChild<T*>(name);
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
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
}

TEST_F(FormTest, MenuBarHoldsMenusAndTwoDirectCommands) {
  std::vector<std::string> top;
  for (QAction* a : form.MainMenu1->actions()) top.push_back(str(a->text()));
  EXPECT_EQ(top, (std::vector<std::string>{"&File", "&LPT", "&Write_to_Pager",
                                           "&Read_From_Pager", "&Help"}));
  EXPECT_EQ(form.WritetoPager1->menu(), nullptr);
  EXPECT_EQ(form.ReadFromPager1->menu(), nullptr);
  EXPECT_EQ(form.MainMenu1->actions().at(2), form.WritetoPager1);
  EXPECT_EQ(form.MainMenu1->actions().at(3), form.ReadFromPager1);

  const std::vector<QAction*> file = {form.Open1, form.Save1, form.N1, form.Exit1};
  EXPECT_EQ(form.File1->actions().toVector(), QVector<QAction*>(file.begin(), file.end()));
  EXPECT_EQ(str(form.Open1->text()), "&Open");
  EXPECT_EQ(str(form.Save1->text()), "&Save");
  EXPECT_TRUE(form.N1->isSeparator());
  EXPECT_EQ(str(form.Exit1->text()), "&Exit");

  EXPECT_EQ(form.LPT1->actions().size(), 2);
  EXPECT_EQ(str(form.N11->text()), "1");
  EXPECT_EQ(str(form.N21->text()), "2");
  EXPECT_TRUE(form.N11->isCheckable() && form.N11->isChecked());
  EXPECT_TRUE(form.N21->isCheckable() && !form.N21->isChecked());

  EXPECT_EQ(form.Help1->actions().size(), 1);
  EXPECT_EQ(str(form.Aboutcpp1->text()), "&About cpp");

  for (QAction* a : {form.Open1, form.Save1, form.Exit1, form.N11, form.N21, form.WritetoPager1,
                     form.ReadFromPager1, form.Aboutcpp1}) {
    EXPECT_TRUE(a->isEnabled()) << str(a->objectName());
  }
  const std::map<QObject*, std::string> names = {
      {form.MainMenu1, "MainMenu1"}, {form.File1, "File1"},
      {form.Open1, "Open1"},         {form.Save1, "Save1"},
      {form.N1, "N1"},               {form.Exit1, "Exit1"},
      {form.LPT1, "LPT1"},           {form.N11, "N11"},
      {form.N21, "N21"},             {form.WritetoPager1, "WritetoPager1"},
      {form.ReadFromPager1, "ReadFromPager1"}, {form.Help1, "Help1"},
      {form.Aboutcpp1, "Aboutcpp1"}};
  for (const auto& [object, name] : names) EXPECT_EQ(str(object->objectName()), name);
}

TEST_F(FormTest, PagesAreTabbedOnTheLeftWithPageOneCurrent) {
  QTabWidget* pages = form.PageControl1;
  EXPECT_EQ(pages->geometry(), QRect(0, 0, 561, 393));
  EXPECT_EQ(pages->tabPosition(), QTabWidget::West);
  ASSERT_EQ(pages->count(), 4);
  const QWidget* sheets[4] = {form.TabSheet1, form.TabSheet2, form.TabSheet3, form.TabSheet4};
  const char* captions[4] = {"Page 1", "Page 2", "Page 3", "Test"};
  const char* names[4] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(pages->widget(i), sheets[i]);
    EXPECT_EQ(str(pages->tabText(i)), captions[i]);
    EXPECT_EQ(str(sheets[i]->objectName()), names[i]);
    EXPECT_TRUE(pages->tabToolTip(i).isEmpty());
    EXPECT_EQ(pages->tabBar()->tabRect(i).height(), 90) << "tab " << i;
  }
  EXPECT_EQ(pages->currentIndex(), 0);
}

TEST_F(FormTest, MessageLogIsAnEmptyReadOnlyRedFixedPitchBox) {
  QPlainTextEdit* log = form.Memo1;
  EXPECT_EQ(str(log->objectName()), "Memo1");
  EXPECT_EQ(log->geometry(), QRect(23, 394, 522, 41));
  EXPECT_TRUE(log->isReadOnly());
  EXPECT_TRUE(log->toPlainText().isEmpty());
  EXPECT_EQ(log->palette().color(QPalette::Text), QColor(Qt::red));
  EXPECT_TRUE(QFontInfo(log->font()).fixedPitch());
}

// ---------------------------------------------------------------- controls

struct ComboCase {
  const char* name;
  QStringList items;
  int current;
};

TEST_F(FormTest, EveryComboBoxIsADropDownListWithItsItemsAndDefault) {
  const QStringList offsets = {"0", "1", "2", "3", "4", "5", "6", "7", "8"};
  const QStringList addresses = {"DISABLE", "ADDRESS 1", "ADDRESS 2", "ADDRESS 3", "ADDRESS 4",
                                 "ALL"};
  QStringList minutes;
  for (int i = 1; i <= 9; ++i) minutes << QString("%1  min").arg(i);
  for (int i = 10; i <= 15; ++i) minutes << QString("%1 min").arg(i);
  const std::vector<ComboCase> cases = {
      {"sc_autoinc1", offsets, 0},
      {"sc_autoinc2", offsets, 0},
      {"sc_autoinc3", offsets, 0},
      {"sc_autoinc4", offsets, 0},
      {"PLL_select", {"KS8809", "SM5170"}, 1},
      {"Baud_rate", {"2400 bps", "512   bps", "1200 bps"}, 2},
      {"Frequency_step", {"6.25kHz", "5kHz"}, 0},
      {"Date_polarity", {"NORMAL", "INVERT"}, 0},
      {"ModelCB", {"Orbit", "Normal"}, 0},
      {"FirmwareVer", {"R1", "R2"}, 0},
      {"Alert_reset", addresses, 0},
      {"Urgent_call_addr", addresses, 0},
      {"Urgent_call_tone", {"DISABLE", "TONE A", "TONE B", "TONE C", "TONE D", "ALL"}, 0},
      {"Select_tone", {"ABCD+Music", "TONE+Music"}, 0},
      {"Alert_duration", {"1", "2", "3", "4", "8", "16", "32", "64"}, 5},
      {"Alert_type",
       {"T/V/T+V/M", "V/T/T+V/M", "T/V/T+V", "V/T/T+V", "T/M", "V/M", "T only", "V only", "T+V"},
       0},
      {"Vib_pattern", {"1+1+1...1Hz", "A/B/C/D", "Special", "Continuous"}, 0},
      {"Time_format", {"24 hr", "12 hr"}, 1},
      {"Date_format", {"DD/MM", "MM/DD"}, 0},
      {"Char_set", {"0..9AU -][", "0..9ABCDE "}, 0},
      {"CannedMsg_command", {"--", "[[", "]]"}, 0},
      {"Dup_msg_time", {"1 min", "2 min", "3 min", "4 min", "5 min", "6 min"}, 0},
      {"Repeat_msg_tone", {"Short", "Long"}, 0},
      {"Uread_reminder_time", {"30 minutes", "continuous"}, 0},
      {"Message_order", {"Decrement", "Increment"}, 0},
      {"In_out_range", {"Out", "In"}, 1},
      {"Outrange_time", minutes, 2},
      {"LowbattComb", {"Normal", "Special"}, 0},
      {"LcdorderComb", {"Left", "Right"}, 0},
      {"lcdmannulCB", {"DISABLE", "ENABLE"}, 1},
  };
  EXPECT_EQ(form.client->findChildren<QComboBox*>().size(), qsizetype(cases.size()));
  for (const ComboCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* combo = find<QComboBox>(c.name);
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    EXPECT_EQ(items, c.items);
    EXPECT_EQ(combo->currentIndex(), c.current);
    EXPECT_EQ(combo->currentText(), c.items.at(c.current));
  }
}

struct EditCase {
  const char* name;
  const char* text;
  int max_length;
  bool upper_case = false;
};

TEST_F(FormTest, EveryEditHasItsDefaultTextAndLimit) {
  constexpr int kNoLimit = 32767;
  std::vector<EditCase> cases = {
      {"sc_address1", "2004000", 7},  {"sc_address2", "2004008", 7},
      {"sc_address3", "2004016", 7},  {"sc_address4", "2004024", 7},
      {"sc_framno1", "0", 1},         {"sc_framno2", "0", 1},
      {"sc_framno3", "0", 1},         {"sc_framno4", "0", 1},
      {"Frequency", "138.97500", 9},  {"Serial_no", "12345678", 8},
      {"Hello_msg", "HAPPY EVERYDAY", 14, true},
      {"E512bs1", "03", kNoLimit},    {"E512bs3", "09", kNoLimit},
      {"E1200bs1", "31", kNoLimit},   {"E1200bs3", "31", kNoLimit},
      {"E2400bs1", "31", kNoLimit},   {"E2400bs3", "31", kNoLimit},
      {"Special_vib_time", "12", 2},
      {"T_only_msg1", "TONE ONLY A", 12, true},   {"T_only_msg2", "TONE ONLY B ", 12, true},
      {"T_only_msg3", "TONE ONLY C ", 12, true},  {"T_only_msg4", "TONE ONLY D ", 12, true},
      {"Num_message", "12", 2},       {"Password", "7316", 4},
  };
  const char* canned[20] = {"PLEASE", "CALL  ", "ME    ", "YOU",  "IN",   "AT",    "OFFICE",
                            "MEET",   "HOME",   "TO",     "GO",   "WHY",  "WHERE", "WHAT",
                            "WHO",    "HOW",    "TIME",   "DATE", "HAPPY", "SCHOOL"};
  std::vector<std::string> canned_names;
  for (int i = 0; i < 20; ++i) canned_names.push_back("N_canned_msg" + std::to_string(i + 1));
  for (int i = 0; i < 20; ++i) cases.push_back({canned_names[i].c_str(), canned[i], 6, true});

  EXPECT_EQ(form.client->findChildren<QLineEdit*>().size(), qsizetype(cases.size()));
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* edit = find<QLineEdit>(c.name);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(str(edit->text()), c.text);
    EXPECT_EQ(edit->maxLength(), c.max_length);
    EXPECT_EQ(edit->validator() != nullptr, c.upper_case);
    EXPECT_EQ(edit->isReadOnly(), QString(c.name).startsWith("sc_framno"));
    EXPECT_EQ(edit->font().bold(), QString(c.name).startsWith("sc_"));
  }
}

TEST_F(FormTest, FrameNumbersTakeNoTabStop) {
  for (QLineEdit* frame : form.sc_framno) {
    EXPECT_FALSE(frame->focusPolicy() & Qt::TabFocus) << str(frame->objectName());
  }
}

struct CheckCase {
  const char* name;
  const char* text;
  bool checked;
};

TEST_F(FormTest, EveryCheckBoxHasItsCaptionAndDefault) {
  const std::vector<CheckCase> cases = {
      {"sc_addractv1", "1", true},
      {"sc_addractv2", "2", true},
      {"sc_addractv3", "3", true},
      {"sc_addractv4", "4", true},
      {"CheckBox1", "Auto", false},
      {"Daily_Alarm_checkbox", "Daily Alarm", true},
      {"Date_time_disp_checkbox", "Date/Time display", true},
      {"Sleep_timer_checkbox", "Sleep Timer ", true},
      {"Pager_off_menu_checkbox", "Pager Off menu", true},
      {"CanMsg_checkbox", "Canned message", true},
      {"Dup_msg_rejection_chekbox", "Dup Msg rejection", true},
      {"Msg_time_stamp_checkbox", "Message time stamp", true},
      {"Message_status_checkbox", "Message status", true},
      {"Unread_disp_checkbox", "Unread display", true},
      {"Unread_reminder", "Unread reminder", true},
      {"Full_msg", "Full message icon ", true},
      {"Error_eduction_checkbox", "Error correction", true},
      {"Protect_menu_checkbox", "Protect  menu", true},
      {"Hand_code_pss_checkbox", "Hand coding password", true},
      {"Baud_handcode_checkbox", "Baud rate hand coding", true},
      {"Freq_handcode_checkbox", "Freq hand coding", true},
      {"Addr_handcode_checkbox", "Address hand coding", true},
      {"OTA_autotime_checkbox", "OTA Auto Time", true},
      {"OTA_poweroff_checkbox", "OTA Power OFF", true},
      {"OTA_msgdel_checkbox", "OTA Msg Del", true},
      {"OTA_alertmode_checkbox", "OTA Alert Mode", true},
      {"Out_range_func_checkbox", "Out of range function", true},
      {"No_service", "\"No service\"display", true},
      {"Re1Chk", "RE1 active", false},
      {"Re2Chk", "RE2 active", false},
      {"Re3Chk", "RE3 active", false},
      {"ORCTChk", "ORCTL-DS", false},
  };
  EXPECT_EQ(form.client->findChildren<QCheckBox*>().size(), qsizetype(cases.size()));
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* check = find<QCheckBox>(c.name);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(str(check->text()), c.text);
    EXPECT_EQ(check->isChecked(), c.checked);
  }
}

TEST_F(FormTest, CallTerminationGroupStartsOnItsFourthButton) {
  EXPECT_EQ(str(form.CtRadio->objectName()), "CtRadio");
  EXPECT_EQ(str(form.CtRadio->title()), "Call termination criteria");
  const char* texts[4] = {"Found address codeword", "Uncollectible codeword",
                          "Two consecutive codeword", "Uncollectible and two codeword"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(str(form.CtRadioButton[i]->text()), texts[i]);
    EXPECT_EQ(form.CtRadioGroup->button(i), form.CtRadioButton[i]);
    EXPECT_EQ(form.CtRadioButton[i]->parentWidget(), form.CtRadio);
  }
  EXPECT_TRUE(form.CtRadioGroup->exclusive());
  EXPECT_EQ(form.ct_radio_index(), 3);
  EXPECT_TRUE(form.CtRadioButton[3]->isChecked());
}

TEST_F(FormTest, SelectingACallTerminationButtonByIndex) {
  for (int index : {0, 2, 1, 3}) {
    form.set_ct_radio_index(index);
    EXPECT_EQ(form.ct_radio_index(), index);
    int checked = 0;
    for (QRadioButton* b : form.CtRadioButton) checked += b->isChecked();
    EXPECT_EQ(checked, 1);
  }
  // A position the group does not have leaves no button selected, and the
  // group is exclusive again afterwards.
  for (int index : {-1, 4, 200}) {
    form.set_ct_radio_index(1);
    form.set_ct_radio_index(index);
    EXPECT_EQ(form.ct_radio_index(), -1) << index;
    for (QRadioButton* b : form.CtRadioButton) EXPECT_FALSE(b->isChecked());
    EXPECT_TRUE(form.CtRadioGroup->exclusive());
  }
  form.set_ct_radio_index(2);
  form.CtRadioButton[0]->click();
  EXPECT_EQ(form.ct_radio_index(), 0);
  EXPECT_FALSE(form.CtRadioButton[2]->isChecked());
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
  const std::string n_hint = "Maximun 6 character. M, T, W, X will be counted as double character.";
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
  for (int i = 1; i <= 20; ++i) hints["N_canned_msg" + std::to_string(i)] = n_hint;

  std::map<std::string, std::string> shown;
  for (QWidget* w : all_widgets()) {
    if (!w->toolTip().isEmpty()) shown[str(w->objectName())] = str(w->toolTip());
  }
  EXPECT_EQ(shown, hints);
}

TEST_F(FormTest, MembersAreTheNamedControls) {
  const std::vector<std::pair<QObject*, const char*>> singles = {
      {form.client, "client"}, {form.PageControl1, "PageControl1"}, {form.Address, "Address"},
      {form.PLL_select, "PLL_select"}, {form.Baud_rate, "Baud_rate"},
      {form.Frequency, "Frequency"}, {form.Frequency_step, "Frequency_step"},
      {form.Date_polarity, "Date_polarity"}, {form.Serial_no, "Serial_no"},
      {form.CheckBox1, "CheckBox1"}, {form.Hello_msg, "Hello_msg"}, {form.ModelCB, "ModelCB"},
      {form.FirmwareVer, "FirmwareVer"}, {form.Daily_Alarm_checkbox, "Daily_Alarm_checkbox"},
      {form.Date_time_disp_checkbox, "Date_time_disp_checkbox"},
      {form.Sleep_timer_checkbox, "Sleep_timer_checkbox"},
      {form.Pager_off_menu_checkbox, "Pager_off_menu_checkbox"}, {form.E512bs1, "E512bs1"},
      {form.E512bs3, "E512bs3"}, {form.E1200bs1, "E1200bs1"}, {form.E1200bs3, "E1200bs3"},
      {form.E2400bs1, "E2400bs1"}, {form.E2400bs3, "E2400bs3"}, {form.LRe1, "LRe1"},
      {form.LRe3, "LRe3"}, {form.L512, "L512"}, {form.L1200, "L1200"}, {form.L2400, "L2400"},
      {form.Alert_reset, "Alert_reset"}, {form.Urgent_call_addr, "Urgent_call_addr"},
      {form.Urgent_call_tone, "Urgent_call_tone"}, {form.Select_tone, "Select_tone"},
      {form.Alert_duration, "Alert_duration"}, {form.Alert_type, "Alert_type"},
      {form.Vib_pattern, "Vib_pattern"}, {form.Special_vib_time, "Special_vib_time"},
      {form.Time_format, "Time_format"}, {form.Date_format, "Date_format"},
      {form.Char_set, "Char_set"}, {form.CannedMsg, "CannedMsg"},
      {form.CanMsg_checkbox, "CanMsg_checkbox"}, {form.CannedMsg_command, "CannedMsg_command"},
      {form.GroupBox_T_only, "GroupBox_T_only"}, {form.GroupBox_Normal, "GroupBox_Normal"},
      {form.GroupBox3, "GroupBox3"}, {form.Dup_msg_rejection_chekbox, "Dup_msg_rejection_chekbox"},
      {form.Dup_msg_time, "Dup_msg_time"}, {form.Repeat_msg_tone, "Repeat_msg_tone"},
      {form.Msg_time_stamp_checkbox, "Msg_time_stamp_checkbox"},
      {form.Message_status_checkbox, "Message_status_checkbox"},
      {form.Unread_disp_checkbox, "Unread_disp_checkbox"},
      {form.Unread_reminder, "Unread_reminder"}, {form.Uread_reminder_time, "Uread_reminder_time"},
      {form.Full_msg, "Full_msg"}, {form.Error_eduction_checkbox, "Error_eduction_checkbox"},
      {form.Protect_menu_checkbox, "Protect_menu_checkbox"}, {form.Message_order, "Message_order"},
      {form.Num_message, "Num_message"}, {form.GroupBox2, "GroupBox2"},
      {form.Hand_code_pss_checkbox, "Hand_code_pss_checkbox"},
      {form.Baud_handcode_checkbox, "Baud_handcode_checkbox"},
      {form.Freq_handcode_checkbox, "Freq_handcode_checkbox"},
      {form.Addr_handcode_checkbox, "Addr_handcode_checkbox"}, {form.Password, "Password"},
      {form.GroupBox1, "GroupBox1"}, {form.OTA_autotime_checkbox, "OTA_autotime_checkbox"},
      {form.OTA_poweroff_checkbox, "OTA_poweroff_checkbox"},
      {form.OTA_msgdel_checkbox, "OTA_msgdel_checkbox"},
      {form.OTA_alertmode_checkbox, "OTA_alertmode_checkbox"},
      {form.Out_range_func_checkbox, "Out_range_func_checkbox"},
      {form.In_out_range, "In_out_range"}, {form.No_service, "No_service"},
      {form.Outrange_time, "Outrange_time"}, {form.LowbattComb, "LowbattComb"},
      {form.LcdorderComb, "LcdorderComb"}, {form.lcdmannulCB, "lcdmannulCB"},
      {form.Re1Chk, "Re1Chk"}, {form.Re2Chk, "Re2Chk"}, {form.Re3Chk, "Re3Chk"},
      {form.ORCTChk, "ORCTChk"}, {form.CtRadioGroup, "CtRadioGroup"}};
  for (const auto& [object, name] : singles) {
    ASSERT_NE(object, nullptr) << name;
    EXPECT_EQ(str(object->objectName()), name);
  }
  auto family = [](const auto& members, const std::string& prefix) {
    for (size_t i = 0; i < members.size(); ++i) {
      ASSERT_NE(members[i], nullptr) << prefix << i + 1;
      EXPECT_EQ(str(members[i]->objectName()), prefix + std::to_string(i + 1));
    }
  };
  family(form.sc_addractv, "sc_addractv");
  family(form.sc_address, "sc_address");
  family(form.sc_framno, "sc_framno");
  family(form.sc_autoinc, "sc_autoinc");
  family(form.T_only_msg, "T_only_msg");
  family(form.N_canned_msg, "N_canned_msg");
  family(form.CtRadioButton, "CtRadioButton");
}

// ---------------------------------------------------------------- placement

struct GroupCase {
  const char* name;
  const char* title;
  QWidget* parent;
  QRect geometry;
};

TEST_F(FormTest, GroupsSitWhereTheFormPutsThem) {
  const std::vector<GroupCase> cases = {
      {"Address", "Address", form.TabSheet1, {27, 4, 484, 81}},
      {"CannedMsg", "Canned Message", form.TabSheet2, {19, 7, 501, 291}},
      {"GroupBox_T_only", "Tone Only Canned Message", form.CannedMsg, {16, 96, 177, 185}},
      {"GroupBox_Normal", "Normal Canned Message", form.CannedMsg, {248, 16, 241, 265}},
      {"GroupBox3", "Message Set", form.TabSheet3, {16, 8, 317, 241}},
      {"GroupBox2", "Hand coding", form.TabSheet3, {349, 8, 169, 137}},
      {"GroupBox1", "OTA", form.TabSheet3, {350, 153, 169, 97}},
      {"CtRadio", "Call termination criteria", form.TabSheet4, {72, 192, 201, 137}},
  };
  EXPECT_EQ(form.client->findChildren<QGroupBox*>().size(), qsizetype(cases.size()));
  for (const GroupCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* group = find<QGroupBox>(c.name);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(str(group->title()), c.title);
    EXPECT_EQ(group->parentWidget(), c.parent);
    EXPECT_EQ(group->geometry(), c.geometry);
  }
}

// Positions (and widths where the form gives one) of controls, in their
// group or page.
struct PlaceCase {
  const char* name;
  const char* parent;
  int x, y, width;  // width 0: not fixed by the form
};

TEST_F(FormTest, ControlsSitWhereTheFormPutsThem) {
  const std::vector<PlaceCase> cases = {
      {"sc_addractv1", "Address", 8, 23, 0},        {"sc_addractv2", "Address", 8, 51, 0},
      {"sc_addractv3", "Address", 295, 22, 0},      {"sc_addractv4", "Address", 295, 50, 0},
      {"sc_address1", "Address", 43, 20, 57},       {"sc_address2", "Address", 43, 48, 57},
      {"sc_address3", "Address", 332, 19, 57},      {"sc_address4", "Address", 332, 47, 57},
      {"sc_framno1", "Address", 106, 20, 17},       {"sc_framno2", "Address", 106, 48, 17},
      {"sc_framno3", "Address", 396, 19, 17},       {"sc_framno4", "Address", 396, 47, 17},
      {"sc_autoinc1", "Address", 136, 21, 0},       {"sc_autoinc2", "Address", 136, 49, 0},
      {"sc_autoinc3", "Address", 427, 20, 0},       {"sc_autoinc4", "Address", 427, 48, 0},
      {"PLL_select", "TabSheet1", 107, -1, 0},      {"Baud_rate", "TabSheet1", 107, -1, 0},
      {"Frequency", "TabSheet1", 107, -1, 0},       {"Frequency_step", "TabSheet1", 202, -1, 0},
      {"Date_polarity", "TabSheet1", 107, -1, 0},   {"Serial_no", "TabSheet1", 107, -1, 0},
      {"CheckBox1", "TabSheet1", 171, -1, 0},       {"Hello_msg", "TabSheet1", 107, -1, 0},
      {"ModelCB", "TabSheet1", 106, 250, 0},        {"FirmwareVer", "TabSheet1", 256, 250, 0},
      {"Daily_Alarm_checkbox", "TabSheet1", 32, 284, 0},
      {"Date_time_disp_checkbox", "TabSheet1", 32, 308, 0},
      {"Sleep_timer_checkbox", "TabSheet1", 32, 332, 0},
      {"Pager_off_menu_checkbox", "TabSheet1", 32, 357, 0},
      {"LRe1", "TabSheet1", 200, 276, 0},           {"LRe3", "TabSheet1", 240, 276, 0},
      {"E512bs1", "TabSheet1", -1, 288, 25},        {"E512bs3", "TabSheet1", -1, 288, 25},
      {"E1200bs1", "TabSheet1", -1, 316, 25},       {"E1200bs3", "TabSheet1", -1, 316, 25},
      {"E2400bs1", "TabSheet1", -1, 345, 25},       {"E2400bs3", "TabSheet1", -1, 345, 25},
      {"Alert_reset", "TabSheet1", 415, -1, 0},     {"Char_set", "TabSheet1", 415, -1, 0},
      {"Special_vib_time", "TabSheet1", 415, -1, 26},
      {"CanMsg_checkbox", "CannedMsg", 17, 27, 0},  {"CannedMsg_command", "CannedMsg", 168, 50, 0},
      {"T_only_msg1", "GroupBox_T_only", 40, -1, 111},
      {"T_only_msg4", "GroupBox_T_only", 40, -1, 111},
      {"N_canned_msg1", "GroupBox_Normal", 48, 19, 57},
      {"N_canned_msg10", "GroupBox_Normal", 48, 19 + 9 * 24, 57},
      {"N_canned_msg11", "GroupBox_Normal", 160, 19, 57},
      {"N_canned_msg20", "GroupBox_Normal", 160, 19 + 9 * 24, 57},
      {"Dup_msg_rejection_chekbox", "GroupBox3", 8, -1, 0},
      {"Dup_msg_time", "GroupBox3", 236, 14, 0},    {"Repeat_msg_tone", "GroupBox3", 120, 36, 0},
      {"Protect_menu_checkbox", "GroupBox3", 8, -1, 0},
      {"Uread_reminder_time", "GroupBox3", 236, 122, 0},
      {"Message_order", "GroupBox3", 87, 203, 0},   {"Num_message", "GroupBox3", 282, 204, 26},
      {"Password", "GroupBox2", 118, 103, 41},
      {"Out_range_func_checkbox", "TabSheet3", 16, 268, 0},
      {"In_out_range", "TabSheet3", 259, 266, 0},   {"No_service", "TabSheet3", 16, 292, 0},
      {"Outrange_time", "TabSheet3", 259, 290, 0},  {"LowbattComb", "TabSheet3", 113, 325, 0},
      {"LcdorderComb", "TabSheet3", 113, 352, 0},   {"lcdmannulCB", "TabSheet3", 340, 353, 0},
      {"Re1Chk", "TabSheet4", 80, 26, 0},           {"Re2Chk", "TabSheet4", 80, 60, 0},
      {"Re3Chk", "TabSheet4", 80, 94, 0},           {"ORCTChk", "TabSheet4", 80, 128, 0},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* w = find<QWidget>(c.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(str(w->parentWidget()->objectName()), c.parent);
    if (c.x >= 0) {
      EXPECT_EQ(w->x(), c.x);
    }
    if (c.y >= 0) {
      EXPECT_EQ(w->y(), c.y);
    }
    if (c.width > 0) {
      EXPECT_EQ(w->width(), c.width);
    }
  }
  // The grid's columns stand under their captions.
  EXPECT_EQ(form.E512bs1->x(), form.LRe1->x());
  EXPECT_EQ(form.E2400bs3->x(), form.LRe3->x());
}

// Caption beside a control: a label of the same parent on the control's line,
// before it (or after it for units).
struct CaptionCase {
  const char* text;
  const char* control;
  bool after = false;
};

TEST_F(FormTest, CaptionsStandBesideTheirControls) {
  std::vector<CaptionCase> cases = {
      {"PLL select", "PLL_select"},
      {"Baud rate", "Baud_rate"},
      {"Frequency", "Frequency"},
      {"MHz@", "Frequency", true},
      {"MHz@", "Frequency_step"},
      {"Data polarity", "Date_polarity"},
      {"Serial No.", "Serial_no"},
      {"Hello Message", "Hello_msg"},
      {"Model No.", "ModelCB"},
      {"Firmware Ver.", "FirmwareVer"},
      {"512", "E512bs1"},
      {"1200", "E1200bs1"},
      {"2400", "E2400bs1"},
      {"Alert_reset", "Alert_reset"},
      {"Urgent call addr.", "Urgent_call_addr"},
      {"Urgent call tone", "Urgent_call_tone"},
      {"Tone type sel", "Select_tone"},
      {"Alert duration", "Alert_duration"},
      {"Sec", "Alert_duration", true},
      {"Alert type", "Alert_type"},
      {"Vibrate pattern", "Vib_pattern"},
      {"Specail Vib A time", "Special_vib_time"},
      {"Sec", "Special_vib_time", true},
      {"Time format", "Time_format"},
      {"Date format", "Date_format"},
      {"Num. char set", "Char_set"},
      {"Normal CannedMsg command", "CannedMsg_command"},
      {"A", "T_only_msg1"},
      {"B", "T_only_msg2"},
      {"C", "T_only_msg3"},
      {"D", "T_only_msg4"},
      {"Dup Msg time", "Dup_msg_time"},
      {"Repeat message tone ", "Repeat_msg_tone"},
      {"Unread reminder time", "Uread_reminder_time"},
      {"Message order", "Message_order"},
      {"Number of message", "Num_message"},
      {"Hand code password", "Password"},
      {"In/Out Range", "In_out_range"},
      {"Outrange Detect time", "Outrange_time"},
      {"Low Batt Reminder", "LowbattComb"},
      {"Lcd disp Order", "LcdorderComb"},
      {"Manual  Lcd disp order ", "lcdmannulCB"},
  };
  std::vector<std::string> canned;
  for (int i = 0; i < 20; ++i) canned.push_back(std::to_string(i));
  std::vector<std::string> canned_names;
  for (int i = 0; i < 20; ++i) canned_names.push_back("N_canned_msg" + std::to_string(i + 1));
  for (int i = 0; i < 20; ++i) cases.push_back({canned[i].c_str(), canned_names[i].c_str()});

  for (const CaptionCase& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.control);
    auto* control = find<QWidget>(c.control);
    ASSERT_NE(control, nullptr);
    const QRect at = control->geometry();
    bool found = false;
    const auto labels = control->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    for (QLabel* label : labels) {
      const QRect g = label->geometry();
      const bool same_line = g.top() <= at.center().y() && at.center().y() <= g.bottom();
      const bool beside = c.after ? g.left() > at.right() : g.right() < at.left();
      // The nearest label on that side is the caption.
      const int gap = c.after ? g.left() - at.right() : at.left() - g.right();
      if (label->text() == c.text && same_line && beside && gap < 16) found = true;
    }
    EXPECT_TRUE(found);
  }
  EXPECT_EQ(str(form.LRe1->text()), "RE1");
  EXPECT_EQ(str(form.LRe3->text()), "RE3");
  EXPECT_EQ(str(form.L512->text()), "512");
  EXPECT_EQ(str(form.L1200->text()), "1200");
  EXPECT_EQ(str(form.L2400->text()), "2400");
}

// ---------------------------------------------------------------- Tab order

TEST_F(FormTest, TabOrderFollowsTheFormPageByPage) {
  std::vector<std::string> expected;
  for (int i = 1; i <= 4; ++i) {
    const std::string n = std::to_string(i);
    expected.insert(expected.end(), {"sc_addractv" + n, "sc_address" + n, "sc_autoinc" + n});
  }
  for (const char* name :
       {"Daily_Alarm_checkbox", "Date_time_disp_checkbox", "Sleep_timer_checkbox",
        "Pager_off_menu_checkbox", "PLL_select", "Baud_rate", "Frequency", "Frequency_step",
        "Date_polarity", "Serial_no", "CheckBox1", "Hello_msg", "Alert_reset", "Urgent_call_addr",
        "Urgent_call_tone", "Select_tone", "Alert_duration", "Alert_type", "Vib_pattern",
        "Special_vib_time", "Time_format", "Date_format", "Char_set", "E2400bs1", "E2400bs3",
        "E512bs1", "E512bs3", "E1200bs1", "E1200bs3", "ModelCB", "FirmwareVer",
        "CanMsg_checkbox", "CannedMsg_command"}) {
    expected.push_back(name);
  }
  for (int i = 1; i <= 4; ++i) expected.push_back("T_only_msg" + std::to_string(i));
  for (int i = 1; i <= 20; ++i) expected.push_back("N_canned_msg" + std::to_string(i));
  for (const char* name :
       {"Dup_msg_rejection_chekbox", "Dup_msg_time", "Repeat_msg_tone", "Msg_time_stamp_checkbox",
        "Message_status_checkbox", "Unread_disp_checkbox", "Unread_reminder",
        "Uread_reminder_time", "Full_msg", "Error_eduction_checkbox", "Protect_menu_checkbox",
        "Message_order", "Num_message", "Hand_code_pss_checkbox", "Baud_handcode_checkbox",
        "Freq_handcode_checkbox", "Addr_handcode_checkbox", "Password", "OTA_autotime_checkbox",
        "OTA_poweroff_checkbox", "OTA_msgdel_checkbox", "OTA_alertmode_checkbox",
        "Out_range_func_checkbox", "In_out_range", "No_service", "Outrange_time", "LowbattComb",
        "LcdorderComb", "lcdmannulCB", "Re1Chk", "Re2Chk", "Re3Chk", "ORCTChk", "CtRadioButton1",
        "CtRadioButton2", "CtRadioButton3", "CtRadioButton4", "Memo1"}) {
    expected.push_back(name);
  }

  // Walk the whole focus chain once, from the page tabs, keeping every
  // widget Tab can stop on.
  std::vector<std::string> chain;
  QWidget* start = form.PageControl1->tabBar();
  QWidget* w = start->nextInFocusChain();
  for (int guard = 0; w != start && guard < 1000; ++guard, w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() &&
        w != form.PageControl1 && w->parentWidget() != start) {
      chain.push_back(str(w->objectName()));
    }
  }
  EXPECT_EQ(chain, expected);
}

TEST_F(FormTest, TabKeyWalksTheAddressRowsSkippingFrameNumbers) {
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  form.sc_addractv[0]->setFocus();
  std::vector<std::string> walked;
  for (int i = 0; i < 6; ++i) {
    walked.push_back(str(QApplication::focusWidget()->objectName()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"sc_addractv1", "sc_address1", "sc_autoinc1",
                                              "sc_addractv2", "sc_address2", "sc_autoinc2"}));
}

// ---------------------------------------------------------------- entry

struct TypingCase {
  const char* name;
  const char* typed;
  const char* shown;
};

TEST_F(FormTest, UpperCaseFieldsShowCapitalsUpToTheirLimit) {
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const std::vector<TypingCase> cases = {
      {"Hello_msg", "happy birthday to you", "HAPPY BIRTHDAY"},
      {"T_only_msg2", "tone b, mixed Case!", "TONE B, MIXE"},
      {"N_canned_msg1", "abcdefg", "ABCDEF"},
      {"N_canned_msg20", "x1y2", "X1Y2"},
      // A letter whose capital is two letters must not push the text past
      // the limit: it stays as it is.
      {"N_canned_msg5", "\u00df\u00df\u00df\u00df\u00df\u00df\u00df",
       "\u00df\u00df\u00df\u00df\u00df\u00df"},
  };
  for (const TypingCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* edit = find<QLineEdit>(c.name);
    ASSERT_NE(edit, nullptr);
    form.PageControl1->setCurrentWidget(form.TabSheet1->isAncestorOf(edit) ? form.TabSheet1
                                                                           : form.TabSheet2);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromUtf8(c.typed));
    EXPECT_EQ(str(edit->text()), c.shown);
  }
}

TEST_F(FormTest, TextSetOrPastedIntoUpperCaseFieldsIsCapitalised) {
  form.Hello_msg->setText("good morning");
  EXPECT_EQ(str(form.Hello_msg->text()), "GOOD MORNING");
  form.N_canned_msg[2]->clear();
  form.N_canned_msg[2]->insert("meeting");
  EXPECT_EQ(str(form.N_canned_msg[2]->text()), "MEETIN");
  // Other fields keep the case they are given.
  form.Frequency->setText("abc");
  EXPECT_EQ(str(form.Frequency->text()), "abc");
}

// ---------------------------------------------------------------- layout

// Widgets that hold the form's controls side by side.
std::vector<QWidget*> containers(const MainPageForm& f) {
  return {f.client,    f.TabSheet1, f.TabSheet2,       f.TabSheet3,       f.TabSheet4,
          f.Address,   f.CannedMsg, f.GroupBox_T_only, f.GroupBox_Normal, f.GroupBox3,
          f.GroupBox2, f.GroupBox1, f.CtRadio};
}

std::string describe(const QWidget* w) {
  const QString name = w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName();
  QString text;
  if (auto* label = qobject_cast<const QLabel*>(w)) text = " \"" + label->text() + "\"";
  return str(name + text);
}

TEST_F(FormTest, NoTwoNeighboursOverlapAndAllStayInsideTheirFrame) {
  for (int page = 0; page < 4; ++page) {
    form.PageControl1->setCurrentIndex(page);  // lays the page out at its real size
    for (QWidget* parent : containers(form)) {
      if (parent->window() != &window) continue;
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
        const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &opt,
                                                           QStyle::SC_GroupBoxLabel, group);
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
  const QRect page = form.TabSheet1->geometry();
  EXPECT_GE(page.width(), 520);  // the widest group reaches x = 520
  EXPECT_GE(page.height(), 375);
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
    } else if (auto* button = qobject_cast<QAbstractButton*>(w);
               button && (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))) {
      QStyleOptionButton opt;
      opt.initFrom(button);
      opt.text = button->text();
      const bool radio = qobject_cast<QRadioButton*>(w) != nullptr;
      const QRect room = style->subElementRect(
          radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &opt, button);
      EXPECT_LE(fm.horizontalAdvance(button->text()), room.width()) << describe(w);
      EXPECT_LE(fm.height(), button->height()) << describe(w);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox opt;
      opt.initFrom(combo);
      opt.editable = false;
      const QRect field =
          style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
      for (int i = 0; i < combo->count(); ++i) {
        // The label is drawn one pixel in from each side of the field.
        EXPECT_LE(fm.horizontalAdvance(combo->itemText(i)), field.width() - 2)
            << describe(w) << " item " << str(combo->itemText(i));
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

TEST_F(FormTest, FontsAreSetInPixelsSoEveryScreenShowsTheSameLayout) {
  EXPECT_EQ(form.client->font().pixelSize(), 11);
  EXPECT_EQ(form.Hello_msg->font().pixelSize(), 11);
  EXPECT_EQ(form.Memo1->font().pixelSize(), 11);
  EXPECT_EQ(form.File1->font().pixelSize(), 11);
}

// Pictures of the four pages for a person to look at.
TEST_F(FormTest, PagesRenderToPictures) {
  const QDir dir(Q5_SCREENSHOT_DIR);
  for (int page = 0; page < 4; ++page) {
    form.PageControl1->setCurrentIndex(page);
    const QPixmap picture = window.grab();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), window.size());
    const QString file = dir.filePath(QString("page%1.png").arg(page + 1));
    EXPECT_TRUE(picture.save(file)) << str(file);
  }
}

}  // namespace
