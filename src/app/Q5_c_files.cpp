// File > Save and File > Open: the form as a 256-byte configuration file.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "app/Q5_c.h"
#include "app/prompts.h"
#include "files/config_file.h"

namespace {

std::string local_path(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The line after the window's own words that says which file and why:
// "/home/t/a.eep: Permission denied".
QString reason_line(const QString& path, const q5::files::FileReason& reason) {
  return path + ": " + QString::fromLocal8Bit(reason.text());
}

}  // namespace

void TMain_Page::Save1Click() {
  // An address past seven digits would reach the file as another address.
  const std::optional<int> overlong = form_.overlong_address();
  if (overlong) {
    run([this] { form_.refuse_overlong_address(); });
    append_log("Not saved: address " + QString::number(*overlong + 1) + " has more than seven digits");
    return;
  }

  const QString path = prompts_.save_file_name();
  if (path.isEmpty()) return;
  append_log("Save data to " + path);
  encode_image();  // a field that is not a number ends the save here
  q5::files::FileReason reason;
  switch (q5::files::save_image(local_path(path), image_, &reason)) {
    case q5::files::SaveResult::open_error:
      append_log("File open error");
      append_log(reason_line(path, reason));
      return;
    case q5::files::SaveResult::write_error:
      append_log("File write error");
      append_log(reason_line(path, reason));
      return;
    case q5::files::SaveResult::ok:
      append_log("File saved.OK !");
      append_log("Saved to " + path);
      return;
  }
}

void TMain_Page::Open1Click() {
  const QString path = prompts_.open_file_name();
  if (path.isEmpty()) return;
  open_file(path);
}

void TMain_Page::open_file(const QString& path) {
  append_log("Load data from " + path);
  q5::files::FileReason reason;
  if (const auto refusal = q5::files::load_configuration(local_path(path), image_, &reason)) {
    const QString text = q5::files::refusal_text(*refusal);
    // A file that could not be read is a log line, and one more that says
    // why; one read and judged, a box.
    const bool judged = *refusal == q5::files::OpenRefusal::checksum || *refusal == q5::files::OpenRefusal::model;
    if (judged) {
      prompts_.message(text);
    } else {
      append_log(text);
      append_log(reason_line(path, reason));
    }
    return;
  }
  run([this] { form_.show_file(image_); });
  append_log("File loaded.OK !");
}

QString TMain_Page::dropped_file(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().constFirst();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

void TMain_Page::dragEnterEvent(QDragEnterEvent* event) {
  if (!dropped_file(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMain_Page::dropEvent(QDropEvent* event) {
  const QString path = dropped_file(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  guarded([&] { open_file(QFileInfo(path).absoluteFilePath()); });
}
