// NAME=VALUE assignments: parsed here, made by the form as a technician
// would make them in the window (q5::rules::Form::assign).
#pragma once

#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "rules/form.h"

namespace q5::cli {

struct Assignment {
  std::string name;
  std::string value;  // UTF-8, as given
};

// "NAME=VALUE" split at its first '='; nullopt without one.
std::optional<Assignment> parse_assignment(const std::string& argument);

// Why `name` cannot be assigned (it is no setting a file holds), with the
// names that can be; nullopt when it can.
std::optional<std::string> unknown_setting(rules::Form& form, const std::string& name);

// Makes the assignments in the form's order for them. The warnings the rules
// give go to `err` as they come, each once (see report_notices_once). False
// when an assignment was refused (a value that is no Latin-1 text, a key or
// length the field refuses, an unknown or greyed item, a value that is not
// true or false, an error box of the rules), after saying why on `err`; the
// form may then hold the assignments before it.
bool apply_assignments(rules::Form& form, const std::vector<Assignment>& assignments, std::ostream& err,
                       std::set<std::string>& printed);

}  // namespace q5::cli
