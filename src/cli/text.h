// The form keeps text one byte per character (Latin-1); the terminal, the
// command line and JSON speak UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace q5::cli {

// Every byte as the Unicode character of the same code, in UTF-8.
std::string latin1_to_utf8(std::string_view latin1);

// The Latin-1 bytes of a UTF-8 text; nullopt when the text is not valid
// UTF-8 or holds a character beyond U+00FF, which no field can hold.
std::optional<std::string> utf8_to_latin1(std::string_view utf8);

}  // namespace q5::cli
