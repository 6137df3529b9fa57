#include "jobs/register_use.h"

#include <pwd.h>
#include <unistd.h>

#include <ctime>

#include "rules/batch_row.h"

#ifndef Q5_VERSION
#error "Q5_VERSION must be defined by the build"
#endif

namespace q5::jobs {

BenchIdentity this_bench() {
  BenchIdentity identity;
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0) identity.bench = host;
  if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_name != nullptr) {
    identity.operator_name = user->pw_name;
  }
  identity.program_version = Q5_VERSION;
  return identity;
}

reg::PagerEvent event_from_form(const rules::Form& form, const std::string& command, const std::string& result,
                                const std::string& cable) {
  const files::BatchLogRow row = rules::batch_log_row(std::time(nullptr), result, &form);
  const BenchIdentity identity = this_bench();
  reg::PagerEvent event;
  event.bench = identity.bench;
  event.operator_name = identity.operator_name;
  event.program_version = identity.program_version;
  event.cable = cable;
  event.command = command;
  event.result = result;
  for (std::size_t i = 0; i < event.addresses.size(); ++i) {
    event.addresses[i] = {row.addresses[i].address, row.addresses[i].enabled == "1"};
  }
  event.frequency = row.frequency;
  event.step = row.step;
  event.baud_rate = row.baud_rate;
  event.synthesiser = row.synthesiser;
  event.firmware = row.firmware;
  return event;
}

}  // namespace q5::jobs
