#include "cli/assignments.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <type_traits>
#include <variant>

#include "cli/form_file.h"
#include "cli/text.h"

namespace q5::cli {

namespace {

constexpr const char* kFirmware = "FirmwareVer";
constexpr const char* kFrequency = "Frequency";
constexpr const char* kStep = "Frequency_step";

// A value as a JSON string, so that spaces at its ends show.
std::string quoted(const std::string& utf8) {
  return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Items quoted: several end in spaces.
std::string quoted_list(const std::vector<std::string>& texts) {
  std::string list;
  for (const std::string& text : texts) {
    if (!list.empty()) list += ", ";
    list += quoted(latin1_to_utf8(text));
  }
  return list;
}

std::optional<rules::ControlRef> stored_control(rules::Form& form, const std::string& name) {
  for (const rules::NamedControl& control : form.stored_controls()) {
    if (control.name == name) return control.control;
  }
  return std::nullopt;
}

std::optional<std::string> type_into(rules::Form& form, rules::Edit& edit, const std::string& value) {
  const std::optional<std::string> latin1 = utf8_to_latin1(value);
  if (!latin1) {
    return edit.name + ": " + quoted(value) +
           " holds a character the pager cannot store (only Latin-1 text fits a field)";
  }
  if (std::optional<std::string> refused = form.type_over(edit, *latin1)) return latin1_to_utf8(*refused);
  form.user_left(edit);
  return std::nullopt;
}

// Items are Latin-1 like every text of the form.
std::string as_item(const std::string& utf8) { return utf8_to_latin1(utf8).value_or(utf8); }

std::optional<std::string> choose(rules::Form& form, rules::List& list, const std::string& value) {
  const int index = list.find(as_item(value));
  if (index == rules::kNoSelection) {
    return list.name + " has no item " + quoted(value) + "; its items are " + quoted_list(list.items);
  }
  // The pager's own chip and firmware are taken at a write anyway; setting
  // them prepares a file for a known pager, so they count as enabled. The
  // model is never chosen: a file of the other model is refused.
  const bool counts_as_enabled = (&list == &form.FirmwareVer || &list == &form.PLL_select);
  const bool greyed = &list == &form.ModelCB || (!list.enabled && !counts_as_enabled);
  if (greyed) {
    if (index == list.index) return std::nullopt;  // what it shows already
    return list.name + " is greyed out in the window now, so " + quoted(value) + " cannot be chosen";
  }
  form.user_chose(list, index);
  return std::nullopt;
}

std::optional<std::string> click(rules::Form& form, rules::Check& check, const std::string& value) {
  if (value != "true" && value != "false") return check.name + " takes true or false, not " + quoted(value);
  form.user_clicked(check, value == "true");
  return std::nullopt;
}

std::optional<std::string> press(rules::Form& form, rules::Radio& radio, const std::string& value) {
  const auto it = std::find(radio.items.begin(), radio.items.end(), as_item(value));
  if (it == radio.items.end()) {
    return radio.name + " has no button " + quoted(value) + "; its buttons are " + quoted_list(radio.items);
  }
  form.user_chose(radio, static_cast<int>(it - radio.items.begin()));
  return std::nullopt;
}

// One assignment as the technician makes it; why not, when it cannot be.
std::optional<std::string> make(rules::Form& form, const Assignment& a) {
  const std::optional<rules::ControlRef> control = stored_control(form, a.name);
  if (!control) return unknown_setting(form, a.name);
  return std::visit(
      [&](auto* c) -> std::optional<std::string> {
        using T = std::remove_pointer_t<decltype(c)>;
        if constexpr (std::is_same_v<T, rules::Edit>) {
          return type_into(form, *c, a.value);
        } else if constexpr (std::is_same_v<T, rules::List>) {
          return choose(form, *c, a.value);
        } else if constexpr (std::is_same_v<T, rules::Check>) {
          return click(form, *c, a.value);
        } else {
          return press(form, *c, a.value);
        }
      },
      *control);
}

// An error box of the rules among the notices; the rest is dropped.
std::optional<std::string> error_among(std::vector<rules::Notice> notices) {
  for (const rules::Notice& notice : notices) {
    if (notice.kind == rules::Notice::Kind::error) return latin1_to_utf8(notice.text);
  }
  return std::nullopt;
}

int priority(const Assignment& a) {
  if (a.name == kFirmware) return 0;
  if (a.name == kFrequency) return 1;
  if (a.name == kStep) return 2;
  return 3;
}

}  // namespace

std::optional<Assignment> parse_assignment(const std::string& argument) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string::npos || equals == 0) return std::nullopt;
  return Assignment{argument.substr(0, equals), argument.substr(equals + 1)};
}

std::optional<std::string> unknown_setting(rules::Form& form, const std::string& name) {
  if (stored_control(form, name)) return std::nullopt;
  std::string names;
  for (const rules::NamedControl& control : form.stored_controls()) {
    if (!names.empty()) names += ' ';
    names += control.name;
  }
  return quoted(name) + " is not a setting of a configuration file; the settings are: " + names;
}

bool apply_assignments(rules::Form& form, const std::vector<Assignment>& assignments, std::ostream& err,
                       std::set<std::string>& printed) {
  std::vector<Assignment> ordered = assignments;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const Assignment& a, const Assignment& b) { return priority(a) < priority(b); });
  const auto last_of = [&ordered](const char* name) -> const Assignment* {
    const auto it =
        std::find_if(ordered.rbegin(), ordered.rend(), [name](const Assignment& a) { return a.name == name; });
    return it == ordered.rend() ? nullptr : &*it;
  };
  // With both given, the frequency is typed first only so that its band
  // picks the step list, and typed again once the step is chosen: snapped
  // on the list's first step, one frequency in five of a 5 kHz raster would
  // end a channel up. What the rules say before that second typing is about
  // a frequency it replaces, and is not shown.
  const Assignment* const retyped = last_of(kStep) ? last_of(kFrequency) : nullptr;
  const auto refuse = [&err](const std::string& why) {
    err << why << '\n';
    return false;
  };

  for (std::size_t i = 0; i < ordered.size(); ++i) {
    const Assignment& a = ordered[i];
    if (const auto refused = make(form, a)) return refuse(*refused);
    const bool before_retyping = retyped && (a.name == kFrequency || a.name == kStep);
    if (before_retyping) {
      if (const auto error = error_among(form.take_notices())) return refuse(*error);
    } else if (report_notices_once(form, err, printed)) {
      return false;
    }
    const bool last_step = a.name == kStep && (i + 1 == ordered.size() || ordered[i + 1].name != kStep);
    if (last_step && retyped) {
      if (const auto refused = make(form, *retyped)) return refuse(*refused);
      if (report_notices_once(form, err, printed)) return false;
    }
  }
  return true;
}

}  // namespace q5::cli
