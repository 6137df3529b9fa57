// Builds the main window's controls exactly as the window is created: every
// control with its name, kind, items, default, limits and place. Nothing here
// reacts to the user; the window class connects the handlers afterwards.
#include "app/Q5_form.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStringList>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QValidator>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

// Heights of one line of controls, as on the classic toolkit the form was
// laid out for; every top and left comes from that layout too.
constexpr int kEditHeight = 21;
constexpr int kComboHeight = 21;
constexpr int kCheckHeight = 17;
constexpr int kLabelHeight = 21;  // captions are centred on their control's line
constexpr int kTabLength = 90;    // each page tab's length along the side

// Typed, pasted or set text shows in capitals. Characters are mapped one by
// one so the text never gets longer than typed (a whole-string toUpper turns
// "ß" into "SS", which would overrun the maximum length).
class UpperCaseValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    for (QChar& c : input) c = c.toUpper();
    return Acceptable;
  }
};

// Tabs on the left side, each a fixed length along the side so the short
// page captions still give a comfortable target.
class SideTabBar final : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  QSize tabSizeHint(int index) const override {
    QSize size = QTabBar::tabSizeHint(index);
    if (shape() == RoundedWest || shape() == RoundedEast || shape() == TriangularWest ||
        shape() == TriangularEast) {
      size.setHeight(kTabLength);
    } else {
      size.setWidth(kTabLength);
    }
    return size;
  }
};

class PageTabWidget final : public QTabWidget {
 public:
  explicit PageTabWidget(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new SideTabBar(this));
    setTabPosition(West);
  }
};

// Drop-down lists with the narrow arrow zone of the classic toolkit: the form
// gives its lists just enough width for their longest item next to such an
// arrow, and the wider zone of today's styles would cut the text.
class NarrowArrowComboStyle final : public QProxyStyle {
 public:
  explicit NarrowArrowComboStyle(QStyle* base) : QProxyStyle(base) {}

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override {
    QRect rect = QProxyStyle::subControlRect(control, option, sub, widget);
    const auto* box = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || !box || box->editable ||
        (sub != SC_ComboBoxArrow && sub != SC_ComboBoxEditField)) {
      return rect;
    }
    const QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
    const int spare = arrow.width() - kArrowZone;
    if (spare <= 0) return rect;
    // The arrow keeps its outer edge; the text gains what the arrow gives up.
    const bool arrow_on_right = option->direction != Qt::RightToLeft;
    if (sub == SC_ComboBoxArrow) {
      if (arrow_on_right) {
        rect.setLeft(rect.left() + spare);
      } else {
        rect.setRight(rect.right() - spare);
      }
    } else if (arrow_on_right) {
      rect.setRight(rect.right() + spare);
    } else {
      rect.setLeft(rect.left() - spare);
    }
    return rect;
  }

 private:
  static constexpr int kArrowZone = 13;
};

// Gives the form the classic look it was laid out for: group boxes with the
// title on the frame line (the layout puts controls right below the title,
// where a modern style draws the frame), and drop-down lists with the narrow
// arrow zone. The styles belong to the window and outlive its controls.
void apply_classic_look(QMainWindow* window, QWidget* client) {
  if (QStyle* classic = QStyleFactory::create("Windows")) {
    for (QGroupBox* group : client->findChildren<QGroupBox*>()) group->setStyle(classic);
    classic->setParent(window);
  }
  QStyle* base = QStyleFactory::create(QApplication::style()->name());
  if (!base) base = QStyleFactory::create("Fusion");
  auto* lists = new NarrowArrowComboStyle(base);
  for (QComboBox* combo : client->findChildren<QComboBox*>()) combo->setStyle(lists);
  lists->setParent(window);
}

QString latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The controls take their names, items, defaults and limits from the
// form's catalogue; only the look and the place are the window's.
QComboBox* make_combo(QWidget* parent, const q5::rules::List& list, int x, int y, int w) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(latin1(list.name));
  combo->setEditable(false);
  for (const std::string& item : list.items) combo->addItem(latin1(item));
  combo->setCurrentIndex(list.index);
  combo->setEnabled(list.enabled);
  combo->setGeometry(x, y, w, kComboHeight);
  return combo;
}

