// Write to pager, as the window's menu command and the command line's
// `write` both run it: refuse what must not reach a pager, encode the form,
// run the pager session (which reads the pager, lets the form take the
// pager's hardware and rules, and writes and verifies the image), log the
// attempt in the batch log, and step the addresses and the serial number on
// for the next pager. What the technician is told comes out as reports, in
// order, while the job runs.
#pragma once

#include <array>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "image/image.h"
#include "jobs/register_use.h"
#include "jobs/report.h"
#include "link/pager_session.h"
#include "rules/form.h"

namespace q5::jobs {

struct WriteSettings {
  // Where every attempt is logged as a CSV row; empty: nowhere.
  std::string batch_log;
  std::function<std::time_t()> now = [] { return std::time(nullptr); };
  // The reason a cable could not be used, logged before the link error.
  // The command line says it once already when the chosen port did not open.
  bool log_cable_cause = true;
  // Two enabled addresses that are equal: refused by the command line,
  // which has no field to hold the technician in.
  bool refuse_equal_addresses = false;
  // Every word rewritten, not only those that differ from the pager's.
  bool all_words = false;
  // The pager register: what a write reserves before the pager is touched
  // and records afterwards.
  RegisterUse reg;
};

// One address row as it went into the pager.
struct WrittenAddress {
  std::string address;
  bool enabled = false;
};

// The pager as the form described it when it was written, before the
// addresses and the serial number stepped on.
struct WrittenPager {
  std::string serial;
  std::array<WrittenAddress, 4> addresses;
};

struct WriteOutcome {
  enum class End {
    refused,  // nothing was sent: an address no pager can take, or the like
    error,    // a field that is not a number ended the command (its error box was reported)
    session,  // the pager session ran: `session` says how it went
  };
  End end = End::refused;
  link::SessionResult session;
  // The image buffer of the window afterwards, when the job changed it: the
  // form encoded, the pager's bytes (a pager of the other model), or the
  // image written.
  std::optional<image::Image> image;
  std::optional<WrittenPager> written;  // set for a verified write
  bool batch_log_failed = false;
  // The register refused the write (an address another pager holds, or the
  // register could not be used): nothing reached the pager.
  bool register_refused = false;
  // The register could not take the event: this bench keeps it and hands
  // it over at its next command.
  bool register_deferred = false;

  bool verified() const { return end == End::session && session.outcome == link::Outcome::ok; }
};

class WriteJob {
 public:
  // `form` is the one the job reads and steps on; `progress` may be null.
  WriteJob(rules::Form& form, link::CableAccess& cable, link::Progress* progress, Reporter report,
           WriteSettings settings = {});

  WriteOutcome run();

 private:
  bool refused();
  bool register_ready();
  reg::Reservation reserve(const image::Image& pager);
  void record(const link::SessionResult& result, const std::optional<reg::Reservation>& reservation,
              WriteOutcome& outcome);
  void report_failure(const link::SessionResult& result, const std::string& message);
  void log_attempt(const link::SessionResult& result, WriteOutcome& outcome);
  void step_on();
  void notices() { pass_on_notices(form_, report_); }
  void say(Report::Kind kind, std::string text) { report_({kind, std::move(text)}); }

  rules::Form& form_;
  link::CableAccess& cable_;
  link::Progress* progress_;
  Reporter report_;
  WriteSettings settings_;
};

// The address rows (0 to 3) that are enabled and hold an address the
// pager cannot receive: outside 8-2097143 or in one of the two unused
// blocks. A text that is no number is left to the encode, which reports it.
std::vector<int> unreceivable_addresses(const rules::Form& form);
// The first two enabled rows (0 to 3) with the same address, if any.
std::optional<std::pair<int, int>> equal_enabled_addresses(const rules::Form& form);

}  // namespace q5::jobs
