#include "app/command_line_window.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "app/Q5_c.h"

namespace q5::app {

void open_after_start(TMain_Page& window, const std::string& file) {
  if (file.empty()) return;
  const QString path = QFileInfo(QFile::decodeName(file.c_str())).absoluteFilePath();
  // The window owns the timer: a window closed before the loop runs opens nothing.
  QTimer::singleShot(0, &window, [&window, path] { window.guarded([&] { window.open_file(path); }); });
}

}  // namespace q5::app
