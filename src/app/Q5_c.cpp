// The main window's frame: start-up, menus, the message log, and the
// plumbing that binds the handlers to the controls' events.
#include "app/Q5_c.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>

#include "app/field_events.h"
#include "app/platform.h"
#include "app/prompts.h"
#include "image/number_text.h"

TMain_Page* Main_Page = nullptr;

namespace {

constexpr int kDriverVersion = 5;  // from this version on, port access goes through the driver

constexpr const char* kPortInitSuccess = "Port init success.";
constexpr const char* kDriverMissing = "Driver missing or disable, can't access the paraller port.";
constexpr const char* kSimulatedPager = "Simulated pager: no parallel port is used.";

}  // namespace

TMain_Page::TMain_Page(Platform& platform, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      platform_(platform),
      prompts_(prompts),
      link_(platform.ports(), platform.clock(), [this] { return port_base_; }) {
  setObjectName("Main_Page");
  ui.setup(this);
  events_ = new FieldEvents(this);
  events_->set_exit_suppressed([this] { return refocus_pending(); });
  link_.set_progress([this] { progress_advance(); });
  repaint_timer_.start();
  connect_handlers();
  startup();
}

TMain_Page::~TMain_Page() = default;

void TMain_Page::startup() {
  port_base_ = q5::link::kLpt1Base;

  const bool needs_driver = platform_.os_version() >= kDriverVersion;
  const bool granted = needs_driver ? platform_.driver_init() : true;
  if (platform_.simulated()) {
    append_log(kSimulatedPager);
  } else if (granted) {
    append_log(kPortInitSuccess);
  } else {
    beep();
    append_log(kDriverMissing);
    ui.WritetoPager1->setEnabled(false);
    ui.ReadFromPager1->setEnabled(false);
  }
  Aboutcpp1Click();
  if (granted) platform_.timer_init();

  image_.fill(0);
  Vib_patternChange();
  ui.Password->setEnabled(true);
  for (QWidget* hidden : std::initializer_list<QWidget*>{
           ui.E512bs1, ui.E512bs3, ui.E1200bs1, ui.E1200bs3, ui.E2400bs1, ui.E2400bs3, ui.LRe1,
           ui.LRe3, ui.L512, ui.L1200, ui.L2400}) {
    hidden->setVisible(false);
  }
  ui.PageControl1->setTabVisible(ui.PageControl1->indexOf(ui.TabSheet4), false);
  Dup_msg_rejection_chekboxClick();
  if (ui.Urgent_call_addr->currentIndex() == 0) ui.Urgent_call_tone->setEnabled(false);
  ui.PLL_select->setEnabled(false);

  QString caption = model_flag_ == 0 ? "Q5 Pager Programmer Customer Version 1.22"
                                     : "Q5V Pager Programmer Customer Version 1.22";
  if (platform_.simulated()) caption += " (simulated pager)";
  setWindowTitle(caption);
}

void TMain_Page::Aboutcpp1Click() {
  append_log(model_flag_ == 0 ? "Q5 Pager programmer,Windows version 1.22"
                              : "Q5V Pager programmer,Windows version 1.22");
}

void TMain_Page::Exit1Click() {
  if (platform_.os_version() >= kDriverVersion) platform_.driver_shutdown();
  close();
}

void TMain_Page::N11Click() {
  port_base_ = q5::link::kLpt1Base;
  ui.N11->setChecked(true);
  ui.N21->setChecked(false);
}

void TMain_Page::N21Click() {
  port_base_ = q5::link::kLpt2Base;
  ui.N21->setChecked(true);
  ui.N11->setChecked(false);
}

void TMain_Page::append_log(const QString& line) { ui.Memo1->appendPlainText(line); }

void TMain_Page::beep() { prompts_.beep(); }

void TMain_Page::guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const q5::ConversionError& error) {
    report_error(QString::fromUtf8(error.what()));
  }
}

// While an image is being shown, a bad value can upset several handlers in
// turn; the technician hears about it once and still gets the whole image.
void TMain_Page::report_error(const QString& text) {
  if (decoding_) {
    if (decode_error_shown_) return;
    decode_error_shown_ = true;
  }
  prompts_.error(text);
}

void TMain_Page::give_focus_back(QLineEdit* edit) {
  ++pending_refocus_;
  QTimer::singleShot(0, this, [this, edit] {
    edit->setFocus(Qt::OtherFocusReason);
    --pending_refocus_;
  });
}

void TMain_Page::replace_text(QLineEdit* edit, const QString& text) {
  edit->setText(QString());
  edit->setText(text);
}

void TMain_Page::set_number(QLineEdit* edit, int value) {
  const QString text = QString::number(value);
  const int max_length = edit->maxLength();
  if (text.size() > max_length) edit->setMaxLength(32767);
  edit->setText(text);
  // The change rule has replaced an oversized value by now; only a text it
  // could not handle is clipped back to the field's width here.
  if (edit->maxLength() != max_length) edit->setMaxLength(max_length);
}

