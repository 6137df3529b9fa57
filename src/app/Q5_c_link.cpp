// Write to pager and Read from pager: the form and the pager's EEPROM. The
// sequence of each command is the pager session's; the window brings the
// form in and out and shows the result.
#include <QApplication>
#include <ctime>

#include "app/Q5_c.h"
#include "app/Q5_state.h"
#include "app/platform.h"
#include "app/prompts.h"
#include "files/batch_log.h"
#include "rules/batch_row.h"

namespace {

constexpr const char* kWritingCaption = "Writing to eeprom.Please waiting...";
constexpr const char* kReadingCaption = "Reading from eeprom.Please waiting...";
constexpr const char* kReadOk = "Read from eeprom OK!";

// Where the write puts the progress window, from the main window's corner.
constexpr int kProgressOffsetX = 150;
constexpr int kProgressOffsetY = 200;
constexpr int kWords = 128;

// The transfer blocks the event loop; the progress window is repainted at
// most this often. Repainting on every one of a read's 256 advances would
// add about a fifth to the read.
constexpr qint64 kRepaintIntervalMs = 30;

QString text(const std::string& message) { return QString::fromStdString(message); }

}  // namespace

// The progress window, driven by the session.
class TMain_Page::LinkProgress final : public q5::link::Progress {
 public:
  explicit LinkProgress(TMain_Page& page) : page_(page) {}
  void shown(q5::link::Transfer transfer) override {
    if (transfer == q5::link::Transfer::writing) {
      page_.prepare_progress(kWritingCaption, kWords, true);
    } else {
      page_.prepare_progress(kReadingCaption, static_cast<int>(q5::image::kImageSize), false);
    }
  }
  void advanced() override { page_.progress_advance(); }
  void hidden() override { page_.close_progress(); }

 private:
  TMain_Page& page_;
};

q5::link::CableAccess& TMain_Page::cable() {
  if (usb_chosen_) return platform_.usb();
  return platform_.lpt(port_base_ == q5::link::kLpt2Base ? 1 : 0);
}

void TMain_Page::report_link_failure(const q5::link::SessionResult& result, const std::string& message) {
  close_progress();
  // Why a cable could not be used at all (a device missing, a board not
  // found); a port in use names its holder's port in the message itself.
  if (result.outcome == q5::link::Outcome::link_error && !result.cause.empty()) append_log(text(result.cause));
  beep();
  append_log(text(message));
  prompts_.message(text(message));
}

void TMain_Page::prepare_progress(const char* caption, int maximum, bool move_beside_main) {
  if (!state_form_) return;
  if (move_beside_main) state_form_->move(x() + kProgressOffsetX, y() + kProgressOffsetY);
  state_form_->setWindowTitle(caption);
  state_form_->set_maximum(maximum);
  state_form_->show();
  state_form_->step_it();
  repaint_now();
}

void TMain_Page::repaint_now() {
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  repaint_timer_.restart();
}

void TMain_Page::close_progress() {
  if (state_form_) state_form_->hide();
}

void TMain_Page::progress_advance() {
  if (!state_form_) return;
  state_form_->step_by(1);
  if (state_form_->isVisible() && repaint_timer_.elapsed() >= kRepaintIntervalMs) repaint_now();
}

void TMain_Page::WritetoPager1Click() {
  // An address past seven digits would reach the pager as another address.
  bool refused = false;
  run([&] { refused = form_.refuse_overlong_address(); });
  if (refused) return;

  encode_image();
  LinkProgress progress(*this);
  q5::link::PagerSession session(cable(), &progress);
  const q5::link::SessionResult result = session.write([this](const q5::image::Image& pager) {
    image_ = pager;
    // The pager's synthesiser and firmware, then the rules a write runs
    // before the image it writes is built.
    run([&] { form_.prepare_for_write(pager); });
    encode_image();
    return image_;
  });

  switch (result.outcome) {
    case q5::link::Outcome::ok:
      append_log(text(q5::link::write_message(result)));
      log_write_attempt(result);
      run([this] {
        form_.advance_addresses();
        if (form_.CheckBox1.checked) form_.step_serial();
      });
      return;
    case q5::link::Outcome::model_refused:
      if (result.pager) image_ = *result.pager;
      prompts_.message(text(q5::link::write_message(result)));
      log_write_attempt(result);
      return;
    default:
      report_link_failure(result, q5::link::write_message(result));
      log_write_attempt(result);
      return;
  }
}

// Every attempt to write a pager is a row of the batch log. The pager counts
// as written whether or not the row could be: the log only says why not.
void TMain_Page::log_write_attempt(const q5::link::SessionResult& result) {
  if (batch_log_.empty()) return;
  const q5::files::BatchLogRow row = q5::rules::batch_log_row(
      std::time(nullptr), q5::link::write_message(result), result.written ? &form_ : nullptr);
  if (const auto failure = q5::files::append(batch_log_, row)) {
    append_log("Batch log not written: " + QString::fromStdString(*failure));
  }
}

void TMain_Page::ReadFromPager1Click() {
  LinkProgress progress(*this);
  q5::link::PagerSession session(cable(), &progress);
  const q5::link::SessionResult result = session.read();
  if (result.pager) image_ = *result.pager;
  if (result.outcome == q5::link::Outcome::model_refused) {
    prompts_.message(text(q5::link::read_message(result)));
    return;
  }
  if (result.outcome != q5::link::Outcome::ok) {
    report_link_failure(result, q5::link::read_message(result));
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
}
