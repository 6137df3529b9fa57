#include "number_text.h"

#include <charconv>
#include <limits>

namespace q5 {

namespace {

// Built by appending: GCC 12 warns wrongly (-Wrestrict) about "literal" + string.
std::string quoted_then(std::string_view text, std::string_view rest) {
  std::string message;
  message.reserve(text.size() + rest.size() + 2);
  message.append(1, '\'').append(text).append(1, '\'').append(rest);
  return message;
}

}  // namespace

std::string invalid_integer_message(std::string_view text) {
  return quoted_then(text, " is not a valid integer value");
}

std::string invalid_float_message(std::string_view text) {
  return quoted_then(text, " is not a valid floating point value");
}

std::int32_t strict_to_int(std::string_view text) {
  // from_chars takes no "+" and stops quietly at the first non-digit, so the
  // sign is handled here and the whole text must be consumed.
  std::string_view body = text;
  bool negative = false;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  if (body.empty() || body.front() < '0' || body.front() > '9') {
    throw ConversionError(invalid_integer_message(text));
  }
  // Parsed as a magnitude in 64 bits so that "-2147483648" fits.
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), magnitude);
  if (error != std::errc{} || end != body.data() + body.size()) {
    throw ConversionError(invalid_integer_message(text));
  }
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
  if (magnitude > limit) throw ConversionError(invalid_integer_message(text));
  const auto value = static_cast<std::int64_t>(magnitude);
  return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace q5
