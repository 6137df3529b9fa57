// Start-up, the frame's menu commands, and the event plumbing every handler
// relies on.
#include <QAction>
#include <QImage>
#include <QKeyEvent>
#include <QProgressBar>
#include <cerrno>

#include "link/ppdev_ports.h"
#include "support/form_snapshot.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using StartupTest = WindowTest;

TEST_F(StartupTest, LogCaptionAndHiddenTestControls) {
  EXPECT_EQ(log(), (QStringList{"Port init success.", "Q5V Pager programmer,Windows version 1.22"}));
  EXPECT_EQ(window->windowTitle(), "Q5V Pager Programmer Customer Version 1.22");
  EXPECT_EQ(platform.open_calls, 1);
  EXPECT_EQ(platform.timer_init_calls, 1);
  EXPECT_EQ(prompts.beeps, 0);
  for (const char* name : {"E512bs1", "E512bs3", "E1200bs1", "E1200bs3", "E2400bs1", "E2400bs3", "LRe1", "LRe3",
                           "L512", "L1200", "L2400"}) {
    auto* hidden = window->findChild<QWidget*>(name);
    ASSERT_NE(hidden, nullptr) << name;
    EXPECT_TRUE(hidden->isHidden()) << name;
  }
  EXPECT_FALSE(ui().PageControl1->isTabVisible(ui().PageControl1->indexOf(ui().TabSheet4)));
  EXPECT_EQ(ui().PageControl1->currentWidget(), ui().TabSheet1);
  EXPECT_FALSE(state->isVisible());  // the progress window waits hidden
}

// Start-up keeps every catalogued default and greys exactly three controls
// besides those the form greys itself.
TEST_F(StartupTest, ControlsKeepTheirDefaultsAndThreeMoreAreGreyed) {
  QMainWindow bare;
  MainPageForm form;
  form.setup(&bare);
  FormSnapshot expected = snapshot(form);
  for (const char* name : {"PLL_select", "Urgent_call_tone", "Special_vib_time"}) {
    expected[std::string(name) + ".enabled"] = "no";
  }
  EXPECT_EQ(differences(snapshot(ui()), expected), "");
  EXPECT_FALSE(ui().ModelCB->isEnabled());
  EXPECT_FALSE(ui().FirmwareVer->isEnabled());
  EXPECT_TRUE(ui().WritetoPager1->isEnabled());
  EXPECT_TRUE(ui().ReadFromPager1->isEnabled());
}

TEST_F(StartupTest, AboutFollowsTheModelFlagButTheCaptionDoesNot) {
  window->run_rule(&q5::rules::Form::ModelCBChange);  // the flag's only writer besides the decoder
  ASSERT_EQ(window->model_flag(), 0);
  ui().Aboutcpp1->trigger();
  EXPECT_EQ(last_log(), "Q5 Pager programmer,Windows version 1.22");
  EXPECT_EQ(window->windowTitle(), "Q5V Pager Programmer Customer Version 1.22");
}

TEST_F(StartupTest, LptMenuMovesThePortBaseAndTheCheckMark) {
  // Each step: the item chosen, then the port and the two marks.
  const std::tuple<QAction*, int, bool> steps[] = {
      {ui().N21, 0x278, false}, {ui().N11, 0x378, true},
      // Choosing the port already chosen keeps its mark (a checkable action
      // would otherwise untick itself).
      {ui().N11, 0x378, true}};
  EXPECT_EQ(window->port_base(), 0x378);
  for (const auto& [item, port, lpt1] : steps) {
    item->trigger();
    EXPECT_EQ(window->port_base(), port);
    EXPECT_EQ(ui().N11->isChecked(), lpt1);
    EXPECT_EQ(ui().N21->isChecked(), !lpt1);
  }
}

TEST_F(StartupTest, ExitClosesThePortsAndTheWindow) {
  ui().Exit1->trigger();
  EXPECT_EQ(platform.close_calls, 1);
  EXPECT_FALSE(window->isVisible());
}

class StartupPlatformTest : public WindowTest {
 protected:
  StartupPlatformTest() { start_in_setup = false; }
};

// The port lines as the machine's ports give them.
std::vector<std::string> port_lines(int lpt1_error, int lpt2_error) {
  return q5::link::port_opening_log({{"LPT1 (/dev/parport0)", lpt1_error}, {"LPT2 (/dev/parport1)", lpt2_error}});
}