QCheckBox* make_check(QWidget* parent, const q5::rules::Check& check, const QString& caption, int x, int y,
                      int w) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(latin1(check.name));
  box->setChecked(check.checked);
  box->setGeometry(x, y, w, kCheckHeight);
  return box;
}

void upper_case_entry(QLineEdit* edit);

QLineEdit* make_edit(QWidget* parent, const q5::rules::Edit& field, int x, int y, int w) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(latin1(field.name));
  // No limit keeps Qt's default (no practical limit).
  if (field.max_length > 0) edit->setMaxLength(static_cast<int>(field.max_length));
  if (field.upper_case) upper_case_entry(edit);
  edit->setText(latin1(field.text));
  edit->setGeometry(x, y, w, kEditHeight);
  edit->setCursorPosition(0);
  return edit;
}

QLabel* make_label(QWidget* parent, const QString& text, int x, int y, int w,
                   Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter, int h = kLabelHeight) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(align);
  label->setGeometry(x, y, w, h);
  return label;
}

QGroupBox* make_group(QWidget* parent, const char* name, const QString& title, int x, int y, int w,
                      int h) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(name);
  group->setGeometry(x, y, w, h);
  return group;
}

QWidget* make_page(QTabWidget* pages, const char* name, const QString& caption) {
  auto* page = new QWidget;
  page->setObjectName(name);
  pages->addTab(page, caption);
  return page;
}

void make_bold(QWidget* widget) {
  QFont font = widget->font();
  font.setBold(true);
  widget->setFont(font);
}

void upper_case_entry(QLineEdit* edit) { edit->setValidator(new UpperCaseValidator(edit)); }

// Chains the widgets into the Tab order in the order given.
void tab_chain(std::initializer_list<std::vector<QWidget*>> runs) {
  QWidget* previous = nullptr;
  for (const auto& run : runs) {
    for (QWidget* widget : run) {
      if (previous) QWidget::setTabOrder(previous, widget);
      previous = widget;
    }
  }
}

void build_menu(MainPageForm& f, QMainWindow* window) {
  f.MainMenu1 = new QMenuBar(window);
  f.MainMenu1->setObjectName("MainMenu1");
  window->setMenuBar(f.MainMenu1);

  auto add = [](QMenu* menu, const char* name, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    return action;
  };

  f.File1 = f.MainMenu1->addMenu("&File");
  f.File1->setObjectName("File1");
  f.Open1 = add(f.File1, "Open1", "&Open");
  f.Save1 = add(f.File1, "Save1", "&Save");
  f.Open1->setShortcut(QKeySequence::Open);
  f.Save1->setShortcut(QKeySequence::Save);
  f.N1 = f.File1->addSeparator();
  f.N1->setObjectName("N1");
  f.Exit1 = add(f.File1, "Exit1", "&Exit");

  f.LPT1 = f.MainMenu1->addMenu("&LPT");
  f.LPT1->setObjectName("LPT1");
  f.N11 = add(f.LPT1, "N11", "1");
  f.N11->setCheckable(true);
  f.N11->setChecked(true);
  f.N21 = add(f.LPT1, "N21", "2");
  f.N21->setCheckable(true);
  // For a PC without a parallel port: the same cable on a USB board.
  f.N31 = add(f.LPT1, "N31", "USB (FT232H/FT2232H)");
  f.N31->setCheckable(true);

  f.WritetoPager1 = f.MainMenu1->addAction("&Write_to_Pager");
  f.WritetoPager1->setObjectName("WritetoPager1");
  f.ReadFromPager1 = f.MainMenu1->addAction("&Read_From_Pager");
  f.ReadFromPager1->setObjectName("ReadFromPager1");

  // The pager register: every write and read, and who holds an address.
  f.Register1 = f.MainMenu1->addMenu("Re&gister");
  f.Register1->setObjectName("Register1");
  f.PagerHistory1 = add(f.Register1, "PagerHistory1", "Pager history...");
  f.ReleaseAddress1 = add(f.Register1, "ReleaseAddress1", "Release address...");

  f.Help1 = f.MainMenu1->addMenu("&Help");
  f.Help1->setObjectName("Help1");
  f.Aboutcpp1 = add(f.Help1, "Aboutcpp1", "&About cpp");

  // Popup menus are windows of their own and do not inherit the form's font.
  for (QMenu* menu : {f.File1, f.LPT1, f.Register1, f.Help1}) menu->setFont(MainPageForm::form_font());
}

