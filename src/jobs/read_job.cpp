#include "jobs/read_job.h"

namespace q5::jobs {

link::SessionResult run_read(link::CableAccess& cable, link::Progress* progress, const Reporter& report,
                             const ReadSettings& settings) {
  link::PagerSession session(cable, progress);
  const link::SessionResult result = session.read();
  const std::string message = link::read_message(result);
  switch (result.outcome) {
    case link::Outcome::ok:
      break;
    case link::Outcome::model_refused:
      report({Report::Kind::message_box, message});
      break;
    default:
      if (settings.log_cable_cause && result.outcome == link::Outcome::link_error && !result.cause.empty()) {
        report({Report::Kind::log, result.cause});
      }
      report({Report::Kind::beep, {}});
      report({Report::Kind::log, message});
      report({Report::Kind::message_box, message});
      break;
  }
  return result;
}

}  // namespace q5::jobs
