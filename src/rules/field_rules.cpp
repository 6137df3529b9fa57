#include "rules/field_rules.h"

namespace q5::rules {

namespace {

constexpr int kMaxSpecialVibSeconds = 12;
constexpr int kMaxMessages = 12;

}  // namespace

std::optional<Correction> special_vib_time_change(int value) {
  if (value <= kMaxSpecialVibSeconds) return std::nullopt;
  return Correction{"The Special vibrate time value range out,the max is 12 seconds ", "12"};
}

std::optional<Correction> num_message_change(int value) {
  // 0 is let through while typing; leaving the field corrects it.
  if (value <= kMaxMessages) return std::nullopt;
  return Correction{"The number of message value range out,the max is 12  ", "12"};
}

std::optional<Correction> num_message_exit(int value) {
  // The value is judged as an unsigned number, so a negative one counts as
  // far too large. It is not cut down to its low byte first: that would let
  // 268 through and turn 256 into "1".
  const auto count = static_cast<unsigned int>(value);
  constexpr const char* kWarning = "The number of message value range out ";
  if (count == 0) return Correction{kWarning, "1"};
  if (count > static_cast<unsigned int>(kMaxMessages)) return Correction{kWarning, "12"};
  return std::nullopt;
}

std::string pad_with_zeros(const std::string& text, std::size_t width) {
  if (text.size() >= width) return text;
  return std::string(width - text.size(), '0') + text;
}

bool alert_type_without_vibration(int item) {
  // Items 4 ("T/M") and 6 ("T only") are the tone-only alerts; 5 and 7
  // ("V/M", "V only") do vibrate.
  return item == 4 || item == 6;
}

}  // namespace q5::rules