void build_address_group(MainPageForm& f, const q5::rules::Form& c) {
  f.Address = make_group(f.TabSheet1, "Address", "Address", 27, 4, 484, 81);

  struct Row {
    int check_x, check_y, edit_x, edit_y, frame_x, combo_x, combo_y;
  };
  // Addresses 1 and 2 in the left half, 3 and 4 in the right half; the right
  // half sits one pixel higher, as it always has.
  constexpr Row rows[4] = {
      {8, 23, 43, 20, 106, 136, 21},
      {8, 51, 43, 48, 106, 136, 49},
      {295, 22, 332, 19, 396, 427, 20},
      {295, 50, 332, 47, 396, 427, 48},
  };

  for (int i = 0; i < 4; ++i) {
    const Row& r = rows[i];
    const QString n = QString::number(i + 1);

    f.sc_addractv[i] = make_check(f.Address, c.sc_addractv[i], n, r.check_x, r.check_y, 32);
    f.sc_addractv[i]->setToolTip("Enable/Disable address " + n);

    f.sc_address[i] = make_edit(f.Address, c.sc_address[i], r.edit_x, r.edit_y, 57);
    make_bold(f.sc_address[i]);
    f.sc_address[i]->setToolTip(
        i == 0 ? "Address range:0000008-2007663; 2007672-2045055; 2045064-2097143"
               : "Address range: 0000008-2007663; 2007672-2045055; 2045064-2097143");

    f.sc_framno[i] = make_edit(f.Address, c.sc_framno[i], r.frame_x, r.edit_y, 17);
    make_bold(f.sc_framno[i]);
    f.sc_framno[i]->setReadOnly(true);
    f.sc_framno[i]->setFocusPolicy(Qt::ClickFocus);  // shown, not a Tab stop
    f.sc_framno[i]->setToolTip("Frame No.");

    f.sc_autoinc[i] = make_combo(f.Address, c.sc_autoinc[i], r.combo_x, r.combo_y, 41);
    f.sc_autoinc[i]->setToolTip("Auto increase the address by offset value.");
  }
}

