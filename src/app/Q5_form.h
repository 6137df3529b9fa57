// The main window's controls as the window is created: their geometry,
// captions, fonts and tab order, with the names, items, defaults and limits
// of the form's catalogue. No behaviour lives here; the handlers are
// TMain_Page's, the rules q5::rules::Form's.
//
// Every widget's objectName() is the member's name; numbered families are
// arrays (index 0 is number 1) whose widgets are named "sc_address1" and so on.
#pragma once

#include <array>

#include "rules/form.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFont;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QRadioButton;
class QTabWidget;
class QWidget;

struct MainPageForm {
  // Window client area at 96 dpi.
  static constexpr int kClientWidth = 561;
  static constexpr int kClientHeight = 439;

  // Builds every control into `window` (menu bar, central widget, pages,
  // message log) in the resource state: nothing of the start-up sequence
  // (hidden RE controls and Test tab, disabled PLL_select, caption) is done.
  // Names, items, defaults and limits come from the form's catalogue; the
  // look and the places are the window's.
  void setup(QMainWindow* window, const q5::rules::Form& catalogue = q5::rules::Form{});

  // The form's font (a sans serif 11 pixels high) and the message log's
  // fixed-pitch font, for other windows that should look alike.
  static QFont form_font();
  static QFont log_font();

  // Menu.
  QMenuBar* MainMenu1 = nullptr;
  QMenu* File1 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Save1 = nullptr;
  QAction* N1 = nullptr;  // separator
  QAction* Exit1 = nullptr;
  QMenu* LPT1 = nullptr;
  QAction* N11 = nullptr;
  QAction* N21 = nullptr;
  QAction* N31 = nullptr;  // the USB cable
  QAction* WritetoPager1 = nullptr;   // a command on the menu bar itself
  QAction* ReadFromPager1 = nullptr;  // likewise
  QMenu* Register1 = nullptr;
  QAction* PagerHistory1 = nullptr;
  QAction* ReleaseAddress1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* Aboutcpp1 = nullptr;

  QWidget* client = nullptr;  // central widget, 561 x 439
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  QWidget* TabSheet4 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;

  // Page 1, group "Address".
  QGroupBox* Address = nullptr;
  std::array<QCheckBox*, 4> sc_addractv{};
  std::array<QLineEdit*, 4> sc_address{};
  std::array<QLineEdit*, 4> sc_framno{};
  std::array<QComboBox*, 4> sc_autoinc{};

  // Page 1, left column.
  QComboBox* PLL_select = nullptr;
  QComboBox* Baud_rate = nullptr;
  QLineEdit* Frequency = nullptr;
  QComboBox* Frequency_step = nullptr;
  QComboBox* Date_polarity = nullptr;
  QLineEdit* Serial_no = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QLineEdit* Hello_msg = nullptr;
  QComboBox* ModelCB = nullptr;
  QComboBox* FirmwareVer = nullptr;

  // Page 1, lower left.
  QCheckBox* Daily_Alarm_checkbox = nullptr;
  QCheckBox* Date_time_disp_checkbox = nullptr;
  QCheckBox* Sleep_timer_checkbox = nullptr;
  QCheckBox* Pager_off_menu_checkbox = nullptr;

  // Page 1, the RE grid and its labels.
  QLineEdit* E512bs1 = nullptr;
  QLineEdit* E512bs3 = nullptr;
  QLineEdit* E1200bs1 = nullptr;
  QLineEdit* E1200bs3 = nullptr;
  QLineEdit* E2400bs1 = nullptr;
  QLineEdit* E2400bs3 = nullptr;
  QLabel* LRe1 = nullptr;
  QLabel* LRe3 = nullptr;
  QLabel* L512 = nullptr;
  QLabel* L1200 = nullptr;
  QLabel* L2400 = nullptr;

  // Page 1, right column.
  QComboBox* Alert_reset = nullptr;
  QComboBox* Urgent_call_addr = nullptr;
  QComboBox* Urgent_call_tone = nullptr;
  QComboBox* Select_tone = nullptr;
  QComboBox* Alert_duration = nullptr;
  QComboBox* Alert_type = nullptr;
  QComboBox* Vib_pattern = nullptr;
  QLineEdit* Special_vib_time = nullptr;
  QComboBox* Time_format = nullptr;
  QComboBox* Date_format = nullptr;
  QComboBox* Char_set = nullptr;

  // Page 2.
  QGroupBox* CannedMsg = nullptr;
  QCheckBox* CanMsg_checkbox = nullptr;
  QComboBox* CannedMsg_command = nullptr;
  QGroupBox* GroupBox_T_only = nullptr;
  std::array<QLineEdit*, 4> T_only_msg{};
  QGroupBox* GroupBox_Normal = nullptr;
  std::array<QLineEdit*, 20> N_canned_msg{};

  // Page 3, "Message Set".
  QGroupBox* GroupBox3 = nullptr;
  QCheckBox* Dup_msg_rejection_chekbox = nullptr;
  QComboBox* Dup_msg_time = nullptr;
  QComboBox* Repeat_msg_tone = nullptr;
  QCheckBox* Msg_time_stamp_checkbox = nullptr;
  QCheckBox* Message_status_checkbox = nullptr;
  QCheckBox* Unread_disp_checkbox = nullptr;
  QCheckBox* Unread_reminder = nullptr;
  QComboBox* Uread_reminder_time = nullptr;
  QCheckBox* Full_msg = nullptr;
  QCheckBox* Error_eduction_checkbox = nullptr;
  QCheckBox* Protect_menu_checkbox = nullptr;
  QComboBox* Message_order = nullptr;
  QLineEdit* Num_message = nullptr;

  // Page 3, "Hand coding".
  QGroupBox* GroupBox2 = nullptr;
  QCheckBox* Hand_code_pss_checkbox = nullptr;
  QCheckBox* Baud_handcode_checkbox = nullptr;
  QCheckBox* Freq_handcode_checkbox = nullptr;
  QCheckBox* Addr_handcode_checkbox = nullptr;
  QLineEdit* Password = nullptr;

  // Page 3, "OTA".
  QGroupBox* GroupBox1 = nullptr;
  QCheckBox* OTA_autotime_checkbox = nullptr;
  QCheckBox* OTA_poweroff_checkbox = nullptr;
  QCheckBox* OTA_msgdel_checkbox = nullptr;
  QCheckBox* OTA_alertmode_checkbox = nullptr;

  // Page 3, below the groups.
  QCheckBox* Out_range_func_checkbox = nullptr;
  QComboBox* In_out_range = nullptr;
  QCheckBox* No_service = nullptr;
  QComboBox* Outrange_time = nullptr;
  QComboBox* LowbattComb = nullptr;
  QComboBox* LcdorderComb = nullptr;
  QComboBox* lcdmannulCB = nullptr;

  // Test page.
  QCheckBox* Re1Chk = nullptr;
  QCheckBox* Re2Chk = nullptr;
  QCheckBox* Re3Chk = nullptr;
  QCheckBox* ORCTChk = nullptr;
  QGroupBox* CtRadio = nullptr;           // the radio group's frame
  QButtonGroup* CtRadioGroup = nullptr;   // ids 0 to 3 = item positions
  std::array<QRadioButton*, 4> CtRadioButton{};  // "CtRadioButton1" to "4"

  // Selected button of CtRadio (0 to 3), and selecting one.
  int ct_radio_index() const;
  void set_ct_radio_index(int index);
};
