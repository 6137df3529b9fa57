// The main window's frame: start-up, menus, the message log, and the mirror
// between the settings form and the widgets that show it.
#include "app/Q5_c.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/field_events.h"
#include "app/platform.h"
#include "app/prompts.h"
#include "image/number_text.h"
#include "rules/pager_text.h"

TMain_Page* Main_Page = nullptr;

namespace {

constexpr const char* kPortInitSuccess = "Port init success.";
constexpr const char* kDriverMissing = "Driver missing or disable, can't access the paraller port.";
constexpr const char* kSimulatedPager = "Simulated pager: no parallel port is used.";

// A line edit without a limit, as Qt has it.
constexpr int kNoLimit = 32767;

QString from_latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Characters beyond Latin-1 cannot reach the image; they count as '?'.
std::string to_latin1(const QString& text) { return text.toLatin1().toStdString(); }

QStringList item_texts(const std::vector<std::string>& items) {
  QStringList texts;
  for (const std::string& item : items) texts << from_latin1(item);
  return texts;
}

QStringList item_texts(const QComboBox* combo) {
  QStringList texts;
  for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
  return texts;
}

// A field may hold a longer text than it lets the technician type: a number
// set whole (an address stepped past seven digits) stays visible as it is.
int widget_max_length(const q5::rules::Edit& edit, qsizetype shown) {
  if (edit.max_length == 0) return kNoLimit;
  return static_cast<int>(std::max<qsizetype>(static_cast<qsizetype>(edit.max_length), shown));
}

}  // namespace

TMain_Page::TMain_Page(Platform& platform, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), platform_(platform), prompts_(prompts) {
  setObjectName("Main_Page");
  setAcceptDrops(true);
  ui.setup(this, form_);
  events_ = new FieldEvents(this);
  events_->set_exit_suppressed([this] { return refocus_pending(); });
  bind_form();
  connect_handlers();
  startup();
}

TMain_Page::~TMain_Page() {
  closing_ = true;
  wait_for_transfer_thread();
}

void TMain_Page::startup() {
  port_base_ = q5::link::kLpt1Base;

  // Every Linux kernel reaches the parallel port through ppdev, whatever
  // its version; the devices are opened here and claimed only while a
  // pager command runs.
  const q5::jobs::PortsOpened ports = platform_.open_ports();
  parallel_ports_opened_ = ports.any;
  if (platform_.simulated()) {
    append_log(kSimulatedPager);
  } else if (ports.any) {
    append_log(kPortInitSuccess);
  } else {
    beep();
    append_log(kDriverMissing);
    ui.WritetoPager1->setEnabled(false);
    ui.ReadFromPager1->setEnabled(false);
  }
  Aboutcpp1Click();
  // Why a port cannot be used, for a technician who never sees a terminal.
  for (const std::string& problem : ports.problems) append_log(QString::fromStdString(problem));
  if (ports.any) platform_.timer_init();

  image_.fill(0);
  run([this] { form_.start_up(); });
  for (QWidget* hidden : std::initializer_list<QWidget*>{
           ui.E512bs1, ui.E512bs3, ui.E1200bs1, ui.E1200bs3, ui.E2400bs1, ui.E2400bs3, ui.LRe1,
           ui.LRe3, ui.L512, ui.L1200, ui.L2400}) {
    hidden->setVisible(false);
  }
  ui.PageControl1->setTabVisible(ui.PageControl1->indexOf(ui.TabSheet4), false);

  QString caption = form_.model_flag == 0 ? "Q5 Pager Programmer Customer Version 1.22"
                                          : "Q5V Pager Programmer Customer Version 1.22";
  if (platform_.simulated()) caption += " (simulated pager)";
  setWindowTitle(caption);
}

void TMain_Page::Aboutcpp1Click() {
  append_log(form_.model_flag == 0 ? "Q5 Pager programmer,Windows version 1.22"
                                   : "Q5V Pager programmer,Windows version 1.22");
}

void TMain_Page::Exit1Click() {
  if (transfer_running_) {
    after_transfer_ = [this] { Exit1Click(); };
    return;
  }
  platform_.close_ports();
  close();
}

void TMain_Page::N11Click() { choose_cable(q5::link::kLpt1Base, false); }

void TMain_Page::N21Click() { choose_cable(q5::link::kLpt2Base, false); }

void TMain_Page::N31Click() { choose_cable(port_base_, true); }

// One check mark in the LPT menu. The pager commands need a cable: a
// parallel port that opened at start-up, or the USB board, which is looked
// for only when a command runs.
void TMain_Page::choose_cable(std::uint16_t port_base, bool usb) {
  port_base_ = port_base;
  usb_chosen_ = usb;
  ui.N11->setChecked(!usb && port_base == q5::link::kLpt1Base);
  ui.N21->setChecked(!usb && port_base == q5::link::kLpt2Base);
  ui.N31->setChecked(usb);
  const bool cable_usable = usb || parallel_ports_opened_;
  ui.WritetoPager1->setEnabled(cable_usable);
  ui.ReadFromPager1->setEnabled(cable_usable);
}