// Page 1's left column: captions at 30, controls at 107, one line every 26.
void build_page1_left(MainPageForm& f, const q5::rules::Form& c) {
  QWidget* p = f.TabSheet1;
  constexpr int kCaption = 30, kControl = 107, kCaptionWidth = 75;
  auto top = [](int line) { return 94 + 26 * line; };

  make_label(p, "PLL select", kCaption, top(0), kCaptionWidth);
  f.PLL_select = make_combo(p, c.PLL_select, kControl, top(0), 80);
  f.PLL_select->setToolTip("W4 will not support SM5170");

  make_label(p, "Baud rate", kCaption, top(1), kCaptionWidth);
  f.Baud_rate =
      make_combo(p, c.Baud_rate, kControl, top(1), 80);

  make_label(p, "Frequency", kCaption, top(2), kCaptionWidth);
  f.Frequency = make_edit(p, c.Frequency, kControl, top(2), 62);
  make_label(p, "MHz@", 170, top(2), 31);
  f.Frequency_step = make_combo(p, c.Frequency_step, 202, top(2), 74);

  make_label(p, "Data polarity", kCaption, top(3), kCaptionWidth);
  f.Date_polarity = make_combo(p, c.Date_polarity, kControl, top(3), 80);

  make_label(p, "Serial No.", kCaption, top(4), kCaptionWidth);
  f.Serial_no = make_edit(p, c.Serial_no, kControl, top(4), 62);
  f.CheckBox1 = make_check(p, c.CheckBox1, "Auto", 171, top(4) + 2, 52);
  f.CheckBox1->setToolTip("Automatic inc by one");

  make_label(p, "Hello Message", kCaption, top(5), kCaptionWidth);
  f.Hello_msg = make_edit(p, c.Hello_msg, kControl, top(5), 110);
  f.Hello_msg->setToolTip("Maximun 14 character.");

  // Greyed out: the model and the firmware come from the pager, not the user.
  make_label(p, "Model No.", kCaption, 250, kCaptionWidth);
  f.ModelCB = make_combo(p, c.ModelCB, 106, 250, 72);
  f.ModelCB->setEnabled(false);
  make_label(p, "Firmware Ver.", 182, 250, 70);
  f.FirmwareVer = make_combo(p, c.FirmwareVer, 256, 250, 50);
  f.FirmwareVer->setEnabled(false);

  f.Daily_Alarm_checkbox = make_check(p, c.Daily_Alarm_checkbox, "Daily Alarm", 32, 284, 120);
  f.Date_time_disp_checkbox =
      make_check(p, c.Date_time_disp_checkbox, "Date/Time display", 32, 308, 120);
  f.Sleep_timer_checkbox =
      make_check(p, c.Sleep_timer_checkbox, "Sleep Timer ", 32, 332, 120);
  f.Pager_off_menu_checkbox =
      make_check(p, c.Pager_off_menu_checkbox, "Pager Off menu", 32, 357, 120);
}

// The receive-enable timing grid: a column per RE line, a row per baud rate.
void build_re_grid(MainPageForm& f, const q5::rules::Form& c) {
  QWidget* p = f.TabSheet1;
  constexpr int kRe1 = 200, kRe3 = 240, kWidth = 25;
  constexpr int kRow512 = 288, kRow1200 = 316, kRow2400 = 345;
  const auto centre = Qt::AlignHCenter | Qt::AlignBottom;
  const auto right = Qt::AlignRight | Qt::AlignVCenter;

  // The column captions sit in the 12 pixels above the first row.
  f.LRe1 = make_label(p, "RE1", kRe1, 276, kWidth, centre, 12);
  f.LRe1->setObjectName("LRe1");
  f.LRe3 = make_label(p, "RE3", kRe3, 276, kWidth, centre, 12);
  f.LRe3->setObjectName("LRe3");
  f.L512 = make_label(p, "512", 164, kRow512, 32, right);
  f.L512->setObjectName("L512");
  f.L1200 = make_label(p, "1200", 164, kRow1200, 32, right);
  f.L1200->setObjectName("L1200");
  f.L2400 = make_label(p, "2400", 164, kRow2400, 32, right);
  f.L2400->setObjectName("L2400");

  f.E512bs1 = make_edit(p, c.E512bs1, kRe1, kRow512, kWidth);
  f.E512bs3 = make_edit(p, c.E512bs3, kRe3, kRow512, kWidth);
  f.E1200bs1 = make_edit(p, c.E1200bs1, kRe1, kRow1200, kWidth);
  f.E1200bs3 = make_edit(p, c.E1200bs3, kRe3, kRow1200, kWidth);
  f.E2400bs1 = make_edit(p, c.E2400bs1, kRe1, kRow2400, kWidth);
  f.E2400bs3 = make_edit(p, c.E2400bs3, kRe3, kRow2400, kWidth);
}

