// Numeric limits and padding of the form's number fields.
#pragma once

#include <optional>
#include <string>

namespace q5::rules {

// A value out of range is replaced, with a warning line.
struct Correction {
  std::string warning;      // the log line, trailing spaces included
  std::string replacement;  // the field's new text
};

// Special_vib_time while it changes: 0 to 12 seconds.
std::optional<Correction> special_vib_time_change(int value);
// Num_message while it changes: at most 12 (0 passes here).
std::optional<Correction> num_message_change(int value);
// Num_message when it is left: 1 to 12, taken as an unsigned byte.
std::optional<Correction> num_message_exit(int value);

// Widths the serial number and the password are padded to on leaving them.
constexpr std::size_t kSerialWidth = 8;
constexpr std::size_t kPasswordWidth = 4;
// Leading zeros up to `width`; longer texts stay as they are.
std::string pad_with_zeros(const std::string& text, std::size_t width);

// The alert types that leave out vibration: "T/M" (4) and "T only" (6).
bool alert_type_without_vibration(int item);

}  // namespace q5::rules
