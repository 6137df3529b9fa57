// read and write: pagers through the same session as the window's
// Read_From_Pager and Write_to_Pager, with a batch of pagers stepped on
// one configuration file.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <istream>
#include <ostream>
#include <set>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/form_file.h"
#include "cli/text.h"
#include "files/config_file.h"
#include "image/number_text.h"
#include "jobs/read_job.h"
#include "jobs/write_job.h"
#include "register/register.h"

namespace q5::cli {

namespace {

volatile std::sig_atomic_t interrupt_pressed = 0;

void on_interrupt(int) { interrupt_pressed = 1; }

// While the batch waits for the next pager, Ctrl-C ends the batch instead
// of the program: FILE already holds the last verified pager. Installed
// without SA_RESTART, so that a wait for Enter returns at once.
class InterruptWatch {
 public:
  InterruptWatch() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &before_);
  }
  ~InterruptWatch() { sigaction(SIGINT, &before_, nullptr); }
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  struct sigaction before_ {};
};

// The hands-free batch's polls, and how many alike in a row settle it.
constexpr std::chrono::milliseconds kPollInterval{500};
constexpr int kChecksInARow = 2;

// Why nothing could be written at `path` (a file replaced or appended to,
// or created in its folder); nullopt when it can be.
std::optional<std::string> cannot_write(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::exists(path, error)) {
    if (!fs::is_regular_file(path, error)) return "not a regular file";
    if (::access(path.c_str(), W_OK) == 0) return std::nullopt;
  }
  const fs::path parent = fs::path(path).parent_path();
  const std::string folder = parent.empty() ? "." : parent.string();
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return std::nullopt;
  return std::string(std::strerror(errno));
}

bool same_file(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error);
  return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

constexpr const char* kFileOpenError = "File open error";
constexpr const char* kFileWriteError = "File write error";

// The cable chosen, with why it cannot be used said once.
std::unique_ptr<OpenedCable> opened(const CableChoice& choice, const Environment& environment, std::ostream& err) {
  std::unique_ptr<OpenedCable> cable = environment.open_cable(choice);
  for (const std::string& problem : cable->problems()) err << problem << '\n';
  return cable;
}

std::optional<std::string> save_error(files::SaveResult result) {
  switch (result) {
    case files::SaveResult::ok:
      return std::nullopt;
    case files::SaveResult::open_error:
      return kFileOpenError;
    case files::SaveResult::write_error:
      return kFileWriteError;
  }
  return kFileWriteError;
}

// The register the command line chose, open for one command. One that
// cannot be used says why in `use`, and the write job refuses to write.
struct OpenedRegister {
  std::unique_ptr<reg::Register> reg;
  std::unique_ptr<reg::PendingEvents> pending;
  jobs::RegisterUse use;
};

OpenedRegister open_chosen_register(const RegisterChoice& choice, bool simulated) {
  OpenedRegister opened;
  try {
    const reg::Location location = choice.location(simulated);
    if (location.kind == reg::Location::Kind::none) return opened;
    opened.pending = std::make_unique<reg::PendingEvents>(reg::default_pending_path(simulated));
    opened.reg = reg::open_register(location);
  } catch (const reg::RegisterError& error) {
    opened.use.unusable = error.what();
  }
  opened.use.reg = opened.reg.get();
  opened.use.pending = opened.pending.get();
  return opened;
}

// What a verified pager got, for the technician's record.
std::string written_line(const jobs::WrittenPager& written, int pager, int count) {
  std::string line = "pager " + std::to_string(pager) + " of " + std::to_string(count) + " written: serial " +
                     latin1_to_utf8(written.serial);
  for (std::size_t row = 0; row < written.addresses.size(); ++row) {
    line += ", address" + std::to_string(row + 1) + " " + latin1_to_utf8(written.addresses[row].address);
    if (!written.addresses[row].enabled) line += " (disabled)";
  }
  return line;
}

// A job's reports as lines on standard error, each once. Beeps and the
// focus have no place here, and a command's success line is worded by the
// command itself.
class ErrorLines {
 public:
  ErrorLines(std::ostream& err, std::set<std::string>& printed) : err_(err), printed_(printed) {}
  void operator()(const jobs::Report& report) {
    using Kind = jobs::Report::Kind;
    if (report.kind != Kind::log && report.kind != Kind::error_box && report.kind != Kind::message_box) return;
    const std::string text = latin1_to_utf8(report.text);
    if (printed_.insert(text).second) err_ << text << '\n';
  }

