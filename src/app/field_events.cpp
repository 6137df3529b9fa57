#include "app/field_events.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QWidget>

void FieldEvents::on_exit(QWidget* widget, std::function<void()> handler) {
  exits_.insert(widget, std::move(handler));
  widget->installEventFilter(this);
}

void FieldEvents::on_key_press(QWidget* widget, std::function<bool(QKeyEvent*)> handler) {
  key_presses_.insert(widget, std::move(handler));
  widget->installEventFilter(this);
}

void FieldEvents::make_mouse_only(QComboBox* combo) {
  mouse_only_.insert(combo, combo);
  mouse_only_.insert(combo->view(), combo);
  combo->installEventFilter(this);
  combo->view()->installEventFilter(this);
}

bool FieldEvents::types_character(const QKeyEvent* key) {
  // Tab moves the focus before any control sees it as a character; Delete
  // edits without typing anything (X11 still reports it as the text "\x7f").
  if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Delete) {
    return false;
  }
  return key->key() == Qt::Key_Backspace || !key->text().isEmpty();
}

QChar FieldEvents::typed_character(const QKeyEvent* key) {
  if (key->key() == Qt::Key_Backspace) return QChar('\b');
  return key->text().isEmpty() ? QChar() : key->text().at(0);
}

bool FieldEvents::eventFilter(QObject* watched, QEvent* event) {
  if (mouse_only_.contains(watched) && filter_mouse_only(watched, event)) return true;

  if (event->type() == QEvent::KeyPress) {
    auto handler = key_presses_.constFind(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (handler != key_presses_.constEnd() && types_character(key)) return (*handler)(key);
  } else if (event->type() == QEvent::FocusOut) {
    auto handler = exits_.constFind(watched);
    if (handler != exits_.constEnd()) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      const bool left_for_other_window =
          reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
          reason == Qt::MenuBarFocusReason;
      if (!left_for_other_window && !(suppressed_ && suppressed_())) (*handler)();
    }
  }
  return QObject::eventFilter(watched, event);
}

bool FieldEvents::filter_mouse_only(QObject* watched, QEvent* event) {
  QComboBox* combo = mouse_only_.value(watched);
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      const bool moves_focus = key == Qt::Key_Tab || key == Qt::Key_Backtab;
      // Escape may still close a list opened with the mouse.
      const bool closes_popup = key == Qt::Key_Escape && watched != combo;
      return !(moves_focus && watched == combo) && !closes_popup;
    }
    case QEvent::Wheel:
      return watched == combo && !combo->hasFocus();
    default:
      return false;
  }
}
