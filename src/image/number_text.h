// Strict conversion of field texts to numbers. A text that is not a number
// raises ConversionError carrying the message the user is shown.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace q5 {

class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "'<text>' is not a valid integer value"
std::string invalid_integer_message(std::string_view text);
// "'<text>' is not a valid floating point value"
std::string invalid_float_message(std::string_view text);

// A signed 32-bit decimal integer: an optional sign and one or more digits,
// nothing else (no blanks). Anything else, or a value outside 32 bits,
// throws ConversionError with invalid_integer_message(text).
std::int32_t strict_to_int(std::string_view text);

}  // namespace q5
