// The main window: the settings form and every command of the program.
//
// The settings and their rules live in q5::rules::Form; the window shows
// that form in Qt widgets. A user's edit, choice, click or leaving a field
// goes into the form, whose handler runs there; what the handler changed is
// then shown, and what it asked for (log lines, beeps, error boxes, the
// focus given back) is done, in order. Each control's handlers and key
// filter come from its entry in the form's catalogue; the key filters act
// on the widget and so are methods of this class.
//
// Handlers may throw q5::ConversionError: the slot Qt calls catches it (see
// guarded()), so an error ends the handler and any command that called it,
// and is shown in the application's error box.
#pragma once

#include <QMainWindow>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/Q5_form.h"
#include "image/image.h"
#include "jobs/report.h"
#include "jobs/write_job.h"
#include "link/pager_session.h"
#include "link/port_io.h"
#include "rules/form.h"

class Platform;
class Prompts;
class TState_Form;
class FieldEvents;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QMimeData;
class QLineEdit;
class QThread;

class TMain_Page : public QMainWindow {
  Q_OBJECT

 public:
  TMain_Page(Platform& platform, Prompts& prompts, QWidget* parent = nullptr);
  ~TMain_Page() override;

  MainPageForm ui;

  // The progress window is created after the main window.
  void set_state_form(TState_Form* state_form) { state_form_ = state_form; }

  // Application-wide state.
  std::uint16_t port_base() const { return port_base_; }
  int model_flag() const { return form_.model_flag; }
  const q5::image::Image& image() const { return image_; }
  int step_offset() const { return form_.Step_offset; }
  bool high_band_list() const { return form_.High_band_list; }
  const q5::rules::Form& form() const { return form_; }
  void append_log(const QString& line);

  // Start-up, menus.
  void Aboutcpp1Click();
  void Exit1Click();
  void N11Click();
  void N21Click();
  void N31Click();  // the USB cable
  bool usb_chosen() const { return usb_chosen_; }

  // The key filters the catalogue names for the fields (true: the key was
  // used up).
  bool sc_address1KeyPress(QKeyEvent* key);
  bool Num_messageKeyPress(QKeyEvent* key);
  bool FrequencyKeyPress(QKeyEvent* key);
  bool pager_text_key_press(QKeyEvent* key);  // the message texts

  // Image.
  void encode_image();
  void decode_image();

  // Runs one of the form's rules as an event does and shows its outcome.
  void run_rule(void (q5::rules::Form::*rule)());

  // Files.
  void Save1Click();
  void Open1Click();
  // Opens `path` as File > Open does once its dialog has given the name
  // (the command line and a file dropped on the window come here).
  void open_file(const QString& path);

  // The pager register the commands record in: `reg` null and `unusable`
  // empty for none; `unusable` says why a chosen one cannot be used (every
  // write is refused then). Logged as the last start-up line.
  void set_register(std::unique_ptr<q5::reg::Register> reg, std::string name, std::string unusable,
                    std::unique_ptr<q5::reg::PendingEvents> pending);
  // The Register menu's commands.
  void PagerHistoryClick();
  void ReleaseAddressClick();

  // Where every write attempt is logged as a CSV row; empty: nowhere.
  void set_batch_log(const std::string& path) { batch_log_ = path; }
  const std::string& batch_log() const { return batch_log_; }

  // Pager. Each command runs its transfer on a worker thread and returns at
  // once; the window takes no input until the transfer has ended.
  void WritetoPager1Click();
  void ReadFromPager1Click();
  bool transfer_running() const { return transfer_running_; }

 signals:
  // A pager command has ended and its outcome has been shown.
  void transfer_ended();

 public:

  // Runs a handler as Qt's event dispatch would: a conversion error is
  // caught here and shown in the error box.
  void guarded(const std::function<void()>& handler);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Closing the window during a transfer waits for it to end.
  void closeEvent(QCloseEvent* event) override;
  // A configuration file dropped on the window opens as File > Open would.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // The one local file a drop carries, or nothing.
  static QString dropped_file(const QMimeData* data);

 private:
  class LinkProgress;
  class InputBlocker;

  void startup();
  void connect_handlers();
  void bind_form();
  void beep();

  // Runs `step` on the form and shows its outcome, also when it throws.
  template <typename Step>
  void run(Step&& step);
  // Shows what the form changed and does what its rules asked for.
  void sync();
  void show_control(const std::string& name);
  void show_all_controls();

  // Giving the focus back from inside a focus-out: deferred, so that the
  // widget the focus went to is not left half-entered.
  void give_focus_back(QLineEdit* edit);
  bool refocus_pending() const { return pending_refocus_ > 0; }

  // Pager link.
  q5::link::CableAccess& cable();
  void choose_cable(std::uint16_t port_base, bool usb);
  // Runs `work` on the worker thread; the window takes no input meanwhile.
  void start_transfer(std::function<void()> work);
  void end_transfer();
  void wait_for_transfer_thread();
  // From the worker: `step` runs on the window's thread, after every step
  // posted before it, never inside another (a box's own event loop).
  void post(std::function<void()> step);
  // The same, waiting until the window has run it.
  void post_and_wait(std::function<void()> step);
  void play_posted_steps();
  void play(const q5::jobs::Report& report);
  void finish_write(const q5::rules::Form& done, const q5::jobs::WriteOutcome& outcome);
  void finish_read(const q5::link::SessionResult& result);
  void listen_to_form();
  void prepare_progress(const char* caption, int maximum, bool move_beside_main);
  void close_progress();
  void progress_advance();

  Platform& platform_;
  Prompts& prompts_;
  TState_Form* state_form_ = nullptr;
  FieldEvents* events_ = nullptr;

  q5::rules::Form form_;
  // Each of the form's controls and the widget that shows it, by name.
  struct Binding {
    q5::rules::ControlRef control;
    QWidget* widget;
  };
  std::unordered_map<std::string, Binding> bindings_;
  bool syncing_ = false;
  bool applying_ = false;  // the mirror is setting a widget
  bool sync_again_ = false;

  std::uint16_t port_base_ = 0x378;
  bool usb_chosen_ = false;
  bool parallel_ports_opened_ = false;
  q5::image::Image image_{};
  std::string batch_log_;
  std::unique_ptr<q5::reg::Register> register_;
  std::unique_ptr<q5::reg::PendingEvents> pending_events_;
  q5::jobs::RegisterUse register_use_;

  std::unique_ptr<QThread> transfer_;
  bool transfer_running_ = false;
  std::atomic<bool> closing_{false};
  InputBlocker* input_blocker_ = nullptr;
  std::deque<std::function<void()>> posted_steps_;
  bool playing_posted_steps_ = false;
  // What closing the window during a transfer asked for, done once it ends.
  std::function<void()> after_transfer_;
  int pending_refocus_ = 0;
};

template <typename Step>
void TMain_Page::run(Step&& step) {
  try {
    step();
  } catch (...) {
    sync();
    throw;
  }
  sync();
}

extern TMain_Page* Main_Page;
