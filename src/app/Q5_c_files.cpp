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
  bool refused = false;
  run([&] { refused = form_.refuse_overlong_address(); });
  if (refused) return;

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
  q5::image::Image loaded = image_;
  switch (q5::files::load_image(local_path(path), loaded)) {
    case q5::files::LoadResult::open_error:
      append_log("File open error");
      return;
    case q5::files::LoadResult::read_error:
      // A short file is not judged: the form keeps what it shows.
      append_log("File read error");
      return;
    case q5::files::LoadResult::ok:
      break;
  }
  image_ = loaded;
  if (q5::image::verify(image_) != q5::image::ChecksumFault::none) {
    prompts_.message("checksum is error!");
    return;
  }
  if (q5::image::model_bit(image_)) {
    prompts_.message("Model Error, please check...");
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
