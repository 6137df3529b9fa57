#include "jobs/write_job.h"

#include <utility>

#include "files/batch_log.h"
#include "image/codec.h"
#include "image/number_text.h"
#include "rules/address_rules.h"
#include "rules/batch_row.h"

namespace q5::jobs {

namespace {

constexpr std::size_t kRows = 4;

std::optional<std::int64_t> number_of(const std::string& text) {
  try {
    return strict_to_int(text);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

std::string row_text(int row) { return std::to_string(row + 1); }

// The register said no: nothing is written, the link is closed.
struct RegisterRefusal {
  std::string text;
  std::string detail;  // when and where the holder was written
};

std::string serial_of(const image::Image& image) { return image::decode(image).serial; }

WrittenPager written_pager(const rules::Form& form) {
  WrittenPager pager;
  pager.serial = form.Serial_no.text;
  for (std::size_t row = 0; row < kRows; ++row) {
    pager.addresses[row] = {form.sc_address[row].text, form.sc_addractv[row].checked};
  }
  return pager;
}

// The pager's firmware has no item for the step the form held: its list's
// first item was written instead.
std::optional<std::string> step_change_line(const rules::Form& form, const std::string& chosen_step) {
  const std::string written = form.Frequency_step.text();
  if (chosen_step.empty() || written == chosen_step) return std::nullopt;
  return "Pager firmware " + form.FirmwareVer.text() + ": step " + written + " written (" + chosen_step +
         " is not in its list)";
}

}  // namespace

std::vector<int> unreceivable_addresses(const rules::Form& form) {
  std::vector<int> rows;
  for (std::size_t row = 0; row < kRows; ++row) {
    if (!form.sc_addractv[row].checked) continue;
    const std::optional<std::int64_t> address = number_of(form.sc_address[row].text);
    if (address && !rules::address_in_range(*address)) rows.push_back(static_cast<int>(row));
  }
  return rows;
}

std::optional<std::pair<int, int>> equal_enabled_addresses(const rules::Form& form) {
  for (std::size_t a = 0; a < kRows; ++a) {
    for (std::size_t b = a + 1; b < kRows; ++b) {
      if (!form.sc_addractv[a].checked || !form.sc_addractv[b].checked) continue;
      const auto first = number_of(form.sc_address[a].text);
      if (first && first == number_of(form.sc_address[b].text)) {
        return std::pair{static_cast<int>(a), static_cast<int>(b)};
      }
    }
  }
  return std::nullopt;
}

WriteJob::WriteJob(rules::Form& form, link::CableAccess& cable, link::Progress* progress, Reporter report,
                   WriteSettings settings)
    : form_(form), cable_(cable), progress_(progress), report_(std::move(report)), settings_(std::move(settings)) {}

// What no pager may get is refused before anything is sent: an address past
// seven digits (it would reach the pager as another address), an address
// the pager cannot receive (the range check warns about it, and a write
// would go ahead regardless), and, for the command line, two enabled rows
// with the same address.
bool WriteJob::refused() {
  if (const std::optional<int> row = form_.overlong_address()) {
    form_.refuse_overlong_address();
    notices();
    say(Report::Kind::log, "Not written: address " + row_text(*row) + " has more than seven digits");
    return true;
  }
  const std::vector<int> rows = unreceivable_addresses(form_);
  if (!rows.empty()) {
    say(Report::Kind::beep, {});
    for (const int row : rows) say(Report::Kind::log, rules::address_range_warning(row + 1));
    say(Report::Kind::log, "Not written: address " + row_text(rows.front()) + " is out of range");
    return true;
  }
  if (settings_.refuse_equal_addresses) {
    if (const auto pair = equal_enabled_addresses(form_)) {
      say(Report::Kind::log, "Not written: addresses " + row_text(pair->first) + " and " + row_text(pair->second) +
                                 " are both " + form_.sc_address[static_cast<std::size_t>(pair->first)].text);
      return true;
    }
  }
  return false;
}

WriteOutcome WriteJob::run() {
  WriteOutcome outcome;
  if (refused()) return outcome;
  if (!register_ready()) {
    outcome.register_refused = true;
    return outcome;
  }

  std::optional<reg::Reservation> reservation;
  std::optional<std::string> step_line;
  try {
    // The form is encoded before the pager is read; its rules may warn.
    outcome.image = form_.encode();
    notices();
    link::PagerSession session(cable_, progress_);
    outcome.session = session.write([&](const image::Image& pager) {
      outcome.image = pager;
      // The pager's synthesiser and firmware, then the rules a write runs
      // before the image it writes is built.
      const std::string chosen_step = form_.Frequency_step.text();
      form_.prepare_for_write(pager);
      notices();
      step_line = step_change_line(form_, chosen_step);
      if (settings_.reg.reg) reservation = reserve(pager);
      outcome.image = form_.encode();
      notices();
      return *outcome.image;
    }, link::WriteOptions{.all_words = settings_.all_words});
  } catch (const RegisterRefusal& refusal) {
    say(Report::Kind::message_box, refusal.text);
    if (!refusal.detail.empty()) say(Report::Kind::log, refusal.text + ": " + refusal.detail);
    outcome.register_refused = true;
    return outcome;
  } catch (const ConversionError& error) {
    if (reservation) settings_.reg.reg->cancel(*reservation);
    notices();
    say(Report::Kind::error_box, error.what());
    outcome.end = WriteOutcome::End::error;
    return outcome;
  }
  outcome.end = WriteOutcome::End::session;

  const link::SessionResult& result = outcome.session;
  const std::string message = link::write_message(result);
  switch (result.outcome) {
    case link::Outcome::ok:
      say(Report::Kind::done, message);
      if (step_line) say(Report::Kind::log, *step_line);
      outcome.written = written_pager(form_);
      log_attempt(result, outcome);
      record(result, reservation, outcome);
      step_on();
      break;
    case link::Outcome::model_refused:
      if (result.pager) outcome.image = *result.pager;
      say(Report::Kind::message_box, message);
      log_attempt(result, outcome);
      record(result, reservation, outcome);
      break;
    default:
      report_failure(result, message);
      // Part of the image may be in the pager, and the form shows the
      // step it was built with either way.
      if (step_line && result.words_written > 0) say(Report::Kind::log, *step_line);
      log_attempt(result, outcome);
      record(result, reservation, outcome);
      break;
  }
  return outcome;
}

// A register that was chosen but cannot be used refuses every write: no
// pager is written unrecorded. Events this bench kept go over first.
bool WriteJob::register_ready() {
  const RegisterUse& use = settings_.reg;
  std::string why = use.unusable;
  if (why.empty() && use.reg) {
    try {
      if (use.pending) use.pending->deliver(*use.reg);
      // A register that has gone away is found out before the pager is read.
      (void)use.reg->pools();
    } catch (const reg::RegisterError& error) {
      why = error.what();
    }
  }
  if (why.empty()) return true;
  say(Report::Kind::beep, {});
  say(Report::Kind::log, "Not written: " + why);
  say(Report::Kind::message_box, "Not written: " + why);
  return false;
}

// In one transaction the register picks what it is asked to allocate and
// reserves every individual address of this pager, or says whose it is.
reg::Reservation WriteJob::reserve(const image::Image& pager) {
  const BenchIdentity identity = this_bench();
  reg::WritePlan plan;
  plan.serial_read = serial_of(pager);
  plan.serial_written = form_.Serial_no.text;
  for (std::size_t row = 0; row < kRows; ++row) {
    plan.addresses[row] = {form_.sc_address[row].text, form_.sc_addractv[row].checked};
  }
  plan.allocate = settings_.reg.allocate;
  plan.allocate_serial = settings_.reg.allocate_serial;
  plan.reassign = settings_.reg.reassign;
  plan.bench = identity.bench;
  plan.operator_name = identity.operator_name;

  reg::Reservation reservation;
  try {
    reservation = settings_.reg.reg->reserve(plan);
  } catch (const reg::RegisterError& error) {
    throw RegisterRefusal{std::string("Not written: ") + error.what(), {}};
  }
  for (const std::string& warning : reservation.warnings) say(Report::Kind::log, warning);
  if (reservation.refusal) throw RegisterRefusal{reservation.refusal->text, reservation.refusal->where_when};
  for (std::size_t row = 0; row < kRows; ++row) {
    if (!reservation.allocated[row]) continue;
    form_.set_text(form_.sc_address[row], *reservation.allocated[row]);
    form_.set_checked(form_.sc_addractv[row], true);
  }
  if (reservation.allocated_serial) form_.set_text(form_.Serial_no, *reservation.allocated_serial);
  notices();
  return reservation;
}

// Every write that reached the session is an event of the register; a
// verified one also moves the pager's holdings. What the register cannot
// take now, this bench keeps.
void WriteJob::record(const link::SessionResult& result, const std::optional<reg::Reservation>& reservation,
                      WriteOutcome& outcome) {
  reg::Register* const reg = settings_.reg.reg;
  if (!reg) return;
  reg::PagerEvent event = event_from_form(form_, "write", link::write_message(result), cable_.name());
  event.verified = result.outcome == link::Outcome::ok;
  if (result.pager) {
    event.image_before = *result.pager;
    event.serial_read = serial_of(*result.pager);
  }
  if (result.written) {
    event.image_after = *result.written;
    event.serial_written = form_.Serial_no.text;
  }
  try {
    reg->record(event, reservation ? &*reservation : nullptr);
    return;
  } catch (const reg::RegisterError& error) {
    outcome.register_deferred = true;
    std::string line = std::string("Not recorded yet: ") + error.what();
    try {
      if (!settings_.reg.pending) throw reg::RegisterError("no place to keep it");
      settings_.reg.pending->keep(event);
      line += " - kept on this bench for the register's next command";
    } catch (const reg::RegisterError& kept) {
      line += std::string(" - and it could not be kept: ") + kept.what();
    }
    say(Report::Kind::log, line);
  }
}

// The link-error report: why the cable could not be used (a device
// missing, a board not found) when that is known, the beep, the log line
// and the box.
void WriteJob::report_failure(const link::SessionResult& result, const std::string& message) {
  if (settings_.log_cable_cause && result.outcome == link::Outcome::link_error && !result.cause.empty()) {
    say(Report::Kind::log, result.cause);
  }
  say(Report::Kind::beep, {});
  say(Report::Kind::log, message);
  say(Report::Kind::message_box, message);
}

// Every attempt is a row of the batch log. The pager counts as written
// whether or not the row could be: the log only says why not.
void WriteJob::log_attempt(const link::SessionResult& result, WriteOutcome& outcome) {
  if (settings_.batch_log.empty()) return;
  const files::BatchLogRow row =
      rules::batch_log_row(settings_.now(), link::write_message(result), result.written ? &form_ : nullptr);
  if (const auto failure = files::append(settings_.batch_log, row)) {
    outcome.batch_log_failed = true;
    say(Report::Kind::log, "Batch log not written: " + *failure);
  }
}

// The addresses by their offsets and, with "Auto" ticked, the serial
// number by one, ready for the next pager.
void WriteJob::step_on() {
  form_.guarded([this] {
    form_.advance_addresses();
    if (form_.CheckBox1.checked) form_.step_serial();
  });
  notices();
}

}  // namespace q5::jobs