// Page 1's right column: captions at 319, controls at 415, one line every 26.
void build_page1_right(MainPageForm& f, const q5::rules::Form& c) {
  QWidget* p = f.TabSheet1;
  constexpr int kCaption = 319, kControl = 415, kCaptionWidth = 94, kWidth = 96;
  auto top = [](int line) { return 94 + 26 * line; };

  make_label(p, "Alert_reset", kCaption, top(0), kCaptionWidth);
  f.Alert_reset = make_combo(p, c.Alert_reset, kControl, top(0), kWidth);

  make_label(p, "Urgent call addr.", kCaption, top(1), kCaptionWidth);
  f.Urgent_call_addr = make_combo(p, c.Urgent_call_addr, kControl, top(1), kWidth);

  make_label(p, "Urgent call tone", kCaption, top(2), kCaptionWidth);
  f.Urgent_call_tone =
      make_combo(p, c.Urgent_call_tone, kControl, top(2), kWidth);

  make_label(p, "Tone type sel", kCaption, top(3), kCaptionWidth);
  f.Select_tone =
      make_combo(p, c.Select_tone, kControl, top(3), kWidth);

  make_label(p, "Alert duration", kCaption, top(4), kCaptionWidth);
  f.Alert_duration = make_combo(p, c.Alert_duration, kControl, top(4), 50);
  make_label(p, "Sec", kControl + 54, top(4), 30);

  make_label(p, "Alert type", kCaption, top(5), kCaptionWidth);
  f.Alert_type = make_combo(p, c.Alert_type, kControl, top(5), kWidth);
  f.Alert_type->setToolTip("T:Tone V:vibrate M:mute");

  make_label(p, "Vibrate pattern", kCaption, top(6), kCaptionWidth);
  f.Vib_pattern =
      make_combo(p, c.Vib_pattern, kControl, top(6), kWidth);

  make_label(p, "Specail Vib A time", kCaption, top(7), kCaptionWidth);
  f.Special_vib_time = make_edit(p, c.Special_vib_time, kControl, top(7), 26);
  make_label(p, "Sec", kControl + 30, top(7), 30);

  make_label(p, "Time format", kCaption, top(8), kCaptionWidth);
  f.Time_format = make_combo(p, c.Time_format, kControl, top(8), kWidth);

  make_label(p, "Date format", kCaption, top(9), kCaptionWidth);
  f.Date_format = make_combo(p, c.Date_format, kControl, top(9), kWidth);

  make_label(p, "Num. char set", kCaption, top(10), kCaptionWidth);
  f.Char_set =
      make_combo(p, c.Char_set, kControl, top(10), kWidth);
}

void build_page2(MainPageForm& f, const q5::rules::Form& c) {
  f.CannedMsg = make_group(f.TabSheet2, "CannedMsg", "Canned Message", 19, 7, 501, 291);
  QWidget* g = f.CannedMsg;

  f.CanMsg_checkbox = make_check(g, c.CanMsg_checkbox, "Canned message", 17, 27, 130);
  make_label(g, "Normal CannedMsg command", 17, 50, 150);
  f.CannedMsg_command = make_combo(g, c.CannedMsg_command, 168, 50, 56);

  f.GroupBox_T_only =
      make_group(g, "GroupBox_T_only", "Tone Only Canned Message", 16, 96, 177, 185);
  // The hints are kept word for word, the third one's lower-case "t," included.
  const char* const t_hints[4] = {
      "Maximun 12 character. M, T W, X will be counted as double character.",
      "Maximun 12 character. M, T W, X will be counted as double character.",
      "Maximun 12 character. M, t, W, X will be counted as double character.",
      "Maximun 12 character. M, T, W, X will be counted as double character.",
  };
  for (int i = 0; i < 4; ++i) {
    const int top = 26 + 40 * i;
    make_label(f.GroupBox_T_only, QString(QChar('A' + i)), 16, top, 20);
    f.T_only_msg[i] = make_edit(f.GroupBox_T_only, c.T_only_msg[static_cast<std::size_t>(i)], 40, top, 111);
    f.T_only_msg[i]->setToolTip(t_hints[i]);
  }

  f.GroupBox_Normal = make_group(g, "GroupBox_Normal", "Normal Canned Message", 248, 16, 241, 265);
  for (int i = 0; i < 20; ++i) {
    const bool right_column = i >= 10;
    const int left = right_column ? 160 : 48;
    const int top = 19 + 24 * (i % 10);
    // Each message is captioned with the number the pager shows it under.
    make_label(f.GroupBox_Normal, QString::number(i), left - 28, top, 24,
               Qt::AlignRight | Qt::AlignVCenter);
    f.N_canned_msg[i] = make_edit(f.GroupBox_Normal, c.N_canned_msg[static_cast<std::size_t>(i)], left, top, 57);
    f.N_canned_msg[i]->setToolTip(
        "Maximun 6 character. M, T, W, X will be counted as double character.");
  }
}