void TMain_Page::append_log(const QString& line) { ui.Memo1->appendPlainText(line); }

void TMain_Page::beep() { prompts_.beep(); }

void TMain_Page::guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const q5::ConversionError& error) {
    prompts_.error(QString::fromLatin1(error.what()));
  }
}

void TMain_Page::give_focus_back(QLineEdit* edit) {
  ++pending_refocus_;
  QTimer::singleShot(0, this, [this, edit] {
    edit->setFocus(Qt::OtherFocusReason);
    --pending_refocus_;
  });
}

// ------------------------------------------------------------ the form's mirror

void TMain_Page::sync() {
  // A box shown below may let a deferred focus change run an exit handler,
  // which syncs again: that round is done by the loop here.
  if (syncing_) {
    sync_again_ = true;
    return;
  }
  syncing_ = true;
  do {
    sync_again_ = false;
    q5::jobs::pass_on_notices(form_, [this](const q5::jobs::Report& report) { play(report); });
  } while (sync_again_);
  syncing_ = false;
}

// The widget is set to what the form holds. The widget's own signals still
// go out (anyone may watch a field change), but the mirror's slots ignore
// them while it sets the widget.
void TMain_Page::show_control(const std::string& name) {
  const auto it = bindings_.find(name);
  if (it == bindings_.end()) return;
  QWidget* widget = it->second.widget;
  const bool was_applying = std::exchange(applying_, true);
  std::visit(
      [&](auto* c) {
        using T = std::remove_pointer_t<decltype(c)>;
        if constexpr (std::is_same_v<T, q5::rules::Edit>) {
          auto* edit = static_cast<QLineEdit*>(widget);
          const QString text = from_latin1(c->text);
          edit->setMaxLength(widget_max_length(*c, std::max(text.size(), edit->text().size())));
          if (edit->text() != text) edit->setText(text);
          edit->setMaxLength(widget_max_length(*c, text.size()));
          edit->setEnabled(c->enabled);
        } else if constexpr (std::is_same_v<T, q5::rules::List>) {
          auto* combo = static_cast<QComboBox*>(widget);
          const QStringList items = item_texts(c->items);
          if (item_texts(combo) != items) {
            combo->clear();
            combo->addItems(items);
          }
          combo->setCurrentIndex(c->index);
          combo->setEnabled(c->enabled);
        } else if constexpr (std::is_same_v<T, q5::rules::Check>) {
          auto* check = static_cast<QCheckBox*>(widget);
          check->setChecked(c->checked);
          check->setEnabled(c->enabled);
        } else {
          ui.set_ct_radio_index(c->index);
        }
      },
      it->second.control);
  applying_ = was_applying;
}

void TMain_Page::show_all_controls() {
  for (const q5::rules::NamedControl& control : form_.controls()) show_control(std::string(control.name));
}

// Each widget feeds its user's changes into the form. Values set by code in
// the widgets themselves (not by the mirror, which sets them quietly) count
// as a user's, so a control always shows what the form holds.
void TMain_Page::bind_form() {
  for (const q5::rules::NamedControl& named : form_.controls()) {
    const QString name = QString::fromLatin1(named.name.data(), static_cast<qsizetype>(named.name.size()));
    QWidget* widget = ui.client->findChild<QWidget*>(name);
    if (!widget) continue;
    bindings_.emplace(std::string(named.name), Binding{named.control, widget});
    std::visit(
        [&](auto* c) {
          using T = std::remove_pointer_t<decltype(c)>;
          if constexpr (std::is_same_v<T, q5::rules::Edit>) {
            auto* edit = static_cast<QLineEdit*>(widget);
            connect(edit, &QLineEdit::textChanged, this, [this, c, edit](const QString& text) {
              if (applying_) return;
              // A paste into a message text keeps what the pager can show.
              if (c->keys == q5::rules::KeyFilter::pager_text) {
                const std::string kept = q5::rules::keep_storable_insert(c->text, to_latin1(text));
                if (kept != to_latin1(text)) {
                  edit->setText(from_latin1(kept));
                  return;
                }
              }
              guarded([&] { run([&] { form_.user_edited(*c, to_latin1(text)); }); });
              // Edited back within its limit, the field takes no more again.
              edit->setMaxLength(widget_max_length(*c, edit->text().size()));
            });
            events_->on_exit(edit, [this, c] { guarded([&] { run([&] { form_.user_left(*c); }); }); });
          } else if constexpr (std::is_same_v<T, q5::rules::List>) {
            auto* combo = static_cast<QComboBox*>(widget);
            // The item alone; the change handler runs on a user's choice only.
            connect(combo, &QComboBox::currentIndexChanged, this, [this, c](int index) {
              if (!applying_) form_.user_selected(*c, index);
            });
            connect(combo, &QComboBox::activated, this, [this, c](int index) {
              if (!applying_) guarded([&] { run([&] { form_.user_chose(*c, index); }); });
            });
          } else if constexpr (std::is_same_v<T, q5::rules::Check>) {
            auto* check = static_cast<QCheckBox*>(widget);
            connect(check, &QCheckBox::toggled, this, [this, c](bool checked) {
              if (!applying_) guarded([&] { run([&] { form_.user_clicked(*c, checked); }); });
            });
          } else {
            connect(ui.CtRadioGroup, &QButtonGroup::idToggled, this, [this, c] {
              if (!applying_) run([&] { form_.user_chose(*c, ui.ct_radio_index()); });
            });
          }
        },
        named.control);
    widget->installEventFilter(this);
  }
  listen_to_form();
  show_all_controls();
}

