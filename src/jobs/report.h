// What a pager job tells the technician, in the order it happens. The window
// turns each report into a log line, a beep, a box or the focus; the command
// line into a line on standard error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "rules/form.h"

namespace q5::jobs {

struct Report {
  enum class Kind {
    log,          // a line for the message log
    beep,         // the default beep
    error_box,    // the application's error box (a text that is not a number)
    message_box,  // a modal box with an OK button
    focus,        // give the focus back to the edit named `text`
    done,         // the command's own success line ("Write eeprom OK!"), which the command line words its own way
  };
  Kind kind;
  std::string text;  // Latin-1, as the form's texts
  bool operator==(const Report&) const = default;
};

using Reporter = std::function<void(const Report&)>;

// The form's notices since the last call, as reports.
void pass_on_notices(rules::Form& form, const Reporter& report);

}  // namespace q5::jobs
