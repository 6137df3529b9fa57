// What the pager's message texts can hold: digits, the capitals A to Z and
// space. The image stores any other character as "0", so the window and the
// command line refuse it where the technician types it. Text decoded from a
// file or a pager is shown as it is.
#pragma once

#include <string>
#include <string_view>

namespace q5::rules {

// A key a message text takes: a digit, a letter (shown as its capital),
// space, or Backspace ('\b').
bool pager_text_key_passes(char c);

// Pasted text as the field keeps it: what can be stored, lower case turned
// to capitals, the rest left out.
std::string storable_pager_text(std::string_view text);

// A field's text after a paste: of what went in between `before`'s start and
// end, only what can be stored, as capitals. What the field held already
// stays as it was, also a character decoded from a file.
std::string keep_storable_insert(std::string_view before, std::string_view after);

// The characters of `text` no message can hold, each once, in the order they
// first come; "" when it can all be stored (lower case counts as capitals).
std::string unstorable_characters(std::string_view text);

}  // namespace q5::rules
