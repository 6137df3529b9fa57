#include "cli/text.h"

namespace q5::cli {

namespace {

constexpr unsigned kAsciiEnd = 0x80;
constexpr unsigned kContinuationMask = 0xC0;
constexpr unsigned kContinuation = 0x80;
constexpr unsigned kSixBits = 0x3F;
// The lead bytes of the two-byte sequences for U+0080 to U+00FF.
constexpr unsigned kLeadC2 = 0xC2;
constexpr unsigned kLeadC3 = 0xC3;

}  // namespace

std::string latin1_to_utf8(std::string_view latin1) {
  std::string utf8;
  utf8.reserve(latin1.size() * 2);
  for (const char c : latin1) {
    const auto u = static_cast<unsigned char>(c);
    if (u < kAsciiEnd) {
      utf8.push_back(c);
    } else {
      utf8.push_back(static_cast<char>(0xC0 | (u >> 6)));
      utf8.push_back(static_cast<char>(kContinuation | (u & kSixBits)));
    }
  }
  return utf8;
}

std::optional<std::string> utf8_to_latin1(std::string_view utf8) {
  std::string latin1;
  latin1.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < kAsciiEnd) {
      latin1.push_back(utf8[i]);
      continue;
    }
    // Only U+0080 to U+00FF fit a byte: anything longer, an overlong form or
    // a stray continuation byte is refused alike.
    if ((lead != kLeadC2 && lead != kLeadC3) || i + 1 >= utf8.size()) return std::nullopt;
    const auto next = static_cast<unsigned char>(utf8[i + 1]);
    if ((next & kContinuationMask) != kContinuation) return std::nullopt;
    latin1.push_back(static_cast<char>(((lead & 0x03U) << 6) | (next & kSixBits)));
    ++i;
  }
  return latin1;
}

}  // namespace q5::cli
