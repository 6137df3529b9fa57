#include "app/register_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace q5::app {

namespace {

QString text_of(const std::string& text) { return QString::fromStdString(text); }

QString serial_shown(const reg::PagerEvent& e) {
  if (e.command == "write" && !e.serial_written.empty() && e.serial_written != e.serial_read) {
    return text_of(e.serial_read.empty() ? e.serial_written : e.serial_read + " -> " + e.serial_written);
  }
  return text_of(e.serial_read.empty() ? e.serial_written : e.serial_read);
}

QString addresses_shown(const reg::PagerEvent& e) {
  QStringList parts;
  for (const reg::AddressSlot& slot : e.addresses) {
    if (slot.address.empty()) continue;
    parts << text_of(slot.address) + (slot.enabled ? QString() : QStringLiteral(" (off)"));
  }
  return parts.join(QStringLiteral(", "));
}

}  // namespace

std::optional<QString> QtRegisterPrompts::ask_address(QWidget* parent) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent, QStringLiteral("Release address"),
                                             QStringLiteral("Address to release:"), QLineEdit::Normal, QString(), &ok);
  if (!ok) return std::nullopt;
  return text.trimmed();
}

bool QtRegisterPrompts::confirm(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, QStringLiteral("Release address"), text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void QtRegisterPrompts::inform(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QStringLiteral("Register"), text);
}

EventTableModel::EventTableModel(reg::Register& reg, QObject* parent) : QAbstractTableModel(parent), reg_(reg) {
  set_filter({});
}

void EventTableModel::set_filter(const reg::EventFilter& filter) {
  beginResetModel();
  filter_ = filter;
  events_.clear();
  total_ = reg_.count_events(filter_);
  endResetModel();
  fetchMore(QModelIndex());  // the first page at once, as the dialog opens
}

int EventTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(events_.size());
}

int EventTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : column_count; }

QVariant EventTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const reg::PagerEvent& e = event_at(index.row());
  switch (index.column()) {
    case time:
      return text_of(e.time_utc);
    case bench:
      return text_of(e.bench);
    case operator_name:
      return text_of(e.operator_name);
    case command:
      return text_of(e.command);
    case result:
      return text_of(e.result);
    case serial:
      return serial_shown(e);
    case addresses:
      return addresses_shown(e);
    default:
      return {};
  }
}

QVariant EventTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  static const char* const kTitles[] = {"Time (UTC)", "Bench", "Operator", "Command", "Result", "Serial", "Addresses"};
  return section >= 0 && section < column_count ? QString::fromLatin1(kTitles[section]) : QVariant();
}

bool EventTableModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && static_cast<std::int64_t>(events_.size()) < total_;
}

void EventTableModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid()) return;
  std::vector<reg::PagerEvent> page;
  try {
    page = reg_.events(filter_, static_cast<std::int64_t>(events_.size()), kPageSize);
  } catch (const reg::RegisterError&) {
    total_ = static_cast<std::int64_t>(events_.size());  // show what there is; no endless retries
    return;
  }
  if (page.empty()) {
    total_ = static_cast<std::int64_t>(events_.size());
    return;
  }
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(page.size()) - 1);
  events_.insert(events_.end(), std::make_move_iterator(page.begin()), std::make_move_iterator(page.end()));
  endInsertRows();
}

PagerHistoryDialog::PagerHistoryDialog(reg::Register& reg, RegisterPrompts& prompts,
                                       std::function<void(const image::Image&)> open_image, QWidget* parent)
    : QDialog(parent), reg_(reg), prompts_(prompts), open_image_(std::move(open_image)), model_(reg, this) {
  setWindowTitle(QStringLiteral("Pager history"));
  kind_ = new QComboBox(this);
  kind_->addItems({QStringLiteral("Serial"), QStringLiteral("Address")});
  text_ = new QLineEdit(this);
  text_->setPlaceholderText(QStringLiteral("all events"));
  auto* find = new QPushButton(QStringLiteral("Search"), this);
  view_ = new QTableView(this);
  view_->setModel(&model_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->verticalHeader()->hide();
  open_button_ = new QPushButton(QStringLiteral("Open image"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  auto* search_row = new QHBoxLayout;
  search_row->addWidget(new QLabel(QStringLiteral("Search by"), this));
  search_row->addWidget(kind_);
  search_row->addWidget(text_, 1);
  search_row->addWidget(find);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(open_button_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(search_row);
  layout->addWidget(view_, 1);
  layout->addLayout(buttons);
  resize(900, 500);
  const auto run_search = [this] { search(kind_->currentIndex(), text_->text()); };
  connect(find, &QPushButton::clicked, this, run_search);
  connect(text_, &QLineEdit::returnPressed, this, run_search);
  connect(open_button_, &QPushButton::clicked, this, [this] { open_selected(); });
  connect(view_, &QTableView::doubleClicked, this, [this] { open_selected(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void PagerHistoryDialog::search(int kind, const QString& text) {
  reg::EventFilter filter;
  (kind == 0 ? filter.serial : filter.address) = text.trimmed().toStdString();
  try {
    model_.set_filter(filter);
  } catch (const reg::RegisterError& error) {
    prompts_.inform(this, QString::fromStdString(error.what()));
  }
}

bool PagerHistoryDialog::open_selected() {
  const QModelIndexList rows = view_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return false;
  const std::int64_t id = model_.event_at(rows.first().row()).id;
  try {
    const std::optional<reg::PagerEvent> event = reg_.event(id);
    if (!event || !event->image_after) {
      prompts_.inform(this, QStringLiteral("This event has no written image."));
      return false;
    }
    open_image_(*event->image_after);
    return true;
  } catch (const reg::RegisterError& error) {
    prompts_.inform(this, QString::fromStdString(error.what()));
    return false;
  }
}

void show_pager_history(QWidget* parent, reg::Register& reg, std::function<void(const image::Image&)> open_image) {
  QtRegisterPrompts prompts;
  try {
    PagerHistoryDialog dialog(reg, prompts, std::move(open_image), parent);
    dialog.exec();
  } catch (const reg::RegisterError& error) {
    prompts.inform(parent, QString::fromStdString(error.what()));
  }
}

std::optional<std::string> release_address(QWidget* parent, reg::Register& reg, RegisterPrompts& prompts,
                                           const std::string& bench, const std::string& operator_name) {
  const std::optional<QString> given = prompts.ask_address(parent);
  if (!given || given->isEmpty()) return std::nullopt;
  const std::string address = given->toStdString();
  try {
    const reg::AddressInfo info = reg.find(address);
    if (!info.holder) {
      prompts.inform(parent, QStringLiteral("Address %1 is held by no pager.").arg(text_of(info.address)));
      return std::nullopt;
    }
    if (!prompts.confirm(parent, QStringLiteral("Release address %1 from pager %2?")
                                     .arg(text_of(info.address), text_of(*info.holder)))) {
      return std::nullopt;
    }
    return reg.release(address, bench, operator_name);
  } catch (const reg::RegisterError& error) {
    prompts.inform(parent, QString::fromStdString(error.what()));
    return std::nullopt;
  }
}

}  // namespace q5::app
