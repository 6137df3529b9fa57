// A main window on the fake platform with recording prompts, shown on the
// offscreen screen so that focus and key events behave as on a desktop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/Q5_c.h"
#include "app/Q5_state.h"
#include "support/fake_platform.h"
#include "support/field_input.h"
#include "support/recording_prompts.h"

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (start_in_setup) start();
  }
  void TearDown() override {
    state.reset();
    window.reset();
  }

  // Creates the windows as the program's entry does. Tests that need another
  // platform set it up first, with start_in_setup = false.
  void start() {
    window = std::make_unique<TMain_Page>(platform, prompts);
    state = std::make_unique<TState_Form>(window.get());
    window->set_state_form(state.get());
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  MainPageForm& ui() { return window->ui; }
  // A pager command runs on the window's worker thread; the window's event
  // loop turns until it has ended and its outcome has been shown.
  void wait_for_transfer() {
    if (!window->transfer_running()) return;
    QEventLoop loop;
    QObject::connect(window.get(), &TMain_Page::transfer_ended, &loop, &QEventLoop::quit);
    QTimer::singleShot(60'000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(window->transfer_running());
  }
  QStringList log() const { return window->ui.Memo1->toPlainText().split('\n', Qt::SkipEmptyParts); }
  QString last_log() const { return log().isEmpty() ? QString() : log().constLast(); }

  bool start_in_setup = true;
  FakePlatform platform;
  RecordingPrompts prompts;
  std::unique_ptr<TMain_Page> window;
  std::unique_ptr<TState_Form> state;
};
