// Start-up, the frame's menu commands, and the event plumbing every handler
// relies on.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QTabWidget>

#include "support/window_fixture.h"

namespace {

using StartupTest = WindowTest;

TEST_F(StartupTest, LogHoldsExactlyThePortLineAndTheAboutLine) {
  EXPECT_EQ(log(), (QStringList{"Port init success.", "Q5V Pager programmer,Windows version 1.22"}));
  EXPECT_EQ(window->windowTitle(), "Q5V Pager Programmer Customer Version 1.22");
  EXPECT_EQ(platform.driver_init_calls, 1);
  EXPECT_EQ(platform.timer_init_calls, 1);
  EXPECT_EQ(prompts.beeps, 0);
}

TEST_F(StartupTest, TestControlsAreHiddenAndHardwareListsDisabled) {
  for (QWidget* hidden : {static_cast<QWidget*>(window->ui.E512bs1), static_cast<QWidget*>(window->ui.E512bs3),
                          static_cast<QWidget*>(window->ui.E1200bs1), static_cast<QWidget*>(window->ui.E1200bs3),
                          static_cast<QWidget*>(window->ui.E2400bs1), static_cast<QWidget*>(window->ui.E2400bs3),
                          static_cast<QWidget*>(window->ui.LRe1), static_cast<QWidget*>(window->ui.LRe3),
                          static_cast<QWidget*>(window->ui.L512), static_cast<QWidget*>(window->ui.L1200),
                          static_cast<QWidget*>(window->ui.L2400)}) {
    EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
  }
  QTabWidget* pages = window->ui.PageControl1;
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(window->ui.TabSheet4)));
  EXPECT_EQ(pages->currentWidget(), window->ui.TabSheet1);

  EXPECT_FALSE(window->ui.PLL_select->isEnabled());
  EXPECT_FALSE(window->ui.ModelCB->isEnabled());
  EXPECT_FALSE(window->ui.FirmwareVer->isEnabled());
  EXPECT_FALSE(window->ui.Urgent_call_tone->isEnabled());
  EXPECT_FALSE(window->ui.Special_vib_time->isEnabled());
  EXPECT_TRUE(window->ui.Dup_msg_time->isEnabled());
  EXPECT_TRUE(window->ui.Password->isEnabled());
  EXPECT_TRUE(window->ui.WritetoPager1->isEnabled());
  EXPECT_TRUE(window->ui.ReadFromPager1->isEnabled());
}

TEST_F(StartupTest, AboutFollowsTheModelFlagButTheCaptionDoesNot) {
  window->ModelCBChange();  // the flag's only writer besides the decoder
  ASSERT_EQ(window->model_flag(), 0);
  window->ui.Aboutcpp1->trigger();
  EXPECT_EQ(last_log(), "Q5 Pager programmer,Windows version 1.22");
  EXPECT_EQ(window->windowTitle(), "Q5V Pager Programmer Customer Version 1.22");
}

TEST_F(StartupTest, LptMenuMovesThePortBaseAndTheCheckMark) {
  EXPECT_EQ(window->port_base(), 0x378);
  EXPECT_TRUE(window->ui.N11->isChecked());
  window->ui.N21->trigger();
  EXPECT_EQ(window->port_base(), 0x278);
  EXPECT_FALSE(window->ui.N11->isChecked());
  EXPECT_TRUE(window->ui.N21->isChecked());
  window->ui.N11->trigger();
  EXPECT_EQ(window->port_base(), 0x378);
  EXPECT_TRUE(window->ui.N11->isChecked());
  EXPECT_FALSE(window->ui.N21->isChecked());
  // Choosing the port already chosen keeps its mark (a checkable action
  // would otherwise untick itself).
  window->ui.N11->trigger();
  EXPECT_TRUE(window->ui.N11->isChecked());
}

class StartupPlatformTest : public WindowTest {
 protected:
  StartupPlatformTest() { start_in_setup = false; }
};

TEST_F(StartupPlatformTest, RefusedDriverDisablesOnlyThePagerCommands) {
  platform.driver_grants = false;
  start();
  EXPECT_EQ(log(), (QStringList{"Driver missing or disable, can't access the paraller port.",
                                "Q5V Pager programmer,Windows version 1.22"}));
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(platform.timer_init_calls, 0);
  EXPECT_FALSE(window->ui.WritetoPager1->isEnabled());
  EXPECT_FALSE(window->ui.ReadFromPager1->isEnabled());
  EXPECT_TRUE(window->ui.Open1->isEnabled());
  EXPECT_TRUE(window->ui.Save1->isEnabled());

  window->Exit1Click();  // shut down even though it never started
  EXPECT_EQ(platform.driver_shutdown_calls, 1);
}

