// Prompts for tests: records every box and beep instead of blocking, and
// answers the file dialogs from a script.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>

#include "app/prompts.h"

class RecordingPrompts final : public Prompts {
 public:
  void message(const QString& text) override {
    messages.append(text);
    if (on_message) on_message(text);
  }
  void error(const QString& text) override { errors.append(text); }
  void beep() override { ++beeps; }
  QString open_file_name() override { return next(open_answers); }
  QString save_file_name() override { return next(save_answers); }

  void clear() {
    messages.clear();
    errors.clear();
    beeps = 0;
  }

  QStringList messages;  // message boxes, in order
  QStringList errors;    // error boxes, in order
  int beeps = 0;
  std::deque<QString> open_answers;  // empty string = cancelled
  std::deque<QString> save_answers;
  std::function<void(const QString&)> on_message;  // runs while a box "is shown"

 private:
  static QString next(std::deque<QString>& answers) {
    if (answers.empty()) return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};