void build_page3(MainPageForm& f, const q5::rules::Form& c) {
  QWidget* p = f.TabSheet3;

  f.GroupBox3 = make_group(p, "GroupBox3", "Message Set", 16, 8, 317, 241);
  QWidget* m = f.GroupBox3;
  f.Dup_msg_rejection_chekbox =
      make_check(m, c.Dup_msg_rejection_chekbox, "Dup Msg rejection", 8, 16, 112);
  make_label(m, "Dup Msg time", 160, 14, 72);
  f.Dup_msg_time = make_combo(m, c.Dup_msg_time, 236, 14,
                              78);
  make_label(m, "Repeat message tone ", 8, 36, 111);
  f.Repeat_msg_tone = make_combo(m, c.Repeat_msg_tone, 120, 36, 70);
  f.Msg_time_stamp_checkbox =
      make_check(m, c.Msg_time_stamp_checkbox, "Message time stamp", 8, 62, 140);
  f.Message_status_checkbox =
      make_check(m, c.Message_status_checkbox, "Message status", 8, 82, 140);
  f.Unread_disp_checkbox =
      make_check(m, c.Unread_disp_checkbox, "Unread display", 8, 102, 140);
  f.Unread_reminder = make_check(m, c.Unread_reminder, "Unread reminder", 8, 124, 108);
  make_label(m, "Unread reminder time", 122, 122, 112);
  f.Uread_reminder_time =
      make_combo(m, c.Uread_reminder_time, 236, 122, 78);
  f.Full_msg = make_check(m, c.Full_msg, "Full message icon ", 8, 144, 140);
  f.Error_eduction_checkbox =
      make_check(m, c.Error_eduction_checkbox, "Error correction", 8, 164, 140);
  f.Protect_menu_checkbox =
      make_check(m, c.Protect_menu_checkbox, "Protect  menu", 8, 184, 140);
  make_label(m, "Message order", 8, 203, 76);
  f.Message_order = make_combo(m, c.Message_order, 87, 203, 86);
  make_label(m, "Number of message", 178, 203, 102);
  f.Num_message = make_edit(m, c.Num_message, 282, 204, 26);

  f.GroupBox2 = make_group(p, "GroupBox2", "Hand coding", 349, 8, 169, 137);
  QWidget* h = f.GroupBox2;
  f.Hand_code_pss_checkbox =
      make_check(h, c.Hand_code_pss_checkbox, "Hand coding password", 8, 20, 155);
  f.Baud_handcode_checkbox =
      make_check(h, c.Baud_handcode_checkbox, "Baud rate hand coding", 8, 40, 155);
  f.Freq_handcode_checkbox =
      make_check(h, c.Freq_handcode_checkbox, "Freq hand coding", 8, 60, 155);
  f.Addr_handcode_checkbox =
      make_check(h, c.Addr_handcode_checkbox, "Address hand coding", 8, 80, 155);
  make_label(h, "Hand code password", 8, 103, 106);
  f.Password = make_edit(h, c.Password, 118, 103, 41);

  f.GroupBox1 = make_group(p, "GroupBox1", "OTA", 350, 153, 169, 97);
  QWidget* o = f.GroupBox1;
  f.OTA_autotime_checkbox =
      make_check(o, c.OTA_autotime_checkbox, "OTA Auto Time", 8, 20, 150);
  f.OTA_poweroff_checkbox =
      make_check(o, c.OTA_poweroff_checkbox, "OTA Power OFF", 8, 38, 150);
  f.OTA_msgdel_checkbox = make_check(o, c.OTA_msgdel_checkbox, "OTA Msg Del", 8, 56, 150);
  f.OTA_alertmode_checkbox =
      make_check(o, c.OTA_alertmode_checkbox, "OTA Alert Mode", 8, 74, 150);

  f.Out_range_func_checkbox =
      make_check(p, c.Out_range_func_checkbox, "Out of range function", 16, 268, 150);
  make_label(p, "In/Out Range", 185, 266, 70);
  f.In_out_range = make_combo(p, c.In_out_range, 259, 266, 60);

  f.No_service = make_check(p, c.No_service, "\"No service\"display", 16, 292, 125);
  make_label(p, "Outrange Detect time", 145, 290, 110);
  f.Outrange_time = make_combo(p, c.Outrange_time, 259, 290, 60);

  make_label(p, "Low Batt Reminder", 16, 325, 95);
  f.LowbattComb = make_combo(p, c.LowbattComb, 113, 325, 72);
  make_label(p, "Lcd disp Order", 16, 352, 95);
  f.LcdorderComb = make_combo(p, c.LcdorderComb, 113, 352, 72);
  make_label(p, "Manual  Lcd disp order ", 220, 353, 118);
  f.lcdmannulCB = make_combo(p, c.lcdmannulCB, 340, 353, 80);
}

