// Every named control's state, for tests that must see exactly what an
// action changed, or that two forms are the same.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <map>
#include <set>
#include <string>

#include "app/Q5_c.h"

namespace q5::test {

// By control name: its value ("text '...' max 7", "item 2 of 'a' 'b'",
// "checked"), and under "name.enabled" whether it can be used.
using FormSnapshot = std::map<std::string, std::string>;

inline FormSnapshot snapshot(const MainPageForm& ui) {
  FormSnapshot s;
  for (QWidget* widget : ui.client->findChildren<QWidget*>()) {
    const std::string name = widget->objectName().toStdString();
    std::string value;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      value = "text '" + edit->text().toStdString() + "' max " + std::to_string(edit->maxLength());
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      value = "item " + std::to_string(combo->currentIndex()) + " of";
      for (int i = 0; i < combo->count(); ++i) value += " '" + combo->itemText(i).toStdString() + "'";
    } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
      value = static_cast<QAbstractButton*>(widget)->isChecked() ? "checked" : "unchecked";
    } else {
      continue;
    }
    if (name.empty()) continue;
    s[name] = value;
    s[name + ".enabled"] = widget->isEnabled() ? "yes" : "no";
  }
  return s;
}

// The form and the window's own state that a load sets.
inline FormSnapshot snapshot(const TMain_Page& window) {
  FormSnapshot s = snapshot(window.ui);
  s["model_flag"] = std::to_string(window.model_flag());
  s["step_offset"] = std::to_string(window.step_offset());
  s["high_band_list"] = window.high_band_list() ? "yes" : "no";
  return s;
}

// The entries that differ, one line each ("" when none do): a failure names
// the controls instead of printing two whole forms.
inline std::string differences(const FormSnapshot& actual, const FormSnapshot& expected) {
  FormSnapshot keys = actual;
  keys.insert(expected.begin(), expected.end());
  std::string lines;
  for (const auto& entry : keys) {
    const auto is = actual.find(entry.first), was = expected.find(entry.first);
    const std::string now = is == actual.end() ? "<none>" : is->second;
    const std::string before = was == expected.end() ? "<none>" : was->second;
    if (now != before) lines += entry.first + ": " + now + " instead of " + before + "\n";
  }
  return lines;
}

// The controls whose value or enabled state differ.
inline std::set<std::string> changed_controls(const FormSnapshot& before, const FormSnapshot& after) {
  std::set<std::string> names;
  for (const auto& [key, value] : after) {
    const auto it = before.find(key);
    if (it == before.end() || it->second != value) names.insert(key.substr(0, key.find('.')));
  }
  return names;
}

}  // namespace q5::test
