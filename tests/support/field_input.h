// Keys, clicks and focus as a technician gives them, for tests that drive
// the real window: the focus moved as a click would, text typed key by key,
// a field left with Tab, an item chosen from a list.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace q5::test {

inline QWidget* focused() { return QApplication::focusWidget(); }

// Runs what is pending, such as a focus given back from a focus-out.
inline void settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// Brings every page that holds `widget` to the front: a hidden control takes
// no focus.
inline void show_page_of(QWidget* widget) {
  for (QWidget* w = widget; w->parentWidget(); w = w->parentWidget()) {
    QWidget* stack = w->parentWidget();
    if (auto* pages = qobject_cast<QTabWidget*>(stack->parentWidget()); pages && qobject_cast<QStackedWidget*>(stack)) {
      pages->setCurrentWidget(w);
    }
  }
}

// The focus put into a control as a click on it would: the field left
// behind runs its exit rule.
inline void focus(QWidget* widget) {
  show_page_of(widget);
  widget->setFocus(Qt::MouseFocusReason);
  settle();
  ASSERT_EQ(focused(), widget) << widget->objectName().toStdString();
}

inline void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(focused(), static_cast<Qt::Key>(key), modifiers);
  settle();
}

inline void leave() { press(Qt::Key_Tab); }

// Types `keys` over the whole text of an edit, key by key.
inline void type_into(QLineEdit* edit, const QString& keys) {
  focus(edit);
  edit->selectAll();
  QTest::keyClicks(edit, keys);
  settle();
}

// Empties an edit with one key on its selected text: Backspace, or Delete in
// the fields whose key filter refuses Backspace.
inline void empty(QLineEdit* edit, Qt::Key key = Qt::Key_Backspace) {
  focus(edit);
  edit->selectAll();
  press(key);
  ASSERT_EQ(edit->text(), "");
}

// A user's choice in a list: the item, and the signal a click on it sends.
inline void choose(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
  settle();
}

inline QStringList items(const QComboBox* combo) {
  QStringList texts;
  for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
  return texts;
}

}  // namespace q5::test