void TMain_Page::listen_to_form() {
  form_.set_change_listener([this](const std::string& name) { show_control(name); });
}

// What the form's rules and the pager jobs ask of the window.
void TMain_Page::play(const q5::jobs::Report& report) {
  using Kind = q5::jobs::Report::Kind;
  switch (report.kind) {
    case Kind::log:
    case Kind::done:
      append_log(from_latin1(report.text));
      break;
    case Kind::beep:
      beep();
      break;
    case Kind::error_box:
      prompts_.error(from_latin1(report.text));
      break;
    case Kind::message_box:
      prompts_.message(from_latin1(report.text));
      break;
    case Kind::focus:
      if (const auto it = bindings_.find(report.text); it != bindings_.end()) {
        if (auto* edit = qobject_cast<QLineEdit*>(it->second.widget)) give_focus_back(edit);
      }
      break;
  }
}

// A control greyed or enabled on the widget itself stays so in the form.
bool TMain_Page::eventFilter(QObject* watched, QEvent* event) {
  // A file dragged over a field (file managers often send its name as text
  // too, which a field would take) still opens as a configuration file.
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    auto* drag = static_cast<QDragMoveEvent*>(event);
    if (!dropped_file(drag->mimeData()).isEmpty()) {
      drag->acceptProposedAction();
      return true;
    }
  } else if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!dropped_file(drop->mimeData()).isEmpty()) {
      dropEvent(drop);
      return true;
    }
  }
  if (event->type() == QEvent::EnabledChange && !applying_) {
    auto* widget = static_cast<QWidget*>(watched);
    const auto it = bindings_.find(widget->objectName().toStdString());
    const bool enabled = !widget->testAttribute(Qt::WA_ForceDisabled);
    if (it != bindings_.end()) {
      std::visit([&](auto* c) { if constexpr (requires { c->enabled; }) c->enabled = enabled; }, it->second.control);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMain_Page::connect_handlers() {
  auto on_action = [this](QAction* action, void (TMain_Page::*handler)()) {
    connect(action, &QAction::triggered, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
  };
  on_action(ui.Open1, &TMain_Page::Open1Click);
  on_action(ui.Save1, &TMain_Page::Save1Click);
  on_action(ui.Exit1, &TMain_Page::Exit1Click);
  on_action(ui.N11, &TMain_Page::N11Click);
  on_action(ui.N21, &TMain_Page::N21Click);
  on_action(ui.N31, &TMain_Page::N31Click);
  on_action(ui.WritetoPager1, &TMain_Page::WritetoPager1Click);
  on_action(ui.ReadFromPager1, &TMain_Page::ReadFromPager1Click);
  on_action(ui.Aboutcpp1, &TMain_Page::Aboutcpp1Click);
  on_action(ui.PagerHistory1, &TMain_Page::PagerHistoryClick);
  on_action(ui.ReleaseAddress1, &TMain_Page::ReleaseAddressClick);
  ui.Register1->menuAction()->setEnabled(false);  // until a register is set

  // Each field's key filter, as its catalogue entry names it.
  for (const q5::rules::NamedControl& named : form_.controls()) {
    const auto* const* edit = std::get_if<q5::rules::Edit*>(&named.control);
    const auto bound = bindings_.find(std::string(named.name));
    if (!edit || bound == bindings_.end()) continue;
    bool (TMain_Page::*filter)(QKeyEvent*) = nullptr;
    switch ((*edit)->keys) {
      case q5::rules::KeyFilter::address:
        filter = &TMain_Page::sc_address1KeyPress;
        break;
      case q5::rules::KeyFilter::digits:
        filter = &TMain_Page::Num_messageKeyPress;
        break;
      case q5::rules::KeyFilter::frequency:
        filter = &TMain_Page::FrequencyKeyPress;
        break;
      case q5::rules::KeyFilter::pager_text:
        filter = &TMain_Page::pager_text_key_press;
        break;
      case q5::rules::KeyFilter::any:
        break;
    }
    if (filter) {
      events_->on_key_press(bound->second.widget, [this, filter](QKeyEvent* key) { return (this->*filter)(key); });
    }
  }

  // Every list but the firmware version is changed with the mouse only.
  for (QComboBox* combo : ui.client->findChildren<QComboBox*>()) {
    if (combo != ui.FirmwareVer) events_->make_mouse_only(combo);
  }
}
