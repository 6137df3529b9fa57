// Field rules: address rows, option interlocks, numeric limits, padding and
// key filters. The rules are the form's (q5::rules::Form); these handlers
// run them and show the outcome. The key filters stay here: they act on the
// widget before any text reaches the form.
#include <QKeyEvent>

#include "app/Q5_c.h"
#include "app/field_events.h"

namespace {

// Copying and selecting all change nothing, so the digit filters let them by.
bool is_harmless_shortcut(const QKeyEvent* key) {
  return key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll);
}

// The typed character as the form's key filters see it (Backspace is '\b');
// anything beyond Latin-1 is no digit.
char typed_latin1(const QKeyEvent* key) {
  const QChar c = FieldEvents::typed_character(key);
  return c.unicode() < 0x100 ? static_cast<char>(c.unicode()) : '\0';
}

}  // namespace

// --- Address rows -----------------------------------------------------------

bool TMain_Page::sc_address1KeyPress(QKeyEvent* key) {
  if (q5::rules::address_key_passes(typed_latin1(key)) || is_harmless_shortcut(key)) return false;
  beep();
  return true;
}

void TMain_Page::sc_addressChange(int row) { run([&] { form_.sc_addressChange(row); }); }

void TMain_Page::sc_addressExit(int row) { run([&] { form_.sc_addressExit(row); }); }

bool TMain_Page::check_address_diff() {
  bool equal = false;
  run([&] { equal = form_.check_address_diff(); });
  return equal;
}

void TMain_Page::sc_addractvClick(int row) { run([&] { form_.sc_addractvClick(row); }); }

void TMain_Page::advance_addresses() { run([this] { form_.advance_addresses(); }); }

// --- Interlocks -------------------------------------------------------------

void TMain_Page::CanMsg_checkboxClick() { run([this] { form_.CanMsg_checkboxClick(); }); }

void TMain_Page::Date_time_disp_checkboxClick() { run([this] { form_.Date_time_disp_checkboxClick(); }); }

void TMain_Page::Vib_patternChange() { run([this] { form_.Vib_patternChange(); }); }

void TMain_Page::Alert_typeChange() { run([this] { form_.Alert_typeChange(); }); }

void TMain_Page::Unread_reminderClick() { run([this] { form_.Unread_reminderClick(); }); }

void TMain_Page::Dup_msg_rejection_chekboxClick() { run([this] { form_.Dup_msg_rejection_chekboxClick(); }); }

void TMain_Page::Out_range_func_checkboxClick() { run([this] { form_.Out_range_func_checkboxClick(); }); }

void TMain_Page::Hand_code_pss_checkboxClick() { run([this] { form_.Hand_code_pss_checkboxClick(); }); }

void TMain_Page::Urgent_call_addrChange() { run([this] { form_.Urgent_call_addrChange(); }); }

void TMain_Page::lcdmannulCBChange() { run([this] { form_.lcdmannulCBChange(); }); }

void TMain_Page::ModelCBChange() { run([this] { form_.ModelCBChange(); }); }

// --- Numeric fields ---------------------------------------------------------

void TMain_Page::Special_vib_timeChange() { run([this] { form_.Special_vib_timeChange(); }); }

void TMain_Page::MaxCannedmsgChange() { run([this] { form_.MaxCannedmsgChange(); }); }

void TMain_Page::Num_messageChange() { run([this] { form_.Num_messageChange(); }); }

void TMain_Page::Serial_noExit() { run([this] { form_.Serial_noExit(); }); }

void TMain_Page::PasswordExit() { run([this] { form_.PasswordExit(); }); }

bool TMain_Page::Num_messageKeyPress(QKeyEvent* key) {
  // Digits only; Backspace too is refused (text goes with Delete or by
  // typing over a selection). No beep.
  return !(q5::rules::digit_key_passes(typed_latin1(key)) || is_harmless_shortcut(key));
}
