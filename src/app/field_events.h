// The form toolkit's events the handlers are written for, on Qt widgets:
// an exit event when a control loses the focus to another control of the
// window, a key-press hook that sees typed characters before the control,
// and combo boxes that only the mouse can change.
#pragma once

#include <QHash>
#include <QObject>
#include <functional>

class QComboBox;
class QKeyEvent;
class QWidget;

class FieldEvents : public QObject {
  Q_OBJECT

 public:
  explicit FieldEvents(QObject* parent = nullptr) : QObject(parent) {}

  // Runs `handler` when `widget` loses the focus by Tab, Backtab, the mouse,
  // a shortcut or code. Not when another window (a message box, a dialog) or
  // a popup (a menu) takes it: the focus comes back to the same control then.
  // Nothing runs while `suppressed` says so (a deferred refocus is pending).
  void on_exit(QWidget* widget, std::function<void()> handler);
  // `handler` sees every key press that types a character (or Backspace)
  // and returns true to swallow it.
  void on_key_press(QWidget* widget, std::function<bool(QKeyEvent*)> handler);
  // No key changes or opens the list, also inside a list opened with the
  // mouse; Tab and Backtab still move on. The wheel changes the list only
  // while it has the focus.
  void make_mouse_only(QComboBox* combo);

  void set_exit_suppressed(std::function<bool()> suppressed) { suppressed_ = std::move(suppressed); }

  // True for a key event that types something: a character or Backspace.
  static bool types_character(const QKeyEvent* key);
  // The typed character (Backspace as '\b'); 0 for none.
  static QChar typed_character(const QKeyEvent* key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool filter_mouse_only(QObject* watched, QEvent* event);

  QHash<QObject*, std::function<void()>> exits_;
  QHash<QObject*, std::function<bool(QKeyEvent*)>> key_presses_;
  QHash<QObject*, QComboBox*> mouse_only_;  // the combo box or its list view -> the combo box
  std::function<bool()> suppressed_;
};
