// The window's Register menu: "Pager history..." (every event of the
// register, searchable by serial number or address, read page by page) and
// "Release address..." (free an address from the pager holding it).
//
// TMain_Page calls
//   show_pager_history(this, reg, [this](const q5::image::Image& image) { ...load as File > Open... });
//   release_address(this, reg, prompts, bench, operator_name);
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/image.h"
#include "register/register.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace q5::app {

// The questions the Register menu asks; tests script them.
class RegisterPrompts {
 public:
  virtual ~RegisterPrompts() = default;
  // The address to release; nullopt when cancelled.
  virtual std::optional<QString> ask_address(QWidget* parent) = 0;
  // A Yes/No box; true for Yes.
  virtual bool confirm(QWidget* parent, const QString& text) = 0;
  // A box with OK.
  virtual void inform(QWidget* parent, const QString& text) = 0;
};

// QInputDialog and QMessageBox.
class QtRegisterPrompts final : public RegisterPrompts {
 public:
  std::optional<QString> ask_address(QWidget* parent) override;
  bool confirm(QWidget* parent, const QString& text) override;
  void inform(QWidget* parent, const QString& text) override;
};

// The register's events, oldest first, read kPageSize at a time as the view
// scrolls (canFetchMore/fetchMore), so that any number opens at once.
class EventTableModel final : public QAbstractTableModel {
 public:
  static constexpr int kPageSize = 200;
  enum Column { time, bench, operator_name, command, result, serial, addresses, column_count };

  EventTableModel(reg::Register& reg, QObject* parent = nullptr);

  // Shows only the events of that serial number or address (empty: all),
  // the first page read at once.
  void set_filter(const reg::EventFilter& filter);
  std::int64_t total() const { return total_; }
  // The event of a row as loaded (without images).
  const reg::PagerEvent& event_at(int row) const { return events_.at(static_cast<std::size_t>(row)); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  reg::Register& reg_;
  reg::EventFilter filter_;
  std::vector<reg::PagerEvent> events_;
  std::int64_t total_ = 0;
};

// The "Pager history" dialog. `open_image` receives the written image of
// the chosen event ("Open image"); errors of the register go to `prompts`,
// except when the register cannot be read at all as the dialog is made
// (reg::RegisterError).
class PagerHistoryDialog final : public QDialog {
 public:
  PagerHistoryDialog(reg::Register& reg, RegisterPrompts& prompts,
                     std::function<void(const image::Image&)> open_image, QWidget* parent = nullptr);

  EventTableModel& model() { return model_; }
  QTableView* view() const { return view_; }
  // Search by "Serial" (kind 0) or "Address" (kind 1); empty text shows all.
  void search(int kind, const QString& text);
  // Hands the selected event's written image to open_image; false when
  // nothing is selected or the event has no written image (said in a box).
  bool open_selected();

 private:
  reg::Register& reg_;
  RegisterPrompts& prompts_;
  std::function<void(const image::Image&)> open_image_;
  EventTableModel model_;
  QComboBox* kind_;
  QLineEdit* text_;
  QTableView* view_;
  QPushButton* open_button_;
};

// Register > Pager history...: the dialog, modal; a register that cannot
// be read is said in a box instead.
void show_pager_history(QWidget* parent, reg::Register& reg, std::function<void(const image::Image&)> open_image);

// Register > Release address...: asks for the address, names its holder in
// a Yes/No box, and on Yes releases it (recorded as a reassignment). Returns
// the pager it was released from; nullopt when cancelled, not held, or
// refused (each said in a box).
std::optional<std::string> release_address(QWidget* parent, reg::Register& reg, RegisterPrompts& prompts,
                                           const std::string& bench, const std::string& operator_name);

}  // namespace q5::app