void build_test_page(MainPageForm& f, const q5::rules::Form& c) {
  QWidget* p = f.TabSheet4;
  f.Re1Chk = make_check(p, c.Re1Chk, "RE1 active", 80, 26, 120);
  f.Re2Chk = make_check(p, c.Re2Chk, "RE2 active", 80, 60, 120);
  f.Re3Chk = make_check(p, c.Re3Chk, "RE3 active", 80, 94, 120);
  f.ORCTChk = make_check(p, c.ORCTChk, "ORCTL-DS", 80, 128, 120);

  f.CtRadio = make_group(p, "CtRadio", "Call termination criteria", 72, 192, 201, 137);
  f.CtRadioGroup = new QButtonGroup(f.CtRadio);
  f.CtRadioGroup->setObjectName("CtRadioGroup");
  for (int i = 0; i < 4; ++i) {
    auto* button = new QRadioButton(latin1(c.CtRadio.items[static_cast<std::size_t>(i)]), f.CtRadio);
    button->setObjectName(QString("CtRadioButton%1").arg(i + 1));
    button->setGeometry(10, 24 + 26 * i, 184, kCheckHeight);
    f.CtRadioGroup->addButton(button, i);
    f.CtRadioButton[i] = button;
  }
  f.set_ct_radio_index(c.CtRadio.index);
}

void build_tab_order(MainPageForm& f) {
  std::vector<QWidget*> address;
  for (int i = 0; i < 4; ++i) {
    // The frame number between address and offset takes no Tab stop.
    address.insert(address.end(), {f.sc_addractv[i], f.sc_address[i], f.sc_autoinc[i]});
  }
  const std::vector<QWidget*> page1 = {
      f.Daily_Alarm_checkbox, f.Date_time_disp_checkbox, f.Sleep_timer_checkbox,
      f.Pager_off_menu_checkbox, f.PLL_select, f.Baud_rate, f.Frequency, f.Frequency_step,
      f.Date_polarity, f.Serial_no, f.CheckBox1, f.Hello_msg, f.Alert_reset, f.Urgent_call_addr,
      f.Urgent_call_tone, f.Select_tone, f.Alert_duration, f.Alert_type, f.Vib_pattern,
      f.Special_vib_time, f.Time_format, f.Date_format, f.Char_set, f.E2400bs1, f.E2400bs3,
      f.E512bs1, f.E512bs3, f.E1200bs1, f.E1200bs3, f.ModelCB, f.FirmwareVer};
  std::vector<QWidget*> page2 = {f.CanMsg_checkbox, f.CannedMsg_command};
  page2.insert(page2.end(), f.T_only_msg.begin(), f.T_only_msg.end());
  page2.insert(page2.end(), f.N_canned_msg.begin(), f.N_canned_msg.end());
  const std::vector<QWidget*> page3 = {
      f.Dup_msg_rejection_chekbox, f.Dup_msg_time, f.Repeat_msg_tone, f.Msg_time_stamp_checkbox,
      f.Message_status_checkbox, f.Unread_disp_checkbox, f.Unread_reminder,
      f.Uread_reminder_time, f.Full_msg, f.Error_eduction_checkbox, f.Protect_menu_checkbox,
      f.Message_order, f.Num_message, f.Hand_code_pss_checkbox, f.Baud_handcode_checkbox,
      f.Freq_handcode_checkbox, f.Addr_handcode_checkbox, f.Password, f.OTA_autotime_checkbox,
      f.OTA_poweroff_checkbox, f.OTA_msgdel_checkbox, f.OTA_alertmode_checkbox,
      f.Out_range_func_checkbox, f.In_out_range, f.No_service, f.Outrange_time, f.LowbattComb,
      f.LcdorderComb, f.lcdmannulCB};
  std::vector<QWidget*> page4 = {f.Re1Chk, f.Re2Chk, f.Re3Chk, f.ORCTChk};
  page4.insert(page4.end(), f.CtRadioButton.begin(), f.CtRadioButton.end());

  // Only the current page's controls are visible, so Tab stays on the page
  // shown; the message log comes after the pages.
  tab_chain({{f.PageControl1}, address, page1, page2, page3, page4, {f.Memo1}});
}

}  // namespace