 private:
  std::ostream& err_;
  std::set<std::string>& printed_;
};

class Batch {
 public:
  Batch(const WriteOptions& options, Streams streams, const Environment& environment)
      : options_(options), streams_(streams), environment_(environment) {}

  int run();

 private:
  // How a pager's attempt leaves the batch.
  enum class Step { next, stop_before_write, failed };

  // A pager refused before it was touched: FILE holds the last verified one.
  int stop_status() const {
    if (written_ > 0) streams_.err << written_ << " of " << options_.count << " pagers written\n";
    return kRefused;
  }
  Step write_one(OpenedCable& cable, link::Progress* progress, int pager);
  bool next_pager_connected(OpenedCable& cable, int pager);
  bool link_settles(OpenedCable& cable, bool connected);
  std::optional<std::string> cannot_start() const;
  int ended_early(const char* why) const;
  void bell(int times) const {
    if (options_.hands_free) streams_.err << std::string(static_cast<std::size_t>(times), '\a') << std::flush;
  }
  bool save_stepped_file();
  // Each warning once for each pager (the load's count for the first).
  void report() { (void)report_notices_once(form_, streams_.err, printed_); }

  const WriteOptions& options_;
  OpenedRegister register_;
  Streams streams_;
  const Environment& environment_;
  rules::Form form_ = started_form();
  image::Image file_{};
  int written_ = 0;
  bool save_failed_ = false;
  bool interrupted_ = false;  // Ctrl-C while waiting for the next pager
  // The batch log or the register failed for a pager that was written.
  bool stop_after_pager_ = false;
  std::set<std::string> printed_;
};

int Batch::run() {
  if (const auto refusal = open_into(options_.file, form_, file_)) {
    streams_.err << *refusal << '\n';
    return kRefused;
  }
  report();
  // Neither the offsets nor the "Auto" box are in a file.
  for (std::size_t row = 0; row < form_.sc_autoinc.size(); ++row) {
    form_.user_chose(form_.sc_autoinc[row], options_.offsets[row]);
  }
  if (options_.auto_serial) {
    form_.user_clicked(form_.CheckBox1, true);
    // Better refused now than after the first pager, which could not be
    // followed by the next serial number.
    try {
      (void)strict_to_int(form_.Serial_no.text);
    } catch (const ConversionError& error) {
      streams_.err << "Serial_no: " << latin1_to_utf8(error.what()) << '\n';
      return kRefused;
    }
  }

  // What would fail only after a pager is written fails now.
  if (const auto why = cannot_start()) {
    streams_.err << *why << '\n';
    return kRefused;
  }
  const std::unique_ptr<OpenedCable> cable = opened(options_.cable, environment_, streams_.err);
  register_ = open_chosen_register(options_.register_choice, options_.cable.simulated);
  register_.use.allocate = options_.allocate;
  register_.use.allocate_serial = options_.allocate_serial;
  register_.use.reassign = options_.reassign;
  TerminalProgress bar(streams_.err);
  for (int pager = 1; pager <= options_.count; ++pager) {
    if (pager > 1) {
      if (!next_pager_connected(*cable, pager)) return ended_early(interrupted_ ? "Interrupted" : "End of input");
      printed_.clear();
    }
    switch (write_one(*cable, environment_.progress_bar ? &bar : nullptr, pager)) {
      case Step::next:
        break;
      case Step::stop_before_write:
        return stop_status();
      case Step::failed:
        bell(3);
        return kPagerFailed;
    }
    bell(1);
    if (save_failed_ || stop_after_pager_) return kFileNotStepped;
  }
  return kSuccess;
}

std::optional<std::string> Batch::cannot_start() const {
  if (const auto why = cannot_write(options_.file)) return options_.file + " cannot be saved: " + *why;
  if (options_.log.empty()) return std::nullopt;
  if (same_file(options_.log, options_.file)) return "--log names FILE itself: the batch log would overwrite it";
  if (const auto why = cannot_write(options_.log)) return "--log " + options_.log + " cannot be appended to: " + *why;
  return std::nullopt;
}

int Batch::ended_early(const char* why) const {
  streams_.err << why << ": " << written_ << " of " << options_.count << " pagers written\n";
  return kEndedEarly;
}

