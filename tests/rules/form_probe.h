// What the rules tests read off a form: the notices of one kind, and each
// control's value and enabled state as one text.
#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "rules/form.h"

namespace q5::rules {

inline std::vector<std::string> logged(const std::vector<Notice>& notices, Notice::Kind kind = Notice::Kind::log) {
  std::vector<std::string> texts;
  for (const Notice& n : notices) {
    if (n.kind == kind) texts.push_back(n.text);
  }
  return texts;
}

// An edit's text, a box's "true" or "false", a list's item or the radio
// group's button; " (greyed)" after a greyed control's value.
inline std::string shown_text(const ControlRef& control) {
  return std::visit(
      [](auto* c) -> std::string {
        using T = std::remove_pointer_t<decltype(c)>;
        if constexpr (std::is_same_v<T, Radio>) {
          return c->index < 0 ? "" : c->items[static_cast<std::size_t>(c->index)];
        } else {
          std::string value;
          if constexpr (std::is_same_v<T, Edit>) value = c->text;
          if constexpr (std::is_same_v<T, Check>) value = c->checked ? "true" : "false";
          if constexpr (std::is_same_v<T, List>) value = c->text();
          return c->enabled ? value : value + " (greyed)";
        }
      },
      control);
}

inline std::string shown_text(Form& form, const std::string& name) {
  const auto found = form.find(name);
  return found ? shown_text(*found) : "?";
}

// Every control, by name.
inline std::map<std::string, std::string> state(Form& form) {
  std::map<std::string, std::string> all;
  for (const NamedControl& c : form.controls()) all[std::string(c.name)] = shown_text(c.control);
  return all;
}

}  // namespace q5::rules