QFont MainPageForm::form_font() {
  // The form was laid out for an 8 point sans serif 11 pixels high. DejaVu
  // Sans Condensed at that pixel size fits every caption into the space the
  // layout gives it; a pixel size keeps the look independent of the dpi.
  QFont font("DejaVu Sans Condensed");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  return font;
}

QFont MainPageForm::log_font() {
  QFont font("DejaVu Sans Mono");
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(11);
  return font;
}

void MainPageForm::setup(QMainWindow* window, const q5::rules::Form& catalogue) {
  window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  window->setWindowTitle("Q5 Pager Programmer");
  window->setFont(form_font());

  build_menu(*this, window);

  client = new QWidget(window);
  client->setObjectName("client");
  client->setFixedSize(kClientWidth, kClientHeight);
  window->setCentralWidget(client);

  PageControl1 = new PageTabWidget(client);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setGeometry(0, 0, kClientWidth, 393);
  TabSheet1 = make_page(PageControl1, "TabSheet1", "Page 1");
  TabSheet2 = make_page(PageControl1, "TabSheet2", "Page 2");
  TabSheet3 = make_page(PageControl1, "TabSheet3", "Page 3");
  TabSheet4 = make_page(PageControl1, "TabSheet4", "Test");

  Memo1 = new QPlainTextEdit(client);
  Memo1->setObjectName("Memo1");
  Memo1->setGeometry(23, 394, 522, 41);
  Memo1->setReadOnly(true);
  Memo1->setFont(log_font());
  QPalette log_palette = Memo1->palette();
  log_palette.setColor(QPalette::Text, Qt::red);
  Memo1->setPalette(log_palette);

  build_address_group(*this, catalogue);
  build_page1_left(*this, catalogue);
  build_re_grid(*this, catalogue);
  build_page1_right(*this, catalogue);
  build_page2(*this, catalogue);
  build_page3(*this, catalogue);
  build_test_page(*this, catalogue);
  build_tab_order(*this);
  apply_classic_look(window, client);

  PageControl1->setCurrentIndex(0);
  // Not resizable: the window is exactly the client area plus the menu bar.
  const int menu_height =
      std::max(MainMenu1->heightForWidth(kClientWidth), MainMenu1->sizeHint().height());
  window->setFixedSize(kClientWidth, kClientHeight + menu_height);
}

int MainPageForm::ct_radio_index() const { return CtRadioGroup->checkedId(); }

void MainPageForm::set_ct_radio_index(int index) {
  if (QAbstractButton* button = CtRadioGroup->button(index)) {
    button->setChecked(true);
    return;
  }
  // No such button: clear the selection. An exclusive group refuses to
  // uncheck its checked button, so lift the rule for a moment.
  CtRadioGroup->setExclusive(false);
  for (QAbstractButton* button : CtRadioGroup->buttons()) button->setChecked(false);
  CtRadioGroup->setExclusive(true);
}