bool Batch::next_pager_connected(OpenedCable& cable, int pager) {
  const InterruptWatch watch;
  interrupt_pressed = 0;
  if (options_.hands_free) {
    streams_.err << "Take pager " << pager - 1 << " off the cable" << std::endl;
    if (!link_settles(cable, false)) return false;
    streams_.err << "Connect pager " << pager << std::endl;
    return link_settles(cable, true);
  }
  streams_.err << "Connect pager " << pager << " of " << options_.count << " and press Enter" << std::endl;
  std::string line;
  const bool entered = std::getline(streams_.in, line).good();
  interrupted_ = environment_.interrupted();
  return entered && !interrupted_;
}

// Link checks every half second until `connected` has been seen twice in a
// row. A port another program holds tells nothing either way. Each check
// claims the cable for itself alone and writes nothing, so a pager left on
// the cable is never written twice.
bool Batch::link_settles(OpenedCable& cable, bool connected) {
  link::PagerSession session(cable.access(), nullptr);
  int alike = 0;
  for (;;) {
    if (environment_.interrupted()) {
      interrupted_ = true;
      return false;
    }
    const link::LinkCheck check = session.check_link();
    if (check.state != link::LinkState::port_in_use) {
      alike = (check.state == link::LinkState::connected) == connected ? alike + 1 : 0;
    }
    if (alike >= kChecksInARow) return true;
    environment_.pause(kPollInterval);
  }
}

Batch::Step Batch::write_one(OpenedCable& cable, link::Progress* progress, int pager) {
  jobs::WriteSettings settings;
  settings.batch_log = options_.log;
  settings.now = environment_.now;
  // The chosen port's problem has said why already.
  settings.log_cable_cause = cable.problems().empty();
  settings.refuse_equal_addresses = true;
  settings.all_words = options_.all_words;
  settings.reg = register_.use;
  jobs::WriteJob job(form_, cable.access(), progress, ErrorLines(streams_.err, printed_), settings);
  const jobs::WriteOutcome outcome = job.run();
  if (outcome.end != jobs::WriteOutcome::End::session) return Step::stop_before_write;
  if (!outcome.verified()) return Step::failed;

  streams_.out << written_line(*outcome.written, pager, options_.count) << std::endl;
  ++written_;
  stop_after_pager_ = outcome.batch_log_failed || outcome.register_deferred;
  save_failed_ = !save_stepped_file();
  if (save_failed_) {
    streams_.err << options_.file << " was not stepped on: the next pager would repeat the serial number and "
                 << "addresses just written.\n";
  }
  return Step::next;
}

bool Batch::save_stepped_file() {
  image::Image stepped = file_;
  if (const auto misfit = step_file(stepped, form_, options_.auto_serial)) {
    streams_.err << *misfit << '\n';
    return false;
  }
  if (const auto error = save_error(files::save_image(options_.file, stepped))) {
    streams_.err << *error << '\n';
    return false;
  }
  file_ = stepped;
  return true;
}

}  // namespace

int read(const ReadOptions& options, Streams streams, const Environment& environment) {
  const std::unique_ptr<OpenedCable> cable = opened(options.cable, environment, streams.err);
  TerminalProgress bar(streams.err);
  std::set<std::string> printed;
  jobs::ReadSettings settings;
  settings.log_cable_cause = cable->problems().empty();
  const OpenedRegister opened_register = open_chosen_register(options.register_choice, options.cable.simulated);
  settings.reg = opened_register.use;
  const link::SessionResult result = jobs::run_read(cable->access(), environment.progress_bar ? &bar : nullptr,
                                                    ErrorLines(streams.err, printed), settings);
  if (result.outcome != link::Outcome::ok || !result.pager) return kPagerFailed;
  // The bytes as read: a wrong checksum is the pager's, and worth keeping.
  files::FileReason reason;
  if (const auto saved = files::save_image(options.out, *result.pager, &reason); saved != files::SaveResult::ok) {
    streams.err << save_error_message(saved, options.out, reason) << '\n';
    return kRefused;
  }
  if (image::verify(*result.pager) != image::ChecksumFault::none) {
    streams.err << "The pager's checksum is wrong: show, set and write will refuse " << options.out
                << " (checksum is error!).\n";
  }
  return kSuccess;
}

bool interrupted_by_user() { return interrupt_pressed != 0; }

int write(const WriteOptions& options, Streams streams, const Environment& environment) {
  return Batch(options, streams, environment).run();
}

}  // namespace q5::cli
