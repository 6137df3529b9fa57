// The pager register as a step of the pager jobs: what a write reserves and
// records, and what a read records.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "register/register.h"
#include "rules/form.h"

namespace q5::jobs {

// Which register a job uses, and how.
struct RegisterUse {
  reg::Register* reg = nullptr;  // null: no register
  // Why the chosen register cannot be used (it would not open, or the
  // events this bench kept could not be delivered): writes are refused.
  std::string unusable;
  reg::PendingEvents* pending = nullptr;  // where events the register cannot take are kept
  // Addresses (pool names by row) and the serial number the register picks.
  std::array<std::optional<std::string>, 4> allocate;
  bool allocate_serial = false;
  bool reassign = false;  // take held addresses from their holders

  bool chosen() const { return reg != nullptr || !unusable.empty(); }
};

// Who is at the bench, for every event.
struct BenchIdentity {
  std::string bench;          // the host name
  std::string operator_name;  // the login name
  std::string program_version;
};
BenchIdentity this_bench();

// An event of `command` ("write" or "read") with the fields the form holds
// (the image as written, or as read).
reg::PagerEvent event_from_form(const rules::Form& form, const std::string& command, const std::string& result,
                                const std::string& cable);

}  // namespace q5::jobs
