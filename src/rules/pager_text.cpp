#include "rules/pager_text.h"

namespace q5::rules {

namespace {

bool storable(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ';
}

char capital(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

}  // namespace

bool pager_text_key_passes(char c) { return storable(c) || c == '\b'; }

std::string storable_pager_text(std::string_view text) {
  std::string kept;
  for (const char c : text) {
    if (storable(c)) kept += capital(c);
  }
  return kept;
}

std::string keep_storable_insert(std::string_view before, std::string_view after) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string_view inserted = after.substr(prefix, after.size() - prefix - suffix);
  return std::string(after.substr(0, prefix)) + storable_pager_text(inserted) +
         std::string(after.substr(after.size() - suffix));
}

std::string unstorable_characters(std::string_view text) {
  std::string found;
  for (const char c : text) {
    if (!storable(c) && found.find(c) == std::string::npos) found += c;
  }
  return found;
}

}  // namespace q5::rules
