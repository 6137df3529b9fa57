// Entry of q5prog, and (built with Q5_SIMULATED_PAGER) of q5prog-demo, the
// same program with an emulated pager in place of the parallel port.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <exception>

#include "app/Q5_c.h"
#include "app/Q5_state.h"
#include "app/platform.h"
#include "app/prompts.h"
#include "files/batch_log.h"

namespace {

std::unique_ptr<Platform> make_platform() {
#ifdef Q5_SIMULATED_PAGER
  return make_demo_platform();
#else
  return make_linux_platform();
#endif
}

void show_fatal(const QString& text) {
  QMessageBox::critical(nullptr, "q5prog", text.isEmpty() ? QStringLiteral("Unexpected error.") : text);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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
    // Every write attempt goes to the batch log; a folder that cannot be
    // made shows up as a line in the window's log at the first write.
    const std::string batch_log = q5::files::default_batch_log_path(platform->simulated());
    if (!batch_log.empty()) {
      (void)q5::files::create_batch_log_folder(batch_log);
      main_page.set_batch_log(batch_log);
    }
    prompts.set_parent(&main_page);
    TState_Form state_form(&main_page);
    State_Form = &state_form;
    main_page.set_state_form(&state_form);
    main_page.show();
    if (const QScreen* screen = main_page.screen()) {
      main_page.move(screen->availableGeometry().center() - main_page.frameGeometry().center() + main_page.pos());
    }
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
