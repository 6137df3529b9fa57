// Read from pager, as the window's menu command and the command line's
// `read` both run it: the pager session's read, and the link-error report
// when it fails. What a read does with the bytes (the window shows them in
// the form, the command line saves them) stays with the caller.
#pragma once

#include "jobs/register_use.h"
#include "jobs/report.h"
#include "link/pager_session.h"

namespace q5::jobs {

struct ReadSettings {
  // See WriteSettings::log_cable_cause.
  bool log_cable_cause = true;
  // Every read is an event of the register; a read that could not be
  // recorded still works, and says so.
  RegisterUse reg;
};

// ok and model_refused carry the pager's bytes. A link error or a port in
// use has been reported (the cause, the beep, the log line and the box); a
// pager of the other model only in its box.
link::SessionResult run_read(link::CableAccess& cable, link::Progress* progress, const Reporter& report,
                             const ReadSettings& settings = {});

}  // namespace q5::jobs
