#include "cli/assignments.h"

#include <nlohmann/json.hpp>

#include "cli/form_file.h"
#include "cli/text.h"

namespace q5::cli {

namespace {

// A value as a JSON string, so that spaces at its ends show.
std::string quoted(const std::string& utf8) {
  return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::optional<Assignment> parse_assignment(const std::string& argument) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string::npos || equals == 0) return std::nullopt;
  return Assignment{argument.substr(0, equals), argument.substr(equals + 1)};
}

std::optional<std::string> unknown_setting(rules::Form& form, const std::string& name) {
  const std::optional<std::string> latin1 = utf8_to_latin1(name);
  if (!latin1) return quoted(name) + " is not a setting of a configuration file";
  const std::optional<std::string> unknown = form.unknown_setting(*latin1);
  return unknown ? std::optional(latin1_to_utf8(*unknown)) : std::nullopt;
}

bool apply_assignments(rules::Form& form, const std::vector<Assignment>& assignments, std::ostream& err,
                       std::set<std::string>& printed) {
  std::vector<rules::Form::Setting> settings;
  for (const Assignment& a : assignments) {
    const std::optional<std::string> latin1 = utf8_to_latin1(a.value);
    if (!latin1) {
      err << a.name << ": " << quoted(a.value)
          << " holds a character the pager cannot store (only Latin-1 text fits a field)\n";
      return false;
    }
    settings.push_back({utf8_to_latin1(a.name).value_or(a.name), *latin1});
  }
  const std::optional<rules::Form::Refusal> refusal = form.assign(settings);
  // The rules' lines come first, in their order; an error box among them is
  // the refusal itself.
  (void)report_notices_once(form, err, printed);
  if (!refusal) return true;
  if (!refusal->among_notices) err << latin1_to_utf8(refusal->text) << '\n';
  return false;
}

}  // namespace q5::cli