TEST_F(StartupPlatformTest, BelowVersionFiveNoDriverIsCalledAtAll) {
  platform.version = 4;
  platform.driver_grants = false;  // would fail if it were asked
  start();
  EXPECT_EQ(log().constFirst(), "Port init success.");
  EXPECT_EQ(platform.driver_init_calls, 0);
  EXPECT_EQ(platform.timer_init_calls, 1);
  window->Exit1Click();
  EXPECT_EQ(platform.driver_shutdown_calls, 0);
}

TEST_F(StartupTest, ExitShutsTheDriverDownAndClosesTheWindow) {
  window->ui.Exit1->trigger();
  EXPECT_EQ(platform.driver_shutdown_calls, 1);
  EXPECT_FALSE(window->isVisible());
}

// --- The events the handlers are written for --------------------------------

TEST_F(StartupTest, ListHandlersRunOnAUsersChoiceOnly) {
  QComboBox* urgent = window->ui.Urgent_call_addr;
  urgent->setCurrentIndex(2);  // code: no change event
  EXPECT_FALSE(window->ui.Urgent_call_tone->isEnabled());
  emit urgent->activated(2);  // what a click in the list sends
  EXPECT_TRUE(window->ui.Urgent_call_tone->isEnabled());
}

TEST_F(StartupTest, CheckBoxAndEditHandlersRunOnChangesByCodeToo) {
  window->ui.Dup_msg_rejection_chekbox->setChecked(false);
  EXPECT_FALSE(window->ui.Dup_msg_time->isEnabled());
  window->ui.Num_message->setText("13");
  EXPECT_EQ(window->ui.Num_message->text(), "12");
  EXPECT_EQ(last_log(), "The number of message value range out,the max is 12  ");
}

TEST_F(StartupTest, ExitHandlerRunsOnTabButNotWhenAnotherWindowTakesTheFocus) {
  QLineEdit* serial = window->ui.Serial_no;
  serial->setFocus();
  serial->setText("123");
  QFocusEvent other_window(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(serial, &other_window);
  EXPECT_EQ(serial->text(), "123");
  QTest::keyClick(serial, Qt::Key_Tab);
  EXPECT_EQ(serial->text(), "00000123");
}

TEST_F(StartupTest, ConversionErrorEndsTheHandlerAndShowsTheErrorBox) {
  window->ui.Num_message->setText("");  // the change rule converts "" and fails
  EXPECT_EQ(prompts.errors, QStringList{"'' is not a valid integer value"});
  EXPECT_EQ(window->ui.Num_message->text(), "");
  // The same error from a command ends the command too: nothing is saved.
  prompts.save_answers.push_back("/nonexistent-folder/never.eep");
  window->ui.Save1->trigger();
  EXPECT_EQ(prompts.errors.size(), 2);
  EXPECT_EQ(last_log(), "Save data to /nonexistent-folder/never.eep");
}

}  // namespace

namespace {

TEST_F(StartupTest, ProgressWindowWaitsHiddenWithItsDesignGeometry) {
  EXPECT_FALSE(state->isVisible());
  EXPECT_EQ(state->windowTitle(), "Writing to eeprom.Please waiting...");
  EXPECT_EQ(state->size(), QSize(271, 32));
  EXPECT_EQ(state->pos(), QPoint(225, 209));
  EXPECT_EQ(state->ProgressBar1->geometry(), QRect(16, 9, 239, 16));
  EXPECT_EQ(state->ProgressBar1->minimum(), 0);
  EXPECT_EQ(state->ProgressBar1->maximum(), 128);
}

TEST_F(StartupTest, ProgressBarStepWrapsButSingleAdvancesStopAtTheMaximum) {
  QProgressBar* bar = state->ProgressBar1;
  bar->setValue(125);
  state->step_it();
  EXPECT_EQ(bar->value(), 7);  // 135 is past 128: it starts over
  bar->setValue(127);
  state->step_by(1);
  state->step_by(1);
  EXPECT_EQ(bar->value(), 128);
}

}  // namespace

namespace {

// Pictures of the started window, one per page the technician can reach,
// for a look at the form as it is used (window-page1.png ... in the build
// folder).
TEST_F(StartupTest, RendersEachReachablePageOfTheStartedWindow) {
  QTabWidget* pages = window->ui.PageControl1;
  for (int page = 0; page < 3; ++page) {
    pages->setCurrentIndex(page);
    const QImage picture = window->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(QString("%1/window-page%2.png").arg(Q5_SCREENSHOT_DIR).arg(page + 1)));
  }
}

}  // namespace
