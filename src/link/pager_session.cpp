#include "pager_session.h"

#include <optional>

#include "eeprom_link.h"

namespace q5::link {

namespace {

constexpr const char* kWriteOk = "Write eeprom OK!";
constexpr const char* kReadOk = "Read from eeprom OK!";
constexpr const char* kInUse = " is in use by another program";
constexpr const char* kLinkError = "Link error, please check Connection";
constexpr const char* kVerifyError = "Verify error, please check Connection";

std::string message(const SessionResult& result, const char* ok) {
  switch (result.outcome) {
    case Outcome::ok:
      return ok;
    case Outcome::port_in_use:
      return result.port + kInUse;
    case Outcome::link_error:
      return kLinkError;
    case Outcome::verify_error:
      return kVerifyError;
    case Outcome::model_refused:
      return image::kModelErrorText;
  }
  return kLinkError;
}

// The cable for the length of one command: given back on every way out,
// an exception from the caller's prepare included.
class HeldCable {
 public:
  explicit HeldCable(CableAccess& access) : access_(access), claim_(access.claim()) {}
  ~HeldCable() {
    if (held()) access_.release();
  }
  HeldCable(const HeldCable&) = delete;
  HeldCable& operator=(const HeldCable&) = delete;

  bool held() const { return claim_.status == ClaimStatus::claimed; }
  const Claim& claim() const { return claim_; }

 private:
  CableAccess& access_;
  Claim claim_;
};

// The progress window while a transfer is on screen: hidden again on every
// way out, before the link is closed and the result shown. While it is
// shown, each byte read advances it as its data arrives.
class ShownProgress {
 public:
  ShownProgress(Progress* progress, Transfer transfer, EepromLink& link) : progress_(progress), link_(link) {
    if (!progress_) return;
    progress_->shown(transfer);
    link_.set_progress_paced(true);
  }
  ~ShownProgress() {
    if (!progress_) return;
    link_.set_progress_paced(false);
    progress_->hidden();
  }
  ShownProgress(const ShownProgress&) = delete;
  ShownProgress& operator=(const ShownProgress&) = delete;

 private:
  Progress* progress_;
  EepromLink& link_;
};

// One command on a claimed cable.
class Command {
 public:
  Command(Cable& cable, Progress* progress, SessionResult& result) : cable_(cable), link_(cable), result_(result) {
    if (progress) link_.set_progress([progress] { progress->advanced(); });
  }

  EepromLink& link() { return link_; }

  // A step of the link went through on a cable that still answers.
  bool passed(bool step) const { return step && cable_.healthy(); }

  SessionResult& fail(Outcome outcome) {
    link_.close_link();
    result_.outcome = outcome;
    result_.cause = cable_.fault();
    return result_;
  }
  SessionResult& link_error() { return fail(Outcome::link_error); }

  // A cable that stopped answering during close_link still made the
  // command fail: nothing is good that an unhealthy cable reported.
  bool closed() {
    link_.close_link();
    return cable_.healthy();
  }

 private:
  Cable& cable_;
  EepromLink link_;
  SessionResult& result_;
};

SessionResult refused(SessionResult& result, const Claim& claim) {
  result.outcome = claim.status == ClaimStatus::in_use ? Outcome::port_in_use : Outcome::link_error;
  result.cause = claim.cause;
  return result;
}

// Opens the link, reads the pager's 256 bytes, checks the link again and
// closes it; nothing when a step failed, the result then saying why. The
// progress is shown on `shown_on` (the read that starts a write is not).
std::optional<image::Image> read_pager(Command& command, Progress* shown_on) {
  EepromLink& link = command.link();
  if (!command.passed(link.open_link())) {
    command.link_error();
    return std::nullopt;
  }
  image::Image pager{};
  {
    const ShownProgress progress(shown_on, Transfer::reading, link);
    link.read_eeprom(pager);
  }
  // A cable lost during the read gives all ones, which only the link check
  // tells from a pager's bytes.
  if (!command.passed(link.check_link())) {
    command.link_error();
    return std::nullopt;
  }
  if (!command.closed()) {
    command.link_error();
    return std::nullopt;
  }
  return pager;
}

}  // namespace

std::string write_message(const SessionResult& result) { return message(result, kWriteOk); }
std::string read_message(const SessionResult& result) { return message(result, kReadOk); }

PagerSession::PagerSession(CableAccess& access, Progress* progress) : access_(access), progress_(progress) {}

SessionResult PagerSession::read() {
  SessionResult result;
  result.port = access_.name();
  HeldCable held(access_);
  if (!held.held()) return refused(result, held.claim());
  Command command(access_.cable(), progress_, result);

  const std::optional<image::Image> pager = read_pager(command, progress_);
  if (!pager) return result;
  result.pager = pager;
  result.outcome = image::model_bit(*pager) ? Outcome::model_refused : Outcome::ok;
  return result;
}

SessionResult PagerSession::write(const Prepare& prepare, const WriteOptions& options) {
  SessionResult result;
  result.port = access_.name();
  HeldCable held(access_);
  if (!held.held()) return refused(result, held.claim());
  Command command(access_.cable(), progress_, result);
  EepromLink& link = command.link();

  // The pager's own bytes first: the image written keeps its hardware bits.
  const std::optional<image::Image> pager = read_pager(command, nullptr);
  if (!pager) return result;
  result.pager = pager;
  if (image::model_bit(*pager)) {
    result.outcome = Outcome::model_refused;
    return result;
  }

  const image::Image image = prepare(*pager);
  result.written = image;
  if (!command.passed(link.open_link())) return command.link_error();
  image::Image back{};
  bool written = false;
  {
    ShownProgress shown(progress_, Transfer::writing, link);
    // Words that already hold their value are left alone: the read-back
    // below compares all of them, so nothing is taken on trust.
    written = command.passed(link.write_eeprom(image, options.all_words ? nullptr : &*pager));
    result.words_written = link.words_written();
    // Only a pager that gives back what was written counts as written; the
    // read-back runs on the same open link.
    if (written) link.read_eeprom(back);
  }
  if (!written || !command.passed(true)) return command.link_error();
  // Any difference is the verify error, a cable pulled during the write
  // included; the check after it speaks only for data that matched.
  if (back != image) return command.fail(Outcome::verify_error);
  if (!command.passed(link.check_link())) return command.link_error();
  // A verified write leaves the link open, release lines low.
  result.outcome = Outcome::ok;
  return result;
}

LinkCheck PagerSession::check_link() {
  LinkCheck check;
  HeldCable held(access_);
  if (!held.held()) {
    const Claim& claim = held.claim();
    check.state = claim.status == ClaimStatus::in_use ? LinkState::port_in_use : LinkState::not_connected;
    check.cause = claim.cause;
    return check;
  }
  Cable& cable = access_.cable();
  EepromLink link(cable);
  const bool answered = link.open_link() && cable.healthy();
  link.close_link();
  check.state = answered && cable.healthy() ? LinkState::connected : LinkState::not_connected;
  check.cause = cable.fault();
  return check;
}

}  // namespace q5::link
