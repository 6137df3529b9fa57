// Settings made by name, as a technician makes them in the window: the
// command line's `set` and anything else that fills in a form without one.
#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <variant>

#include "image/frequency.h"
#include "rules/form.h"
#include "rules/pager_text.h"

namespace q5::rules {

namespace {

constexpr std::string_view kFirmware = "FirmwareVer";
constexpr std::string_view kFrequency = "Frequency";
constexpr std::string_view kStep = "Frequency_step";

// A value in double quotes, escaped as a JSON string is, so that spaces at
// its ends show. Latin-1 in, Latin-1 out.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// Items quoted: several end in spaces.
std::string quoted_list(const std::vector<std::string>& texts) {
  std::string list;
  for (const std::string& text : texts) {
    if (!list.empty()) list += ", ";
    list += quoted(text);
  }
  return list;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// An item as people type it: case and runs of spaces do not count.
std::string loosely(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += lower(c);
  }
  return out;
}

// The item `value` names: itself, or else the one item it matches loosely.
int find_item(const std::vector<std::string>& items, std::string_view value) {
  const auto exact = std::find(items.begin(), items.end(), value);
  if (exact != items.end()) return static_cast<int>(exact - items.begin());
  int found = kNoSelection;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (loosely(items[i]) != loosely(value)) continue;
    if (found != kNoSelection) return kNoSelection;  // two match: the technician must say which
    found = static_cast<int>(i);
  }
  return found;
}

bool has_item(const image::StepList& list, std::string_view value) {
  return find_item(list.items, value) != kNoSelection;
}

// Case-blind edit distance, for the closest name to a mistyped one.
std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A Frequency_step item the list shown lacks but another firmware's or
// band's list has: what to set with it.
std::optional<std::string> step_elsewhere(const Form& form, std::string_view value) {
  const bool r1 = form.FirmwareVer.index == 0;
  const std::string firmware = "FirmwareVer " + form.FirmwareVer.text();
  const char* const band = form.High_band_list ? "above 175 MHz" : "at 175 MHz or below";
  const char* const other_band = form.High_band_list ? "a Frequency of 175 MHz or below" : "a Frequency above 175 MHz";
  const std::string other_firmware = std::string("FirmwareVer=") + (r1 ? "R2" : "R1");
  const std::string lacks = form.Frequency_step.name + " has no item " + quoted(value) + " with ";
  if (has_item(image::step_list(!r1, form.High_band_list), value)) {
    return lacks + firmware + "; set " + other_firmware + " with it";
  }
  if (has_item(image::step_list(r1, !form.High_band_list), value)) {
    return lacks + firmware + " " + band + "; set " + other_band + " with it";
  }
  if (has_item(image::step_list(!r1, !form.High_band_list), value)) {
    return lacks + firmware + " " + band + "; set " + other_firmware + " and " + other_band + " with it";
  }
  return std::nullopt;
}

// What a greyed list waits for, as a setting to make with it.
std::string enabled_by(const Form& form, const List& list) {
  const std::pair<const List*, const char*> enablers[] = {
      {&form.Dup_msg_time, "set Dup_msg_rejection_chekbox=true"},
      {&form.Uread_reminder_time, "set Unread_reminder=true"},
      {&form.In_out_range, "set Out_range_func_checkbox=true"},
      {&form.CannedMsg_command, "set CanMsg_checkbox=true"},
      {&form.Urgent_call_tone, "choose an Urgent_call_addr other than DISABLE"},
      {&form.LcdorderComb, "set lcdmannulCB=ENABLE"},
      {&form.Vib_pattern, "choose an Alert_type that vibrates"},
  };
  for (const auto& [greyed, setting] : enablers) {
    if (greyed == &list) return std::string("; ") + setting + " with it";
  }
  // The model is the pager's own: a file of the other model is refused.
  return "";
}

std::optional<std::string> equal_enabled_addresses(const Form& form) {
  for (std::size_t a = 0; a < 4; ++a) {
    for (std::size_t b = a + 1; b < 4; ++b) {
      if (form.sc_addractv[a].checked && form.sc_addractv[b].checked && form.sc_address[a].text == form.sc_address[b].text) {
        return form.sc_address[b].name + " holds " + form.sc_address[a].name + "'s address " + form.sc_address[b].text +
               "; the addresses of one pager must differ";
      }
    }
  }
  return std::nullopt;
}

int priority(std::string_view name) {
  if (name == kFirmware) return 0;
  if (name == kFrequency) return 1;
  if (name == kStep) return 2;
  return 3;
}

}  // namespace

