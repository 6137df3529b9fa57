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
  switch (q5::files::save_image(local_path(path), image_)) {
    case q5::files::SaveResult::open_error:
      append_log("File open error");
      return;
    case q5::files::SaveResult::write_error:
      append_log("File write error");
      return;
    case q5::files::SaveResult::ok:
      append_log("File saved.OK !");
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
  if (const auto refusal = q5::files::load_configuration(local_path(path), image_)) {
    const QString text = q5::files::refusal_text(*refusal);
    // A file that could not be read is a log line; one read and judged, a box.
    const bool judged = *refusal == q5::files::OpenRefusal::checksum || *refusal == q5::files::OpenRefusal::model;
    judged ? prompts_.message(text) : append_log(text);
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
