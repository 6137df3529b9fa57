// Field rules: address rows, option interlocks, numeric limits, padding and
// key filters. The rules themselves live in q5::rules; these handlers only
// read and set the controls.
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/Q5_c.h"
#include "app/field_events.h"
#include "image/number_text.h"
#include "rules/address_rules.h"
#include "rules/field_rules.h"

namespace {

int to_int(const QLineEdit* edit) { return q5::strict_to_int(edit->text().toStdString()); }

bool is_digit(QChar c) { return c >= QChar('0') && c <= QChar('9'); }

// Copying and selecting all change nothing, so the digit filters let them by.
bool is_harmless_shortcut(const QKeyEvent* key) {
  return key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll);
}

}  // namespace

// --- Address rows -----------------------------------------------------------

bool TMain_Page::sc_address1KeyPress(QKeyEvent* key) {
  const QChar c = FieldEvents::typed_character(key);
  if (is_digit(c) || c == QChar('\b') || is_harmless_shortcut(key)) return false;
  beep();
  return true;
}

std::int64_t TMain_Page::address_value(int row) const { return to_int(ui.sc_address[row]); }

void TMain_Page::sc_addressChange(int row) {
  QLineEdit* edit = ui.sc_address[row];
  if (edit->text().size() < 7) return;
  const std::int64_t address = address_value(row);
  if (q5::rules::address_in_range(address)) {
    ui.sc_framno[row]->setText(QString(QChar(q5::rules::frame_digit(address))));
    return;
  }
  if (edit->text().size() == 7) {
    beep();
    append_log(QString::fromStdString(q5::rules::address_range_warning(row + 1)));
    give_focus_back(edit);
  }
}

void TMain_Page::sc_addressExit(int row) {
  QLineEdit* edit = ui.sc_address[row];
  // One zero at a time: the change rule runs at each step, and its range
  // check once the seventh character is in place.
  while (edit->text().size() < 7) edit->setText("0" + edit->text());
  // Only a field that itself repeats another address is held: holding the
  // field being left for some other equal pair would lock the technician
  // out of the very fields that need mending.
  if (address_equals_another(row)) give_focus_back(edit);
}

bool TMain_Page::check_address_diff() {
  std::array<std::int64_t, 4> addresses{};
  for (int row = 0; row < 4; ++row) addresses[row] = address_value(row);
  return q5::rules::any_two_equal(addresses);
}

bool TMain_Page::address_equals_another(int row) {
  std::array<std::int64_t, 4> addresses{};
  for (int r = 0; r < 4; ++r) addresses[r] = address_value(r);
  return q5::rules::equals_another(addresses, row);
}

void TMain_Page::sc_addractvClick(int row) {
  const bool enabled = ui.sc_addractv[row]->isChecked();
  ui.sc_address[row]->setEnabled(enabled);
  ui.sc_framno[row]->setEnabled(enabled);
  ui.sc_autoinc[row]->setEnabled(enabled);
}

void TMain_Page::advance_addresses() {
  auto advance = [this](int row) {
    const std::int64_t next = address_value(row) + ui.sc_autoinc[row]->currentText().toInt();
    ui.sc_address[row]->setText(QString::number(next));
  };
  advance(1);
  advance(0);
  sc_addressChange(0);
  sc_addressChange(1);
  advance(3);
  advance(2);
  sc_addressChange(2);
  sc_addressChange(3);
  for (int row = 0; row < 4; ++row) sc_addressExit(row);
}

// --- Interlocks -------------------------------------------------------------

void TMain_Page::CanMsg_checkboxClick() {
  const bool enabled = ui.CanMsg_checkbox->isChecked();
  for (QLineEdit* message : ui.N_canned_msg) message->setEnabled(enabled);
  ui.CannedMsg_command->setEnabled(enabled);
  for (QLineEdit* message : ui.T_only_msg) message->setEnabled(enabled);
}