std::optional<std::string> Form::unknown_setting(std::string_view name) {
  std::string_view closest;
  std::size_t closest_distance = 0;
  for (const NamedControl& control : stored_controls()) {
    if (control.name == name) return std::nullopt;
    const std::size_t d = distance(name, control.name);
    if (closest.empty() || d < closest_distance) {
      closest = control.name;
      closest_distance = d;
    }
  }
  return quoted(name) + " is not a setting of a configuration file; did you mean " + std::string(closest) + "?";
}

std::optional<std::string> Form::assign(std::string_view name, std::string_view value) {
  std::optional<ControlRef> control;
  for (const NamedControl& c : stored_controls()) {
    if (c.name == name) control = c.control;
  }
  if (!control) return unknown_setting(name);
  return std::visit(
      [&](auto* c) -> std::optional<std::string> {
        using T = std::remove_pointer_t<decltype(c)>;
        if constexpr (std::is_same_v<T, Edit>) {
          if (c->keys == KeyFilter::pager_text) {
            const std::string unstorable = unstorable_characters(value);
            if (!unstorable.empty()) {
              return c->name + ": " + quoted(unstorable) +
                     " cannot be stored in the pager (digits, A-Z and space only)";
            }
          }
          if (std::optional<std::string> refused = type_over(*c, value)) return refused;
          user_left(*c);
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, List>) {
          const int index = find_item(c->items, value);
          if (index == kNoSelection) {
            if (c == &Frequency_step) {
              if (auto elsewhere = step_elsewhere(*this, value)) return elsewhere;
            }
            return c->name + " has no item " + quoted(value) + "; its items are " + quoted_list(c->items);
          }
          // The pager's own chip and firmware are taken at a write anyway;
          // setting them prepares a file for a known pager, so they count as
          // enabled. The model is never chosen: a file of the other model is
          // refused.
          const bool counts_as_enabled = c == &FirmwareVer || c == &PLL_select;
          const bool greyed = c == &ModelCB || (!c->enabled && !counts_as_enabled);
          if (greyed) {
            if (index == c->index) return std::nullopt;  // what it shows already
            return c->name + " is greyed out in the window now, so " + quoted(value) + " cannot be chosen" +
                   enabled_by(*this, *c);
          }
          user_chose(*c, index);
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, Check>) {
          if (value != "true" && value != "false") return c->name + " takes true or false, not " + quoted(value);
          user_clicked(*c, value == "true");
          return std::nullopt;
        } else {
          const auto it = std::find(c->items.begin(), c->items.end(), value);
          if (it == c->items.end()) {
            return c->name + " has no button " + quoted(value) + "; its buttons are " + quoted_list(c->items);
          }
          user_chose(*c, static_cast<int>(it - c->items.begin()));
          return std::nullopt;
        }
      },
      *control);
}

std::optional<Form::Refusal> Form::assign(const std::vector<Setting>& settings) {
  std::vector<Setting> ordered = settings;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const Setting& a, const Setting& b) { return priority(a.name) < priority(b.name); });
  const auto last_of = [&ordered](std::string_view name) -> const Setting* {
    const auto it = std::find_if(ordered.rbegin(), ordered.rend(), [name](const Setting& s) { return s.name == name; });
    return it == ordered.rend() ? nullptr : &*it;
  };
  // Snapped on the first list's step, one frequency in five of a 5 kHz
  // raster would end a channel up: hence the second typing.
  const Setting* const retyped = last_of(kStep) ? last_of(kFrequency) : nullptr;
  const auto error_since = [this](std::size_t first) -> std::optional<std::string> {
    for (std::size_t i = first; i < notices_.size(); ++i) {
      if (notices_[i].kind == Notice::Kind::error) return notices_[i].text;
    }
    return std::nullopt;
  };

  for (std::size_t i = 0; i < ordered.size(); ++i) {
    const Setting& s = ordered[i];
    const std::size_t first = notices_.size();
    if (auto refused = assign(s.name, s.value)) return Refusal{std::move(*refused), false};
    const bool before_retyping = retyped && (s.name == kFrequency || s.name == kStep);
    if (before_retyping) {
      const std::optional<std::string> error = error_since(first);
      notices_.erase(notices_.begin() + static_cast<std::ptrdiff_t>(first), notices_.end());
      if (error) return Refusal{*error, false};
    } else if (auto error = error_since(first)) {
      return Refusal{std::move(*error), true};
    }
    const bool last_step = s.name == kStep && (i + 1 == ordered.size() || ordered[i + 1].name != kStep);
    if (last_step && retyped) {
      const std::size_t again = notices_.size();
      if (auto refused = assign(retyped->name, retyped->value)) return Refusal{std::move(*refused), false};
      if (auto error = error_since(again)) return Refusal{std::move(*error), true};
    }
  }
  // The window holds the technician in such a field; the command line
  // cannot, so it refuses the whole.
  if (auto equal = equal_enabled_addresses(*this)) return Refusal{std::move(*equal), false};
  return std::nullopt;
}

}  // namespace q5::rules
