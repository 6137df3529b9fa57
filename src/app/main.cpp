// Entry of q5prog, and (built with Q5_SIMULATED_PAGER) of q5prog-demo, the
// same program with an emulated pager in place of the parallel port.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <cstdlib>
#include <exception>
#include <iostream>

#include "app/Q5_c.h"
#include "app/Q5_state.h"
#include "app/command_line.h"
#include "app/command_line_window.h"
#include "app/platform.h"
#include "app/prompts.h"
#include "register/register.h"

namespace {

#ifdef Q5_SIMULATED_PAGER
constexpr q5::app::Program kProgram = q5::app::kDemoProgram;
std::unique_ptr<Platform> make_platform() { return make_demo_platform(); }
#else
constexpr q5::app::Program kProgram = q5::app::kWindowProgram;
std::unique_ptr<Platform> make_platform() { return make_linux_platform(); }
#endif

// The register chosen on the command line, in Q5PROG_REGISTER or by
// default, opened for the run.
void open_register(TMain_Page& window, const q5::app::CommandLine& line) {
  std::unique_ptr<q5::reg::Register> reg;
  std::unique_ptr<q5::reg::PendingEvents> pending;
  std::string name;
  std::string unusable;
  try {
    const q5::reg::Location location =
        q5::reg::resolve_location(line.register_value, line.no_register, std::getenv("Q5PROG_REGISTER"),
                                  kProgram.simulated);
    name = q5::reg::display_name(location);
    if (location.kind != q5::reg::Location::Kind::none) {
      pending = std::make_unique<q5::reg::PendingEvents>(q5::reg::default_pending_path(kProgram.simulated));
      reg = q5::reg::open_register(location);
    }
  } catch (const q5::reg::RegisterError& error) {
    unusable = error.what();
  }
  window.set_register(std::move(reg), name, unusable, std::move(pending));
}

void show_fatal(const QString& text) {
  QMessageBox::critical(nullptr, "q5prog", text.isEmpty() ? QStringLiteral("Unexpected error.") : text);
}

}  // namespace

int main(int argc, char** argv) {
  const q5::app::CommandLine command_line = q5::app::parse_command_line(argc, argv);
  if (const auto status = q5::app::answer_without_window(command_line, kProgram, std::cout, std::cerr)) {
    return *status;
  }
  // The command line is ours alone: Qt takes its settings from the
  // environment, so a FILE can never be mistaken for one of Qt's options.
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication app(qt_argc, qt_argv);
  QApplication::setApplicationName("q5prog");
  // The form is laid out and checked with Fusion: the same look on every desktop.
  QApplication::setStyle("Fusion");
  QIcon icon;
  for (const char* size : {"32", "48", "64", "128"}) icon.addFile(QString(":/icons/q5prog-%1.png").arg(size));
  QApplication::setWindowIcon(icon);
  try {
    const std::unique_ptr<Platform> platform = make_platform();
    QtPrompts prompts;
    TMain_Page main_page(*platform, prompts);
    Main_Page = &main_page;
    main_page.set_batch_log(q5::app::prepare_batch_log(command_line, kProgram));
    open_register(main_page, command_line);
    prompts.set_parent(&main_page);
    TState_Form state_form(&main_page);
    State_Form = &state_form;
    main_page.set_state_form(&state_form);
    main_page.show();
    if (const QScreen* screen = main_page.screen()) {
      main_page.move(screen->availableGeometry().center() - main_page.frameGeometry().center() + main_page.pos());
    }
    q5::app::open_after_start(main_page, command_line.file);
    QApplication::exec();
    Main_Page = nullptr;
    State_Form = nullptr;
  } catch (const std::exception& error) {
    show_fatal(QString::fromUtf8(error.what()));
  } catch (...) {
    show_fatal(QString());
  }
  return 0;
}