void TMain_Page::Date_time_disp_checkboxClick() {
  const bool enabled = ui.Date_time_disp_checkbox->isChecked();
  ui.Msg_time_stamp_checkbox->setEnabled(enabled);
  ui.Daily_Alarm_checkbox->setEnabled(enabled);
  ui.Sleep_timer_checkbox->setEnabled(enabled);
}

void TMain_Page::Vib_patternChange() {
  ui.Special_vib_time->setEnabled(ui.Vib_pattern->currentText() == "Special");
}

void TMain_Page::Alert_typeChange() {
  if (q5::rules::alert_type_without_vibration(ui.Alert_type->currentIndex())) {
    ui.Vib_pattern->setEnabled(false);
    ui.Special_vib_time->setEnabled(false);
  } else {
    ui.Vib_pattern->setEnabled(true);
    Vib_patternChange();
  }
}

void TMain_Page::Unread_reminderClick() {
  ui.Uread_reminder_time->setEnabled(ui.Unread_reminder->isChecked());
}

void TMain_Page::Dup_msg_rejection_chekboxClick() {
  ui.Dup_msg_time->setEnabled(ui.Dup_msg_rejection_chekbox->isChecked());
}

void TMain_Page::Out_range_func_checkboxClick() {
  ui.In_out_range->setEnabled(ui.Out_range_func_checkbox->isChecked());
}

void TMain_Page::Hand_code_pss_checkboxClick() {
  ui.Password->setEnabled(ui.Hand_code_pss_checkbox->isChecked());
}

void TMain_Page::Urgent_call_addrChange() {
  ui.Urgent_call_tone->setEnabled(ui.Urgent_call_addr->currentIndex() != 0);
}

void TMain_Page::lcdmannulCBChange() {
  if (ui.lcdmannulCB->currentIndex() == 0) {
    ui.LcdorderComb->setCurrentIndex(0);
    ui.LcdorderComb->setEnabled(false);
  } else {
    ui.LcdorderComb->setEnabled(true);
  }
}

void TMain_Page::ModelCBChange() { model_flag_ = model_flag_ == 0 ? 1 : 0; }

// --- Numeric fields ---------------------------------------------------------

namespace {

// Applies a range correction: beep, the warning line, the replacement text
// (whose own change event then finds it in range).
template <typename Beep, typename Log>
void apply(const std::optional<q5::rules::Correction>& correction, QLineEdit* edit, Beep beep, Log log) {
  if (!correction) return;
  beep();
  log(QString::fromStdString(correction->warning));
  edit->setText(QString::fromStdString(correction->replacement));
}

}  // namespace

void TMain_Page::Special_vib_timeChange() {
  apply(q5::rules::special_vib_time_change(to_int(ui.Special_vib_time)), ui.Special_vib_time,
        [this] { beep(); }, [this](const QString& line) { append_log(line); });
}

void TMain_Page::MaxCannedmsgChange() {
  apply(q5::rules::num_message_change(to_int(ui.Num_message)), ui.Num_message, [this] { beep(); },
        [this](const QString& line) { append_log(line); });
}

void TMain_Page::Num_messageChange() {
  apply(q5::rules::num_message_exit(to_int(ui.Num_message)), ui.Num_message, [this] { beep(); },
        [this](const QString& line) { append_log(line); });
}

void TMain_Page::Serial_noExit() {
  ui.Serial_no->setText(QString::fromStdString(
      q5::rules::pad_with_zeros(ui.Serial_no->text().toStdString(), q5::rules::kSerialWidth)));
}

void TMain_Page::PasswordExit() {
  ui.Password->setText(QString::fromStdString(
      q5::rules::pad_with_zeros(ui.Password->text().toStdString(), q5::rules::kPasswordWidth)));
}

bool TMain_Page::Num_messageKeyPress(QKeyEvent* key) {
  // Digits only; Backspace too is refused (text goes with Delete or by
  // typing over a selection). No beep.
  if (is_digit(FieldEvents::typed_character(key)) || is_harmless_shortcut(key)) return false;
  return true;
}
