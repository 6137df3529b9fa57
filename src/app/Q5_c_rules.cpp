// The fields' key filters, which act on the widget before any text reaches
// the form, and running one of the form's rules from outside an event. The
// rules themselves are the form's (q5::rules::Form).
#include <QKeyEvent>

#include "app/Q5_c.h"
#include "app/field_events.h"
#include "rules/pager_text.h"

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

// --- Key filters ------------------------------------------------------------

bool TMain_Page::sc_address1KeyPress(QKeyEvent* key) {
  if (q5::rules::address_key_passes(typed_latin1(key)) || is_harmless_shortcut(key)) return false;
  beep();
  return true;
}

bool TMain_Page::Num_messageKeyPress(QKeyEvent* key) {
  // Digits only; Backspace too is refused (text goes with Delete or by
  // typing over a selection). No beep.
  return !(q5::rules::digit_key_passes(typed_latin1(key)) || is_harmless_shortcut(key));
}

// Digits, letters (shown as capitals) and space: what the pager can show.
bool TMain_Page::pager_text_key_press(QKeyEvent* key) {
  if (q5::rules::pager_text_key_passes(typed_latin1(key)) || is_harmless_shortcut(key)) return false;
  beep();
  return true;
}

void TMain_Page::run_rule(void (q5::rules::Form::*rule)()) {
  guarded([&] { run([&] { (form_.*rule)(); }); });
}