void TMain_Page::connect_handlers() {
  auto on_action = [this](QAction* action, void (TMain_Page::*handler)()) {
    connect(action, &QAction::triggered, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
  };
  on_action(ui.Open1, &TMain_Page::Open1Click);
  on_action(ui.Save1, &TMain_Page::Save1Click);
  on_action(ui.Exit1, &TMain_Page::Exit1Click);
  on_action(ui.N11, &TMain_Page::N11Click);
  on_action(ui.N21, &TMain_Page::N21Click);
  on_action(ui.WritetoPager1, &TMain_Page::WritetoPager1Click);
  on_action(ui.ReadFromPager1, &TMain_Page::ReadFromPager1Click);
  on_action(ui.Aboutcpp1, &TMain_Page::Aboutcpp1Click);

  // A check box's click event runs whenever its state changes, by the user
  // or by code.
  auto on_click = [this](QCheckBox* box, std::function<void()> handler) {
    connect(box, &QCheckBox::toggled, this, [this, handler] { guarded(handler); });
  };
  // A list's change event runs only on a user's choice.
  auto on_choice = [this](QComboBox* combo, std::function<void()> handler) {
    connect(combo, &QComboBox::activated, this, [this, handler] { guarded(handler); });
  };
  // An edit's change event runs whenever its text changes.
  auto on_change = [this](QLineEdit* edit, std::function<void()> handler) {
    connect(edit, &QLineEdit::textChanged, this, [this, handler] { guarded(handler); });
  };
  auto on_exit = [this](QWidget* widget, std::function<void()> handler) {
    events_->on_exit(widget, [this, handler] { guarded(handler); });
  };
  auto on_key = [this](QWidget* widget, bool (TMain_Page::*filter)(QKeyEvent*)) {
    events_->on_key_press(widget, [this, filter](QKeyEvent* key) { return (this->*filter)(key); });
  };

  for (int row = 0; row < 4; ++row) {
    on_click(ui.sc_addractv[row], [this, row] { sc_addractvClick(row); });
    on_change(ui.sc_address[row], [this, row] { sc_addressChange(row); });
    on_exit(ui.sc_address[row], [this, row] { sc_addressExit(row); });
    on_choice(ui.sc_autoinc[row], [this, row] { sc_autoincChange(row); });
    on_key(ui.sc_address[row], &TMain_Page::sc_address1KeyPress);
    on_key(ui.sc_framno[row], &TMain_Page::Num_messageKeyPress);
  }
  for (QLineEdit* re : {ui.E512bs1, ui.E512bs3, ui.E1200bs1, ui.E1200bs3, ui.E2400bs1, ui.E2400bs3}) {
    on_key(re, &TMain_Page::sc_address1KeyPress);
  }

  on_exit(ui.Frequency, [this] { FrequencyExit(); });
  on_key(ui.Frequency, &TMain_Page::FrequencyKeyPress);
  on_choice(ui.Frequency_step, [this] { Frequency_stepChange(); });
  on_choice(ui.FirmwareVer, [this] { FirmwareVerChange(); });
  on_choice(ui.ModelCB, [this] { ModelCBChange(); });

  on_exit(ui.Serial_no, [this] { Serial_noExit(); });
  on_key(ui.Serial_no, &TMain_Page::Num_messageKeyPress);
  on_click(ui.Date_time_disp_checkbox, [this] { Date_time_disp_checkboxClick(); });
  on_click(ui.Re2Chk, [this] { Date_time_disp_checkboxClick(); });

  on_choice(ui.Urgent_call_addr, [this] { Urgent_call_addrChange(); });
  on_choice(ui.Alert_type, [this] { Alert_typeChange(); });
  on_choice(ui.Vib_pattern, [this] { Vib_patternChange(); });
  on_change(ui.Special_vib_time, [this] { Special_vib_timeChange(); });
  on_exit(ui.Special_vib_time, [this] { PasswordExit(); });
  on_key(ui.Special_vib_time, &TMain_Page::Num_messageKeyPress);

  on_click(ui.CanMsg_checkbox, [this] { CanMsg_checkboxClick(); });
  on_click(ui.Full_msg, [this] { CanMsg_checkboxClick(); });

  on_click(ui.Dup_msg_rejection_chekbox, [this] { Dup_msg_rejection_chekboxClick(); });
  on_click(ui.Unread_reminder, [this] { Unread_reminderClick(); });
  on_change(ui.Num_message, [this] { MaxCannedmsgChange(); });
  on_exit(ui.Num_message, [this] { Num_messageChange(); });
  on_key(ui.Num_message, &TMain_Page::Num_messageKeyPress);

  on_click(ui.Hand_code_pss_checkbox, [this] { Hand_code_pss_checkboxClick(); });
  on_exit(ui.Password, [this] { PasswordExit(); });
  on_key(ui.Password, &TMain_Page::Num_messageKeyPress);

  on_click(ui.Out_range_func_checkbox, [this] { Out_range_func_checkboxClick(); });
  on_choice(ui.lcdmannulCB, [this] { lcdmannulCBChange(); });

  // Every list but the firmware version is changed with the mouse only.
  for (QComboBox* combo : ui.client->findChildren<QComboBox*>()) {
    if (combo != ui.FirmwareVer) events_->make_mouse_only(combo);
  }
}
