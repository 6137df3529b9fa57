// Write to pager and Read from pager: the pager jobs run on a worker thread
// while the window keeps painting; their reports, the progress window and
// the outcome come back to the window's thread in the order they happened.
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QSemaphore>
#include <QThread>
#include <utility>

#include "app/Q5_c.h"
#include "app/Q5_state.h"
#include "app/platform.h"
#include "app/prompts.h"
#include "app/register_window.h"
#include "files/config_file.h"
#include "jobs/read_job.h"

namespace {

constexpr const char* kWritingCaption = "Writing to eeprom.Please waiting...";
constexpr const char* kReadingCaption = "Reading from eeprom.Please waiting...";
constexpr const char* kReadOk = "Read from eeprom OK!";

// Where the write puts the progress window, from the main window's corner.
constexpr int kProgressOffsetX = 150;
constexpr int kProgressOffsetY = 200;
// The write's bar covers the words written and the verify's read of every
// byte, so that it ends when the verify does.
constexpr int kWriteAdvances = 128 + static_cast<int>(q5::image::kImageSize);

bool is_user_input(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

}  // namespace

// The progress window, driven by the session from the worker thread. Each
// step waits until the window has shown it, so that the bar moves with the
// data and never runs behind the cable.
class TMain_Page::LinkProgress final : public q5::link::Progress {
 public:
  explicit LinkProgress(TMain_Page& page) : page_(page) {}
  void shown(q5::link::Transfer transfer) override {
    page_.post_and_wait([&page = page_, transfer] {
      if (transfer == q5::link::Transfer::writing) {
        page.prepare_progress(kWritingCaption, kWriteAdvances, true);
      } else {
        page.prepare_progress(kReadingCaption, static_cast<int>(q5::image::kImageSize), false);
      }
    });
  }
  void advanced() override {
    page_.post_and_wait([&page = page_] { page.progress_advance(); });
  }
  void hidden() override {
    page_.post_and_wait([&page = page_] { page.close_progress(); });
  }

 private:
  TMain_Page& page_;
};

// While a transfer runs, the form and the menus take no input: the form the
// job works on is the window's, and what a technician typed meanwhile would
// be lost. Other windows (a box) still take theirs. Nothing is disabled, so
// no field loses the focus and no exit rule runs.
class TMain_Page::InputBlocker final : public QObject {
 public:
  explicit InputBlocker(TMain_Page& page) : QObject(&page), page_(page) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!is_user_input(event->type())) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Shortcuts go to the actions themselves.
    if (!widget) return event->type() == QEvent::Shortcut;
    const QWidget* window = widget->window();
    return window == &page_ || window == page_.state_form_;
  }

 private:
  TMain_Page& page_;
};

q5::link::CableAccess& TMain_Page::cable() {
  using q5::jobs::CableChoice;
  return platform_.access(usb_chosen_ ? CableChoice::usb()
                                      : CableChoice::lpt(port_base_ == q5::link::kLpt2Base ? 1 : 0));
}

// ------------------------------------------------------------ the worker

void TMain_Page::start_transfer(std::function<void()> work) {
  wait_for_transfer_thread();
  transfer_running_ = true;
  if (!input_blocker_) input_blocker_ = new InputBlocker(*this);
  qApp->installEventFilter(input_blocker_);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  transfer_.reset(QThread::create(std::move(work)));
  transfer_->start();
}

void TMain_Page::end_transfer() {
  if (!transfer_running_) return;
  transfer_running_ = false;
  qApp->removeEventFilter(input_blocker_);
  QApplication::restoreOverrideCursor();
}

void TMain_Page::wait_for_transfer_thread() {
  if (!transfer_) return;
  transfer_->wait();
  transfer_.reset();
}

void TMain_Page::post(std::function<void()> step) {
  QMetaObject::invokeMethod(
      this,
      [this, step = std::move(step)]() mutable {
        posted_steps_.push_back(std::move(step));
        play_posted_steps();
      },
      Qt::QueuedConnection);
}

void TMain_Page::post_and_wait(std::function<void()> step) {
  auto shown = std::make_shared<QSemaphore>();
  post([step = std::move(step), shown] {
    step();
    shown->release();
  });
  // A window that is going away shows nothing more.
  constexpr int kLookMs = 50;
  while (!shown->tryAcquire(1, kLookMs)) {
    if (closing_) return;
  }
}

void TMain_Page::play_posted_steps() {
  // A box shown by one step runs its own event loop, in which later steps
  // arrive: they wait for it, as the command itself would.
  if (playing_posted_steps_) return;
  playing_posted_steps_ = true;
  while (!posted_steps_.empty()) {
    const std::function<void()> step = std::move(posted_steps_.front());
    posted_steps_.pop_front();
    guarded(step);
  }
  playing_posted_steps_ = false;
}

void TMain_Page::closeEvent(QCloseEvent* event) {
  if (transfer_running_) {
    event->ignore();
    after_transfer_ = [this] { close(); };
    return;
  }
  QMainWindow::closeEvent(event);
}

// ------------------------------------------------------------ progress window