TEST_F(StartupPlatformTest, NoPortDisablesOnlyThePagerCommandsAndSaysWhy) {
  // The lines after the two start-up lines.
  const std::pair<std::vector<std::string>, QStringList> cases[] = {
      // No device at all: one line, with what to try next.
      {port_lines(ENOENT, ENOENT),
       {"No parallel port: LPT1, LPT2 - is the ppdev module loaded? Choose LPT > USB for a USB cable, or start "
        "q5prog-demo to try the program."}},
      // A port that is there but refused keeps its own reason.
      {port_lines(EACCES, ENOENT),
       {"LPT1 (/dev/parport0): Permission denied - add yourself to the group lp",
        "LPT2 (/dev/parport1): No such file or directory - is the ppdev module loaded?"}},
  };
  platform.ports_open = false;
  for (const auto& [problems, lines] : cases) {
    SCOPED_TRACE(lines.constFirst().toStdString());
    state.reset();
    window.reset();
    prompts.clear();
    platform.close_calls = 0;
    platform.problems = problems;
    start();
    EXPECT_EQ(log(), (QStringList{"Driver missing or disable, can't access the paraller port.",
                                  "Q5V Pager programmer,Windows version 1.22"} +
                      lines));
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(platform.timer_init_calls, 0);
    EXPECT_FALSE(ui().WritetoPager1->isEnabled());
    EXPECT_FALSE(ui().ReadFromPager1->isEnabled());
    EXPECT_TRUE(ui().Open1->isEnabled());
    EXPECT_TRUE(ui().Save1->isEnabled());
    window->Exit1Click();  // gives back whatever did open
    EXPECT_EQ(platform.close_calls, 1);
  }
}

// A port that opened is used; one that did not says why, after the start-up
// lines, and the program starts as usual. No kernel version is asked: every
// Linux kernel needs ppdev.
TEST_F(StartupPlatformTest, PortsAreOpenedAtEveryStartAndARefusedOneIsExplained) {
  platform.problems = port_lines(0, EACCES);
  start();
  EXPECT_EQ(log(), (QStringList{"Port init success.", "Q5V Pager programmer,Windows version 1.22",
                                "LPT2 (/dev/parport1): Permission denied - add yourself to the group lp"}));
  EXPECT_EQ(platform.open_calls, 1);
  EXPECT_EQ(platform.timer_init_calls, 1);
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_TRUE(ui().WritetoPager1->isEnabled());
}

// --- The events the handlers are written for --------------------------------

TEST_F(StartupTest, ExitHandlerRunsOnTabButNotWhenAnotherWindowTakesTheFocus) {
  QLineEdit* serial = ui().Serial_no;
  focus(serial);
  serial->setText("123");
  QFocusEvent other_window(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(serial, &other_window);
  EXPECT_EQ(serial->text(), "123");
  leave();
  EXPECT_EQ(serial->text(), "00000123");
}

// On X11 the Delete key arrives with the text "\x7f". It edits; it types
// nothing, so the digit filters must let it through.
TEST_F(StartupTest, DeleteClearsADigitOnlyFieldAsX11SendsIt) {
  QLineEdit* password = ui().Password;
  focus(password);
  password->selectAll();
  QKeyEvent x11_delete(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
  QApplication::sendEvent(password, &x11_delete);
  EXPECT_EQ(password->text(), "");
}

TEST_F(StartupTest, ProgressBarStepWrapsButSingleAdvancesStopAtTheMaximum) {
  QProgressBar* bar = state->ProgressBar1;
  EXPECT_EQ(bar->maximum(), 128);
  bar->setValue(125);
  state->step_it();
  EXPECT_EQ(bar->value(), 7);  // 135 is past 128: it starts over
  bar->setValue(127);
  state->step_by(1);
  state->step_by(1);
  EXPECT_EQ(bar->value(), 128);
}

// Pictures of the started window, one per page the technician can reach,
// for a look at the form as it is used (window-page1.png ... in the build
// folder).
TEST_F(StartupTest, RendersEachReachablePageOfTheStartedWindow) {
  for (int page = 0; page < 3; ++page) {
    ui().PageControl1->setCurrentIndex(page);
    const QImage picture = window->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(QString("%1/window-page%2.png").arg(Q5_SCREENSHOT_DIR).arg(page + 1)));
  }
}

}  // namespace
