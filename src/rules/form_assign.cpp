// Settings made by name, as a technician makes them in the window: the
// command line's `set` and anything else that fills in a form without one.
#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <variant>

#include "rules/form.h"

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

int priority(std::string_view name) {
  if (name == kFirmware) return 0;
  if (name == kFrequency) return 1;
  if (name == kStep) return 2;
  return 3;
}

}  // namespace

std::optional<std::string> Form::unknown_setting(std::string_view name) {
  std::string names;
  for (const NamedControl& control : stored_controls()) {
    if (control.name == name) return std::nullopt;
    if (!names.empty()) names += ' ';
    names += control.name;
  }
  return quoted(name) + " is not a setting of a configuration file; the settings are: " + names;
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
          if (std::optional<std::string> refused = type_over(*c, value)) return refused;
          user_left(*c);
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, List>) {
          const int index = c->find(value);
          if (index == kNoSelection) {
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
            return c->name + " is greyed out in the window now, so " + quoted(value) + " cannot be chosen";
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
  return std::nullopt;
}

}  // namespace q5::rules
