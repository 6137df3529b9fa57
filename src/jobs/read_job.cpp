#include "jobs/read_job.h"

#include "image/codec.h"

namespace q5::jobs {

namespace {

void record_read(const link::SessionResult& result, const std::string& cable, const RegisterUse& use,
                 const Reporter& report) {
  if (!use.chosen()) return;
  std::string why = use.unusable;
  if (why.empty()) {
    rules::Form shown;
    if (result.pager) {
      shown.decode(*result.pager);
      (void)shown.take_notices();
    }
    reg::PagerEvent event = event_from_form(shown, "read", link::read_message(result), cable);
    if (result.pager) {
      event.image_before = *result.pager;
      event.serial_read = image::decode(*result.pager).serial;
    } else {
      event.addresses = {};
      event.frequency = event.step = event.baud_rate = event.synthesiser = event.firmware = {};
    }
    try {
      if (use.pending) use.pending->deliver(*use.reg);
      use.reg->record(event);
      return;
    } catch (const reg::RegisterError& error) {
      why = error.what();
    }
  }
  report({Report::Kind::log, "This read was not recorded in the register: " + why});
}

}  // namespace

link::SessionResult run_read(link::CableAccess& cable, link::Progress* progress, const Reporter& report,
                             const ReadSettings& settings) {
  link::PagerSession session(cable, progress);
  const link::SessionResult result = session.read();
  const std::string message = link::read_message(result);
  record_read(result, cable.name(), settings.reg, report);
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
