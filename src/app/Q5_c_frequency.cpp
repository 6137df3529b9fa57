// The frequency field's key filter. The rules and the arithmetic are the
// form's and q5::image's; the key filter acts on the widget.
#include <QKeyEvent>
#include <QLineEdit>

#include "app/Q5_c.h"
#include "app/field_events.h"

bool TMain_Page::FrequencyKeyPress(QKeyEvent* key) {
  const QChar c = FieldEvents::typed_character(key);
  const char typed = c.unicode() < 0x100 ? static_cast<char>(c.unicode()) : '\0';
  QLineEdit* edit = ui.Frequency;
  switch (q5::rules::frequency_key(typed, static_cast<std::size_t>(edit->text().size()))) {
    case q5::rules::FrequencyKey::pass:
      return false;
    case q5::rules::FrequencyKey::refuse:
      if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) return false;
      beep();
      return true;
    case q5::rules::FrequencyKey::with_point:
      // The digit goes at the end, whatever was selected, with its point.
      edit->deselect();
      edit->end(false);
      edit->insert(QString(c));
      edit->insert(".");
      return true;
  }
  return false;
}
