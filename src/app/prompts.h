// Everything that would block on the user or make a sound: message boxes,
// error boxes, the beep and the file dialogs. The program uses QtPrompts;
// tests use a recorder.
#pragma once

#include <QString>

class QWidget;

class Prompts {
 public:
  virtual ~Prompts() = default;
  // Modal box with the text and an OK button.
  virtual void message(const QString& text) = 0;
  // The application's error box (a failed number conversion and the like).
  virtual void error(const QString& text) = 0;
  // The platform's default alert sound.
  virtual void beep() = 0;
  // File dialogs; an empty result means the user cancelled.
  virtual QString open_file_name() = 0;
  virtual QString save_file_name() = 0;
};

// The configuration-file dialogs: three filters, each described by its own
// pattern, the first selected; names typed without a suffix get ".eep".
inline constexpr const char* kFileDialogFilter = "*.eep;;*.txt;;*.obj";
inline constexpr const char* kDefaultSuffix = "eep";

// Real boxes and dialogs, parented to `parent`.
class QtPrompts final : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void set_parent(QWidget* parent) { parent_ = parent; }
  void message(const QString& text) override;
  void error(const QString& text) override;
  void beep() override;
  QString open_file_name() override;
  QString save_file_name() override;

 private:
  QWidget* parent_;
  QString last_open_;  // each dialog offers the name last chosen in it again
  QString last_save_;
};
