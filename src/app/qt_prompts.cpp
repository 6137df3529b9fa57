#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/prompts.h"

namespace {

constexpr const char* kBoxTitle = "q5prog";

void show_box(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, kBoxTitle, text, QMessageBox::Ok, parent);
  box.exec();
}

// Both dialogs take any name: the open command itself reports a file that
// is not there, and a save replaces an existing file without asking.
QString run_file_dialog(QWidget* parent, QFileDialog::AcceptMode mode, QString& last) {
  QFileDialog dialog(parent, mode == QFileDialog::AcceptOpen ? "Open" : "Save As");
  dialog.setAcceptMode(mode);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(kFileDialogFilter);
  dialog.setDefaultSuffix(kDefaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (last.isEmpty()) {
    dialog.setDirectory(QDir::homePath());
  } else {
    dialog.setDirectory(QFileInfo(last).absolutePath());
    dialog.selectFile(QFileInfo(last).fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  last = dialog.selectedFiles().constFirst();
  return last;
}

}  // namespace

void QtPrompts::message(const QString& text) { show_box(parent_, QMessageBox::NoIcon, text); }

void QtPrompts::error(const QString& text) { show_box(parent_, QMessageBox::Critical, text); }

void QtPrompts::beep() { QApplication::beep(); }

QString QtPrompts::open_file_name() {
  return run_file_dialog(parent_, QFileDialog::AcceptOpen, last_open_);
}

QString QtPrompts::save_file_name() {
  return run_file_dialog(parent_, QFileDialog::AcceptSave, last_save_);
}