void TMain_Page::prepare_progress(const char* caption, int maximum, bool move_beside_main) {
  if (!state_form_) return;
  if (move_beside_main) state_form_->move(x() + kProgressOffsetX, y() + kProgressOffsetY);
  state_form_->setWindowTitle(caption);
  state_form_->set_maximum(maximum);
  state_form_->show();
  state_form_->step_it();
}

void TMain_Page::close_progress() {
  if (state_form_) state_form_->hide();
}

void TMain_Page::progress_advance() {
  if (state_form_) state_form_->step_by(1);
}

// ------------------------------------------------------------ the commands

void TMain_Page::WritetoPager1Click() {
  if (transfer_running_) return;
  // The job works on a copy of the form, which the window takes over when
  // the job ends; only the window's thread touches the widgets.
  auto done = std::make_shared<q5::rules::Form>(form_);
  done->set_change_listener(nullptr);
  q5::jobs::WriteSettings settings;
  settings.batch_log = batch_log_;
  settings.reg = register_use_;
  q5::link::CableAccess* access = &cable();
  start_transfer([this, done, access, settings] {
    LinkProgress progress(*this);
    q5::jobs::WriteJob job(
        *done, *access, &progress, [this](const q5::jobs::Report& report) { post([this, report] { play(report); }); },
        settings);
    const q5::jobs::WriteOutcome outcome = job.run();
    post([this, done, outcome] { finish_write(*done, outcome); });
  });
}

void TMain_Page::finish_write(const q5::rules::Form& done, const q5::jobs::WriteOutcome& outcome) {
  end_transfer();
  form_ = done;
  listen_to_form();
  show_all_controls();
  if (outcome.image) image_ = *outcome.image;
  emit transfer_ended();
  if (after_transfer_) std::exchange(after_transfer_, nullptr)();
}

void TMain_Page::ReadFromPager1Click() {
  if (transfer_running_) return;
  q5::link::CableAccess* access = &cable();
  q5::jobs::ReadSettings settings;
  settings.reg = register_use_;
  start_transfer([this, access, settings] {
    LinkProgress progress(*this);
    const q5::link::SessionResult result = q5::jobs::run_read(
        *access, &progress, [this](const q5::jobs::Report& report) { post([this, report] { play(report); }); },
        settings);
    post([this, result] { finish_read(result); });
  });
}

void TMain_Page::finish_read(const q5::link::SessionResult& result) {
  end_transfer();
  if (result.pager) image_ = *result.pager;
  if (after_transfer_) {
    emit transfer_ended();
    std::exchange(after_transfer_, nullptr)();
    return;
  }
  if (result.outcome != q5::link::Outcome::ok) {
    emit transfer_ended();  // reported by the job
    return;
  }

  run([this] {
    form_.decode(image_);
    form_.Alert_typeChange();
    form_.Dup_msg_rejection_chekboxClick();
  });
  append_log(kReadOk);
  run([this] {
    form_.Urgent_call_addrChange();
    form_.Special_vib_timeChange();
    form_.Vib_patternChange();
    form_.lcdmannulCBChange();
  });
  prompts_.message(kReadOk);
  run([this] {
    for (int row = 0; row < 4; ++row) form_.sc_addressExit(row);
    form_.Serial_noExit();
    form_.FrequencyExit();
    form_.Num_messageChange();
    form_.PasswordExit();
  });
  emit transfer_ended();
}

// ------------------------------------------------------------ the register

void TMain_Page::set_register(std::unique_ptr<q5::reg::Register> reg, std::string name, std::string unusable,
                              std::unique_ptr<q5::reg::PendingEvents> pending) {
  register_ = std::move(reg);
  pending_events_ = std::move(pending);
  register_use_ = {};
  register_use_.reg = register_.get();
  register_use_.unusable = unusable;
  register_use_.pending = pending_events_.get();
  if (!unusable.empty()) {
    append_log(QString::fromStdString("Register: " + unusable + " - pagers are not written until it can be used"));
  } else if (register_) {
    append_log(QString::fromStdString("Register: " + name));
  } else {
    append_log("Register: none (started with --no-register)");
  }
  ui.Register1->menuAction()->setEnabled(register_ != nullptr);
}

void TMain_Page::PagerHistoryClick() {
  if (!register_ || transfer_running_) return;
  q5::app::show_pager_history(this, *register_, [this](const q5::image::Image& image) {
    // As File > Open shows a file: the same checks, then the form.
    append_log("Load data from the register");
    image_ = image;
    if (q5::image::verify(image_) != q5::image::ChecksumFault::none) {
      prompts_.message(q5::files::refusal_text(q5::files::OpenRefusal::checksum));
      return;
    }
    if (q5::image::model_bit(image_)) {
      prompts_.message(q5::files::refusal_text(q5::files::OpenRefusal::model));
      return;
    }
    run([this] { form_.show_file(image_); });
    append_log("File loaded.OK !");
  });
}

void TMain_Page::ReleaseAddressClick() {
  if (!register_ || transfer_running_) return;
  q5::app::QtRegisterPrompts register_prompts;
  const q5::jobs::BenchIdentity bench = q5::jobs::this_bench();
  if (const auto holder =
          q5::app::release_address(this, *register_, register_prompts, bench.bench, bench.operator_name)) {
    append_log(QString::fromStdString("Register: address released from pager " + *holder));
  }
}
